#include "vantrell_nav2_base_class/geometry_helpers.hpp"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"

namespace {

// The largest value of one coordinate over the footprint points, searched from 0.0.
template <typename Coordinate>
double footprintMax(vantrell_nav2_gridmap::GridMapROS* grid_map, const char* operation,
                    Coordinate coordinate) {
  if (grid_map == nullptr) {
    throw std::invalid_argument(std::string(operation) + ": no grid map given");
  }
  const auto costmap_ros = grid_map->getCostmapROS();
  if (!costmap_ros) {
    throw std::invalid_argument(std::string(operation) + ": the grid map has no costmap");
  }
  const std::vector<geometry_msgs::msg::Point> footprint = costmap_ros->getRobotFootprint();
  double max_value = 0.0;
  for (const auto& point : footprint) {
    // Written so that a NaN coordinate never replaces the result.
    const double value = coordinate(point);
    if (value > max_value) {
      max_value = value;
    }
  }
  return max_value;
}

}  // namespace

double getFootprintMaxY(vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, "getFootprintMaxY",
                      [](const geometry_msgs::msg::Point& point) { return point.y; });
}

double getFootprintMaxX(vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, "getFootprintMaxX",
                      [](const geometry_msgs::msg::Point& point) { return point.x; });
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
