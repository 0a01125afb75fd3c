#ifndef PLANNING_SIM__HOST_MAPS_HPP_
#define PLANNING_SIM__HOST_MAPS_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

// The grid maps a hosting process builds for a floor, before it constructs a planning node on
// them. Each constructor throws std::invalid_argument (from the grid maps) for a map they
// cannot use.
namespace planning_sim {

using GridMapROS = vantrell_nav2_gridmap::GridMapROS;

// The global planning node's pair, named "global" and "local"; both see the whole floor.
struct GlobalNodeMaps {
  std::shared_ptr<GridMapROS> global;
  std::shared_ptr<GridMapROS> local;

  std::vector<std::shared_ptr<GridMapROS>> list() const { return {global, local}; }
};

GlobalNodeMaps makeGlobalNodeMaps(
    const nav_msgs::msg::OccupancyGrid& floor,
    const vantrell_nav2_gridmap::GridMapParams& params = vantrell_nav2_gridmap::GridMapParams());

// The local planning node's three, named "global_costmap", "local_costmap" and "zone_costmap",
// all three the whole floor: the first and the third must share one cell grid, as the contour
// machinery needs; on the robot the local map is a window that follows it, which a grid map of
// the floor stands in for.
struct LocalNodeMaps {
  std::shared_ptr<GridMapROS> global;  // robot pose, global search
  std::shared_ptr<GridMapROS> local;   // local search, collisions, smoothing
  std::shared_ptr<GridMapROS> zone;    // zones, contours, coverage

  std::vector<std::shared_ptr<GridMapROS>> list() const { return {global, local, zone}; }
};

LocalNodeMaps makeLocalNodeMaps(
    const nav_msgs::msg::OccupancyGrid& floor,
    const vantrell_nav2_gridmap::GridMapParams& params = vantrell_nav2_gridmap::GridMapParams());
// The same with the local map on `local_window` (floor cells, clipped to the floor) only: the
// robot's local map is a window, and a fixed window over where the robot works stands in for it.
// Throws std::invalid_argument for a window that misses the floor.
LocalNodeMaps makeLocalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                const vantrell_nav2_gridmap::GridMapParams& params,
                                const cv::Rect& local_window);

}  // namespace planning_sim

#endif  // PLANNING_SIM__HOST_MAPS_HPP_
