#include "planning_sim/host_maps.hpp"

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

}  // namespace planning_sim
