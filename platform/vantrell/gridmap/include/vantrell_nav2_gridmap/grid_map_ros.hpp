#ifndef VANTRELL_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_

#include <memory>
#include <string>

#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

namespace vantrell_nav2_gridmap {

// One named grid map: its Costmap2DROS (frames, footprint, robot pose) and
// its MultiGridMap (layers). Built by the hosting process from a map; ready
// to use once constructed.
class GridMapROS {
 public:
  // Throws std::invalid_argument when the map cannot be used, or when its
  // layers would not fit in the memory available (GridMapMemory::admit).
  GridMapROS(const std::string& name, const nav_msgs::msg::OccupancyGrid& map,
             const GridMapParams& params = GridMapParams());

  std::string get_name() const { return name_; }
  // Returns once the layers have been computed at least once.
  void waitForCostmap();

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> getCostmapROS() const { return costmap_ros_; }
  std::shared_ptr<MultiGridMap> getMultiGridMap() const { return multi_grid_map_; }

 private:
  std::string name_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  std::shared_ptr<MultiGridMap> multi_grid_map_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_
