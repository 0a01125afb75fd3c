#include "vantrell_nav2_base_class/geometry_helpers.hpp"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"

namespace {

double footprintMax(const vantrell_nav2_gridmap::GridMapROS* grid_map,
                    double geometry_msgs::msg::Point::*axis, const char* caller) {
  if (grid_map == nullptr) {
    throw std::invalid_argument(std::string(caller) + ": no grid map given");
  }
  const auto costmap_ros = grid_map->getCostmapROS();
  if (!costmap_ros) {
    throw std::invalid_argument(std::string(caller) + ": the grid map has no costmap");
  }
  const std::vector<geometry_msgs::msg::Point> footprint = costmap_ros->getRobotFootprint();
  double max = 0.0;
  for (const auto& point : footprint) {
    // Written so that a NaN coordinate never replaces the result.
    if (point.*axis > max) {
      max = point.*axis;
    }
  }
  return max;
}

}  // namespace

double getFootprintMaxY(const vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, &geometry_msgs::msg::Point::y, "getFootprintMaxY");
}

double getFootprintMaxX(const vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, &geometry_msgs::msg::Point::x, "getFootprintMaxX");
}

namespace planning {

geometry_msgs::msg::Point32 calculatePoint(const geometry_msgs::msg::Point32& start, double angle,
                                           double distance) {
  geometry_msgs::msg::Point32 point;
  point.x = static_cast<float>(static_cast<double>(start.x) + distance * std::cos(angle));
  point.y = static_cast<float>(static_cast<double>(start.y) + distance * std::sin(angle));
  point.z = start.z;
  return point;
}

}  // namespace planning
