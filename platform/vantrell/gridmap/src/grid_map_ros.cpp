#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

#include "grid_layers_plugin.hpp"
#include "vantrell_nav2_gridmap/grid_map_memory.hpp"

namespace vantrell_nav2_gridmap {

namespace {

// A map refused for want of memory is refused before anything is built for it, the costmap
// with its tf listener included.
std::shared_ptr<nav2_costmap_2d::Costmap2DROS> makeCostmapROS(
    const std::string& name, const nav_msgs::msg::OccupancyGrid& map, const GridMapParams& params) {
  GridMapMemory::admit(map.info.width, map.info.height);
  return std::make_shared<nav2_costmap_2d::Costmap2DROS>(
      name, params.global_frame, params.robot_base_frame, params.transform_tolerance,
      params.track_unknown);
}

}  // namespace

GridMapROS::GridMapROS(const std::string& name, const nav_msgs::msg::OccupancyGrid& map,
                       const GridMapParams& params)
    : name_(name), costmap_ros_(makeCostmapROS(name, map, params)) {
  costmap_ros_->setRobotFootprint(params.footprint);
  multi_grid_map_ = std::make_shared<MultiGridMap>(costmap_ros_, map, params);
  auto plugin = std::make_shared<GridLayersPlugin>(multi_grid_map_);
  plugin->initialize(costmap_ros_->getLayeredCostmap(), "grid_layers");
  costmap_ros_->getLayeredCostmap()->addPlugin(plugin);
}

void GridMapROS::waitForCostmap() {
  if (!multi_grid_map_->getLayers()) {
    multi_grid_map_->updateMap();
  }
}

}  // namespace vantrell_nav2_gridmap
