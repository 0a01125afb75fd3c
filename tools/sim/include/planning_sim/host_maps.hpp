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

// The local planning node's three, named "global_costmap", "local_costmap" and "zone_costmap".
// The first and the third share one cell grid, the whole floor, as the contour machinery needs;
// the second, the local map, is a window of it.
struct LocalNodeMaps {
  std::shared_ptr<GridMapROS> global;  // robot pose, global search
  std::shared_ptr<GridMapROS> local;   // local search, collisions, smoothing
  std::shared_ptr<GridMapROS> zone;    // zones, contours, coverage

  std::vector<std::shared_ptr<GridMapROS>> list() const { return {global, local, zone}; }
};

// The local map covers the whole floor: on the robot it is a window that follows it.
LocalNodeMaps makeLocalNodeMaps(
    const nav_msgs::msg::OccupancyGrid& floor,
    const vantrell_nav2_gridmap::GridMapParams& params = vantrell_nav2_gridmap::GridMapParams());
// The local map covers the cells of `local_window` (x = column, y = row), clipped to the floor.
LocalNodeMaps makeLocalNodeMaps(
    const nav_msgs::msg::OccupancyGrid& floor, const cv::Rect& local_window,
    const vantrell_nav2_gridmap::GridMapParams& params = vantrell_nav2_gridmap::GridMapParams());

// The cells of `window` of a grid, clipped to it, with the origin moved onto the window's first
// cell. Throws std::invalid_argument when nothing of the window lies on the grid.
nav_msgs::msg::OccupancyGrid cropOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                               const cv::Rect& window);

}  // namespace planning_sim

#endif  // PLANNING_SIM__HOST_MAPS_HPP_
