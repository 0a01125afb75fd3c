#ifndef PLANNING_SIM__CLEANING_PICTURE_HPP_
#define PLANNING_SIM__CLEANING_PICTURE_HPP_

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace planning_sim {

// What a picture of cleaning shows, in the floor's cells and the map frame.
struct CleaningScene {
  // 16-bit passes per floor cell (CleaningUnit::passes); may be empty.
  cv::Mat passes;
  // 8-bit: the floor that should have been cleaned (the zones' reachable areas); what of it was
  // not swept shows red. May be empty.
  cv::Mat target;
  std::vector<geometry_msgs::msg::Polygon> zones;
  // Driven tracks, in driving order.
  std::vector<std::vector<geometry_msgs::msg::Pose2D>> tracks;
  std::vector<geometry_msgs::msg::Pose2D> starts;
  // Floor cells to show (x, y, width, height; y counted from the bottom row); the whole floor
  // when unset.
  std::optional<cv::Rect> window;
};

/**
 * The floor with north up (free white, walls dark, unmapped grey), scaled to about `width`
 * pixels at most eight pixels per cell; on it the cells swept once light green, twice darker,
 * three times and more darkest, the target cells never swept red, the zones' outlines blue, the
 * tracks thin orange lines and the starts green dots.
 */
cv::Mat drawCleaning(const nav_msgs::msg::OccupancyGrid& floor, const CleaningScene& scene,
                     int width = 1200);

// The floor cells around a zone's corners with `margin` cells on every side, within the floor.
cv::Rect windowAround(const nav_msgs::msg::OccupancyGrid& floor,
                      const geometry_msgs::msg::Polygon& zone, int margin);

}  // namespace planning_sim

#endif  // PLANNING_SIM__CLEANING_PICTURE_HPP_
