#ifndef VANTRELL_NAV2_BASE_CLASS__GEOMETRY_HELPERS_HPP_
#define VANTRELL_NAV2_BASE_CLASS__GEOMETRY_HELPERS_HPP_

#include "geometry_msgs/msg/point32.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

// The largest y of the robot footprint held by the grid map's costmap, never
// below 0.0; used as the robot's half width. Throws std::invalid_argument for a
// missing grid map or costmap.
double getFootprintMaxY(const vantrell_nav2_gridmap::GridMapROS* grid_map);
// The largest x of that footprint, never below 0.0: how far the robot reaches ahead of its
// centre. Throws as getFootprintMaxY does.
double getFootprintMaxX(const vantrell_nav2_gridmap::GridMapROS* grid_map);

namespace planning {

// `start` moved by `distance` along `angle` (radians, counter-clockwise from x);
// computed in double precision, z kept.
geometry_msgs::msg::Point32 calculatePoint(const geometry_msgs::msg::Point32& start, double angle,
                                           double distance);

}  // namespace planning

#endif  // VANTRELL_NAV2_BASE_CLASS__GEOMETRY_HELPERS_HPP_
