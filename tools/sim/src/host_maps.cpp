#include "planning_sim/host_maps.hpp"

#include <algorithm>
#include <stdexcept>

namespace planning_sim {

GlobalNodeMaps makeGlobalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                  const vantrell_nav2_gridmap::GridMapParams& params) {
  GlobalNodeMaps maps;
  maps.global = std::make_shared<GridMapROS>("global", floor, params);
  maps.local = std::make_shared<GridMapROS>("local", floor, params);
  return maps;
}

LocalNodeMaps makeLocalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                const vantrell_nav2_gridmap::GridMapParams& params) {
  return makeLocalNodeMaps(
      floor,
      cv::Rect(0, 0, static_cast<int>(floor.info.width), static_cast<int>(floor.info.height)),
      params);
}

LocalNodeMaps makeLocalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                const cv::Rect& local_window,
                                const vantrell_nav2_gridmap::GridMapParams& params) {
  LocalNodeMaps maps;
  maps.global = std::make_shared<GridMapROS>("global_costmap", floor, params);
  maps.local =
      std::make_shared<GridMapROS>("local_costmap", cropOccupancyGrid(floor, local_window), params);
  maps.zone = std::make_shared<GridMapROS>("zone_costmap", floor, params);
  return maps;
}

nav_msgs::msg::OccupancyGrid cropOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                               const cv::Rect& window) {
  if (grid.data.size() != static_cast<size_t>(grid.info.width) * grid.info.height) {
    throw std::invalid_argument("the map's cells do not match its width and height");
  }
  const cv::Rect cells = window & cv::Rect(0, 0, static_cast<int>(grid.info.width),
                                           static_cast<int>(grid.info.height));
  if (cells.empty()) {
    throw std::invalid_argument("the local window lies off the map");
  }
  nav_msgs::msg::OccupancyGrid crop;
  crop.header = grid.header;
  crop.info = grid.info;
  crop.info.width = static_cast<uint32_t>(cells.width);
  crop.info.height = static_cast<uint32_t>(cells.height);
  crop.info.origin.position.x += cells.x * static_cast<double>(grid.info.resolution);
  crop.info.origin.position.y += cells.y * static_cast<double>(grid.info.resolution);
  crop.data.reserve(static_cast<size_t>(cells.area()));
  for (int row = cells.y; row < cells.y + cells.height; ++row) {
    const auto from = grid.data.begin() + static_cast<std::ptrdiff_t>(row) * grid.info.width;
    crop.data.insert(crop.data.end(), from + cells.x, from + cells.x + cells.width);
  }
  return crop;
}

}  // namespace planning_sim
