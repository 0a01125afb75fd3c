#ifndef DEMO__DRIVE_PICTURE_HPP_
#define DEMO__DRIVE_PICTURE_HPP_

#include <opencv2/core.hpp>
#include <vector>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "path_picture.hpp"

namespace demo {

// One driven leg as the picture shows it; positions in the map frame (metres).
struct DrivenLeg {
  // Start, goal, the global path set and whether the goal was reached.
  DrawnLeg plan;
  std::vector<cv::Point2d> track;
  // Per track point, the speed-limit percentage it was driven under (NaN: none).
  std::vector<double> speed_limits;
  // Where the robot turned in place.
  std::vector<cv::Point2d> rotations;
};

/**
 * The map as drawPlans draws it with each leg's global path, and over it the driven track
 * coloured by its speed limit (red at 0 through yellow to green at 1 and above, grey where none
 * applied), the spots where the robot turned in place (black rings) and the injected obstacles
 * (filled purple), with a legend strip below.
 */
cv::Mat drawDrive(const nav_msgs::msg::OccupancyGrid& grid, const std::vector<DrivenLeg>& legs,
                  const std::vector<std::vector<cv::Point2d>>& obstacles);

}  // namespace demo

#endif  // DEMO__DRIVE_PICTURE_HPP_
