#ifndef DEMO__PATH_PICTURE_HPP_
#define DEMO__PATH_PICTURE_HPP_

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "demo_options.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace demo {

// One planned leg as the picture shows it; positions in the map frame (metres).
struct DrawnLeg {
  Pose2 start;
  Pose2 goal;
  std::vector<std::vector<cv::Point2d>> paths;
  bool succeeded{false};
};

/**
 * The map with north up (free white, walls dark, unmapped grey), scaled so that it is about
 * 1200 pixels wide at most four pixels per cell, and on it each leg: its paths in a colour of
 * its own, its start as a green dot, its goal as a ring numbered with the leg (a red cross when
 * the plan failed).
 */
cv::Mat drawPlans(const nav_msgs::msg::OccupancyGrid& grid, const std::vector<DrawnLeg>& legs);

// Where a point of the map frame (metres) lies on a picture that drawPlans drew of `grid`.
cv::Point pixelOf(const nav_msgs::msg::OccupancyGrid& grid, const cv::Mat& picture, double x,
                  double y);

// Throws InputError when no picture can be written to `file` (an image type OpenCV cannot write,
// a directory, a FIFO or device, a place where no file can be made); called before anything is
// planned, so that a bad --output costs no plan. Makes missing directories, and no file.
void checkPictureFile(const std::string& file);

// Writes a PNG, making missing directories. Throws InputError when it cannot.
void writePicture(const std::string& file, const cv::Mat& picture);

}  // namespace demo

#endif  // DEMO__PATH_PICTURE_HPP_
