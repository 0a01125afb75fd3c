#ifndef DEMO__DEMO_MAP_HPP_
#define DEMO__DEMO_MAP_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "demo_options.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "office_floor.hpp"
#include "planning_sim/host_maps.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace demo {

// The map the demo plans on, as the hosting process would receive it from a map server.
struct DemoMap {
  nav_msgs::msg::OccupancyGrid grid;
  // Named places; only the bundled floor has them.
  std::vector<Place> places;
  std::string description;
};

// `value` with `decimals` decimals, or in exponent form when it is too long to read that way.
std::string formatNumber(double value, int decimals);
// "(x, y)" in metres, as every message of the demo gives a position.
std::string formatPosition(double x, double y);

// A map the demo drew (one pixel per cell, row = cell y, not flipped: 0 wall, 205 unknown, 255
// free) as a map server hands a map out: frame "map", origin (0, 0), the resolution in the
// message's single precision, occupancy 100 / -1 / 0 read with a map file's thresholds.
nav_msgs::msg::OccupancyGrid occupancyGridOf(const cv::Mat& drawing, double resolution);

// The grid map the hosting process builds on `grid`. Throws InputError saying why a map that
// loaded still cannot become a grid map.
std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> makeGridMap(
    const std::string& name, const nav_msgs::msg::OccupancyGrid& grid);
// The global planning node's two grid maps on `grid` (planning_sim::makeGlobalNodeMaps), with
// the same refusal.
planning_sim::GlobalNodeMaps makeGlobalNodeMaps(const nav_msgs::msg::OccupancyGrid& grid);

// The bundled office floor, or the map-server YAML file given. Throws InputError naming the
// file and what is wrong with it, a rotated map included; nothing but that one message reaches
// standard error while the map loads.
DemoMap loadDemoMap(const std::string& map_yaml);

// The named place, heading 0. Throws InputError when the map has no such place.
Pose2 placeOnMap(const DemoMap& map, const std::string& name);

// Throws InputError when `pose` lies off the map, in unmapped space or inside a wall; `what`
// names the pose in the message ("goal 2", "start").
void checkPosition(const nav_msgs::msg::OccupancyGrid& grid, const Pose2& pose,
                   const std::string& what);

}  // namespace demo

#endif  // DEMO__DEMO_MAP_HPP_
