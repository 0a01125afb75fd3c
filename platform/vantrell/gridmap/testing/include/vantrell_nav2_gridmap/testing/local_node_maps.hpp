#ifndef VANTRELL_NAV2_GRIDMAP__TESTING__LOCAL_NODE_MAPS_HPP_
#define VANTRELL_NAV2_GRIDMAP__TESTING__LOCAL_NODE_MAPS_HPP_

#include <algorithm>
#include <memory>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <string>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

// Test hooks: the three grid maps a local planning node is given. Never
// included by library code.
namespace vantrell_nav2_gridmap {
namespace testing {

// The global map and the zone map share one cell grid (the whole floor), as
// the contour machinery needs; the local map is a window of the floor.
struct LocalNodeMaps {
  std::shared_ptr<GridMapROS> global;  // first: robot pose, global search
  std::shared_ptr<GridMapROS> local;   // second: local search, collisions
  std::shared_ptr<GridMapROS> zone;    // third: zones and contours
};

// The cells of `window` (x = column, y = row) of a grid, clipped to it, with
// the origin moved onto the window's first cell. Throws std::invalid_argument
// when nothing of the window lies on the grid.
inline nav_msgs::msg::OccupancyGrid cropOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                                      const cv::Rect& window) {
  const cv::Rect cells = window & cv::Rect(0, 0, static_cast<int>(grid.info.width),
                                           static_cast<int>(grid.info.height));
  if (cells.empty()) {
    throw std::invalid_argument("the local window lies off the map");
  }
  nav_msgs::msg::OccupancyGrid crop = grid;
  crop.info.width = static_cast<uint32_t>(cells.width);
  crop.info.height = static_cast<uint32_t>(cells.height);
  crop.info.origin.position.x += cells.x * static_cast<double>(grid.info.resolution);
  crop.info.origin.position.y += cells.y * static_cast<double>(grid.info.resolution);
  crop.data.assign(static_cast<size_t>(cells.area()), -1);
  for (int row = 0; row < cells.height; ++row) {
    const auto from =
        grid.data.begin() + static_cast<std::ptrdiff_t>(row + cells.y) * grid.info.width + cells.x;
    std::copy(from, from + cells.width,
              crop.data.begin() + static_cast<std::ptrdiff_t>(row) * cells.width);
  }
  return crop;
}

// Named "global_costmap", "local_costmap" and "zone_costmap".
inline LocalNodeMaps makeLocalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                       const cv::Rect& local_window,
                                       const GridMapParams& params = GridMapParams()) {
  LocalNodeMaps maps;
  maps.global = std::make_shared<GridMapROS>("global_costmap", floor, params);
  maps.local =
      std::make_shared<GridMapROS>("local_costmap", cropOccupancyGrid(floor, local_window), params);
  maps.zone = std::make_shared<GridMapROS>("zone_costmap", floor, params);
  return maps;
}

inline void placeRobot(LocalNodeMaps& maps, double x, double y, double yaw) {
  for (const auto& map : {maps.global, maps.local, maps.zone}) {
    placeRobot(*map, x, y, yaw);
  }
}

}  // namespace testing
}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__TESTING__LOCAL_NODE_MAPS_HPP_
