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
#ifdef VANTRELL_REAL_ROS2
  // Nav2's costmap is a lifecycle node: its frames are parameters, and its layered costmap
  // exists once configured. It is never activated: the grid map updates it itself, so it needs
  // neither the update thread nor tf at start-up. The grid layers are its only layer, and the
  // footprint counts as given (Nav2 pads it by 0.01 m by default).
  auto costmap_ros = std::make_shared<nav2_costmap_2d::Costmap2DROS>(name);
  costmap_ros->set_parameters({
      rclcpp::Parameter("global_frame", params.global_frame),
      rclcpp::Parameter("robot_base_frame", params.robot_base_frame),
      rclcpp::Parameter("transform_tolerance", params.transform_tolerance),
      rclcpp::Parameter("track_unknown_space", params.track_unknown),
      rclcpp::Parameter("footprint_padding", 0.0),
      rclcpp::Parameter("plugins", std::vector<std::string>()),
  });
  costmap_ros->configure();
  return costmap_ros;
#else
  return std::make_shared<nav2_costmap_2d::Costmap2DROS>(
      name, params.global_frame, params.robot_base_frame, params.transform_tolerance,
      params.track_unknown);
#endif
}

}  // namespace

GridMapROS::GridMapROS(const std::string& name, const nav_msgs::msg::OccupancyGrid& map,
                       const GridMapParams& params)
    : name_(name), costmap_ros_(makeCostmapROS(name, map, params)) {
  costmap_ros_->setRobotFootprint(params.footprint);
  multi_grid_map_ = std::make_shared<MultiGridMap>(costmap_ros_, map, params);
  auto plugin = std::make_shared<GridLayersPlugin>(multi_grid_map_);
#ifdef VANTRELL_REAL_ROS2
  plugin->initialize(costmap_ros_->getLayeredCostmap(), "grid_layers",
                     costmap_ros_->getTfBuffer().get(), costmap_ros_, nullptr);
#else
  plugin->initialize(costmap_ros_->getLayeredCostmap(), "grid_layers");
#endif
  costmap_ros_->getLayeredCostmap()->addPlugin(plugin);
}

void GridMapROS::waitForCostmap() {
  if (!multi_grid_map_->getLayers()) {
    multi_grid_map_->updateMap();
  }
}

}  // namespace vantrell_nav2_gridmap
