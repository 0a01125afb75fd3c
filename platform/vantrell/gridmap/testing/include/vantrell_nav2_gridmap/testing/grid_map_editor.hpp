#ifndef VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_EDITOR_HPP_
#define VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_EDITOR_HPP_

#include <cstdint>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "nav2_costmap_2d/testing/costmap_2d_ros_hooks.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

// Host and test hooks: place the robot, set the footprint, edit obstacles,
// swap the map. Obstacle edits and a new map take effect at the next
// updateMap. Never included by library code.
namespace vantrell_nav2_gridmap {
namespace testing {

struct MultiGridMapAccess {
  static void queue(MultiGridMap& map, ObstacleEdit edit) {
    map.queueObstacleEdit(std::move(edit));
  }
  static void replaceStaticMap(MultiGridMap& map, const nav_msgs::msg::OccupancyGrid& grid) {
    map.replaceStaticMap(grid);
  }
};

using Cells = std::vector<ObstacleEdit::Cell>;

inline void placeRobot(GridMapROS& map, double x, double y, double yaw) {
  nav2_costmap_2d::testing::setRobotPose(*map.getCostmapROS(), x, y, yaw);
}

inline void removeRobotPose(GridMapROS& map) {
  nav2_costmap_2d::testing::clearRobotPose(*map.getCostmapROS());
}

inline void setFootprint(GridMapROS& map, const std::vector<geometry_msgs::msg::Point>& points) {
  map.getCostmapROS()->setRobotFootprint(points);
}

// Blocking cells become lethal; all of them gain the type bits.
inline void markObstacleCells(GridMapROS& map, const Cells& cells, uint32_t types = 0,
                              bool blocking = true) {
  ObstacleEdit edit;
  edit.cells = cells;
  edit.types = types;
  edit.blocking = blocking;
  MultiGridMapAccess::queue(*map.getMultiGridMap(), std::move(edit));
}

// The cells whose centre lies inside the polygon (map frame, metres).
inline void markObstaclePolygon(GridMapROS& map, const geometry_msgs::msg::Polygon& polygon,
                                uint32_t types = 0, bool blocking = true) {
  ObstacleEdit edit;
  for (const auto& p : polygon.points) {
    edit.polygon.push_back({p.x, p.y});
  }
  edit.types = types;
  edit.blocking = blocking;
  MultiGridMapAccess::queue(*map.getMultiGridMap(), std::move(edit));
}

inline void clearObstacleCells(GridMapROS& map, const Cells& cells) {
  ObstacleEdit edit;
  edit.action = ObstacleEdit::Action::CLEAR;
  edit.cells = cells;
  MultiGridMapAccess::queue(*map.getMultiGridMap(), std::move(edit));
}

inline void clearObstaclePolygon(GridMapROS& map, const geometry_msgs::msg::Polygon& polygon) {
  ObstacleEdit edit;
  edit.action = ObstacleEdit::Action::CLEAR;
  for (const auto& p : polygon.points) {
    edit.polygon.push_back({p.x, p.y});
  }
  MultiGridMapAccess::queue(*map.getMultiGridMap(), std::move(edit));
}

inline void clearObstacles(GridMapROS& map) {
  ObstacleEdit edit;
  edit.action = ObstacleEdit::Action::CLEAR_ALL;
  MultiGridMapAccess::queue(*map.getMultiGridMap(), std::move(edit));
}

// A map of another size drops every obstacle. Throws std::invalid_argument
// on a grid that cannot be a map.
inline void replaceStaticMap(GridMapROS& map, const nav_msgs::msg::OccupancyGrid& grid) {
  MultiGridMapAccess::replaceStaticMap(*map.getMultiGridMap(), grid);
}

}  // namespace testing
}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_EDITOR_HPP_
