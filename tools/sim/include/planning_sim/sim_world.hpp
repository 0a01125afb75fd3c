#ifndef PLANNING_SIM__SIM_WORLD_HPP_
#define PLANNING_SIM__SIM_WORLD_HPP_

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/time.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace planning_sim {

// An obstacle that appears during a trip, in the map frame: at a simulated time, or once the
// robot comes within `radius` of a point (both may be given: whichever comes first).
struct ObstacleInjection {
  std::vector<geometry_msgs::msg::Point> outline;
  // Obstacle-type bits the grid maps record for its cells.
  uint32_t types{0};
  // False for what the robot may drive over (carpet, milk): recorded, never lethal.
  bool blocking{true};
  std::optional<rclcpp::Time> at_time;
  std::optional<geometry_msgs::msg::Point> near;
  double radius{0.0};

  static ObstacleInjection atTime(std::vector<geometry_msgs::msg::Point> outline,
                                  const rclcpp::Time& time);
  static ObstacleInjection whenRobotNear(std::vector<geometry_msgs::msg::Point> outline, double x,
                                         double y, double radius);
};

// The cells of a grid laid out as `info` says (x column, y row) under `footprint` (robot frame)
// placed at `pose`: those its outline crosses and those inside it, as the world counts them.
std::vector<cv::Point> cellsUnder(const nav_msgs::msg::MapMetaData& info,
                                  const std::vector<geometry_msgs::msg::Point>& footprint,
                                  const geometry_msgs::msg::Pose2D& pose);

/**
 * What the simulated robot moves in: the floor's cells at or above the grid maps' lethal
 * occupancy (100), cells off the floor, and the blocking obstacles injected so far. An injected
 * obstacle also reaches the grid maps given as perceiving (the local map, as the robot's sensors
 * report it) through their public obstacle edits, applied at their next map update: the cells
 * whose centres lie inside its outline.
 */
class SimWorld {
 public:
  // Throws std::invalid_argument for a floor whose cells do not match its size.
  SimWorld(const nav_msgs::msg::OccupancyGrid& floor,
           std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> perceiving);

  void schedule(ObstacleInjection injection);
  // Places every scheduled obstacle that is due at `time` with the robot at `robot`; returns how
  // many appeared.
  size_t update(const rclcpp::Time& time, const geometry_msgs::msg::Pose2D& robot);
  size_t appeared() const { return appeared_; }

  // A lethal cell (x column, y row of the floor) under `footprint` (robot frame) placed at `to`
  // that is not under it placed at `from`: what a move from `from` to `to` would enter.
  std::optional<cv::Point> entered(const std::vector<geometry_msgs::msg::Point>& footprint,
                                   const geometry_msgs::msg::Pose2D& from,
                                   const geometry_msgs::msg::Pose2D& to) const;
  // A lethal cell under `footprint` placed at `pose`, if any.
  std::optional<cv::Point> under(const std::vector<geometry_msgs::msg::Point>& footprint,
                                 const geometry_msgs::msg::Pose2D& pose) const;
  bool isLethal(const cv::Point& cell) const;

  const nav_msgs::msg::OccupancyGrid& floor() const { return floor_; }
  // The floor cell of a point, which may lie off the floor.
  cv::Point cellOf(double x, double y) const;

 private:
  bool isDue(const ObstacleInjection& injection, const rclcpp::Time& time,
             const geometry_msgs::msg::Pose2D& robot) const;
  void place(const ObstacleInjection& injection);
  // The first lethal cell marked in `cells` and not in `except` (both of one size, their first
  // cell at `origin`).
  std::optional<cv::Point> firstLethal(const cv::Point& origin, const cv::Mat& cells,
                                       const cv::Mat& except) const;

  nav_msgs::msg::OccupancyGrid floor_;
  std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> perceiving_;
  // 255 where lethal; row = cell y.
  cv::Mat lethal_;
  std::vector<ObstacleInjection> scheduled_;
  size_t appeared_{0};
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__SIM_WORLD_HPP_
