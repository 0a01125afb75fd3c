#include "planning_sim/host_maps.hpp"

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
  LocalNodeMaps maps;
  maps.global = std::make_shared<GridMapROS>("global_costmap", floor, params);
  maps.local = std::make_shared<GridMapROS>("local_costmap", floor, params);
  maps.zone = std::make_shared<GridMapROS>("zone_costmap", floor, params);
  return maps;
}

LocalNodeMaps makeLocalNodeMaps(const nav_msgs::msg::OccupancyGrid& floor,
                                const vantrell_nav2_gridmap::GridMapParams& params,
                                const cv::Rect& local_window) {
  const cv::Rect cells = local_window & cv::Rect(0, 0, static_cast<int>(floor.info.width),
                                                 static_cast<int>(floor.info.height));
  if (cells.empty() ||
      floor.data.size() != static_cast<size_t>(floor.info.width) * floor.info.height) {
    throw std::invalid_argument("the local window misses the floor");
  }
  nav_msgs::msg::OccupancyGrid window;
  window.header = floor.header;
  window.info = floor.info;
  window.info.width = static_cast<uint32_t>(cells.width);
  window.info.height = static_cast<uint32_t>(cells.height);
  window.info.origin.position.x += cells.x * static_cast<double>(floor.info.resolution);
  window.info.origin.position.y += cells.y * static_cast<double>(floor.info.resolution);
  const cv::Mat whole(static_cast<int>(floor.info.height), static_cast<int>(floor.info.width),
                      CV_8SC1, const_cast<int8_t*>(floor.data.data()));
  const cv::Mat part = whole(cells).clone();
  window.data.assign(part.ptr<int8_t>(), part.ptr<int8_t>() + part.total());

  LocalNodeMaps maps;
  maps.global = std::make_shared<GridMapROS>("global_costmap", floor, params);
  maps.local = std::make_shared<GridMapROS>("local_costmap", window, params);
  maps.zone = std::make_shared<GridMapROS>("zone_costmap", floor, params);
  return maps;
}

}  // namespace planning_sim
