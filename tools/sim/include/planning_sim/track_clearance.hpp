#ifndef PLANNING_SIM__TRACK_CLEARANCE_HPP_
#define PLANNING_SIM__TRACK_CLEARANCE_HPP_

#include <opencv2/core.hpp>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/time.hpp"

namespace planning_sim {

/**
 * How near the robot's outline came to what it must not touch: the floor's lethal cells (those
 * the simulated world refuses, the floor's edge included) and obstacles that appeared at a known
 * time, each counted only from then on. Distances are from the outline, sampled every half cell,
 * to the nearest lethal cell's centre less half a cell (so within a cell of the true gap), and to
 * an obstacle's outline.
 */
class TrackClearance {
 public:
  // The outline in the robot's frame; fewer than three points count as the robot's centre.
  TrackClearance(const nav_msgs::msg::OccupancyGrid& floor,
                 const std::vector<geometry_msgs::msg::Point>& footprint);

  // An obstacle (outline in the map frame) present from `appears` on.
  void addObstacle(const std::vector<geometry_msgs::msg::Point>& outline,
                   const rclcpp::Time& appears);

  // The smallest clearance over the poses, 0 where the outline touches; NaN without poses.
  double smallest(const std::vector<geometry_msgs::msg::PoseStamped>& track) const;

 private:
  struct Obstacle {
    std::vector<cv::Point2f> outline;
    rclcpp::Time appears;
  };

  double at(const geometry_msgs::msg::PoseStamped& pose) const;
  double toFloor(const cv::Point2d& point) const;

  double resolution_;
  cv::Point2d origin_;
  // Cells to the nearest lethal cell, one cell of lethal border round the floor.
  cv::Mat distance_;
  std::vector<cv::Point2d> samples_;
  std::vector<Obstacle> obstacles_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__TRACK_CLEARANCE_HPP_
