#ifndef TESTS__PLATFORM__VANTRELL__PLANNER__TEXT_MAP_HPP_
#define TESTS__PLATFORM__VANTRELL__PLANNER__TEXT_MAP_HPP_

#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace planner_test {

// Grid maps for the engine's tests, drawn in text: '#' occupied, '?' unknown, anything else
// free. The first text line is cell row 0 (the map's lowest y), so a drawing reads upside down
// against the world's y axis. Origin (0, 0).
inline nav_msgs::msg::OccupancyGrid occupancyFromText(const std::vector<std::string>& rows,
                                                      double resolution) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.resolution = static_cast<float>(resolution);
  grid.info.width = static_cast<unsigned>(rows.front().size());
  grid.info.height = static_cast<unsigned>(rows.size());
  grid.info.origin.orientation.w = 1.0;
  for (const auto& row : rows) {
    for (const char c : row) {
      grid.data.push_back(c == '#' ? 100 : (c == '?' ? -1 : 0));
    }
  }
  return grid;
}

// A square robot of the given half width: its inscribed radius is the half width.
inline vantrell_nav2_gridmap::GridMapParams squareRobot(double half_width) {
  vantrell_nav2_gridmap::GridMapParams params;
  params.footprint.clear();
  for (const auto& corner : {std::pair<double, double>{1, 1}, {1, -1}, {-1, -1}, {-1, 1}}) {
    geometry_msgs::msg::Point point;
    point.x = corner.first * half_width;
    point.y = corner.second * half_width;
    params.footprint.push_back(point);
  }
  return params;
}

inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> mapFromText(
    const std::vector<std::string>& rows, double resolution, double robot_half_width) {
  auto map = std::make_shared<vantrell_nav2_gridmap::GridMapROS>(
      "test_map", occupancyFromText(rows, resolution), squareRobot(robot_half_width));
  map->waitForCostmap();
  return map;
}

inline geometry_msgs::msg::PoseStamped poseAt(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.w = 1.0;
  return pose;
}

}  // namespace planner_test

#endif  // TESTS__PLATFORM__VANTRELL__PLANNER__TEXT_MAP_HPP_
