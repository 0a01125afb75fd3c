#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

#include "grid_layers_plugin.hpp"

namespace vantrell_nav2_gridmap {

GridMapROS::GridMapROS(const std::string& name, const nav_msgs::msg::OccupancyGrid& map,
                       const GridMapParams& params)
    : name_(name),
      costmap_ros_(std::make_shared<nav2_costmap_2d::Costmap2DROS>(
          name, params.global_frame, params.robot_base_frame, params.transform_tolerance,
          params.track_unknown)) {
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
