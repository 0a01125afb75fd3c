// The hosting process of the two-process test: the global and the local planning node on the
// demo's office floor, the robot placed at the reception, served until standard input closes.
#include <iostream>
#include <memory>
#include <string>

#include "demo_map.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/localisation.hpp"
#include "planning_sim/node_host.hpp"
#include "rclcpp/rclcpp.hpp"

namespace {

void hostUntilInputCloses() {
  const demo::DemoMap map = demo::loadDemoMap("");
  const auto global_maps = planning_sim::makeGlobalNodeMaps(map.grid);
  const auto local_maps = planning_sim::makeLocalNodeMaps(map.grid);
  auto global_node =
      std::make_shared<planning::NavGlobalPlanningServer>(global_maps.global, global_maps.local);
  auto local_node = std::make_shared<planning::NavLocalPlanningServer>(
      local_maps.global, local_maps.local, local_maps.zone);
  planning_sim::NodeHost host;
  host.spin(global_node);
  host.spin(local_node);
  planning_sim::bringUp(*global_node);
  planning_sim::bringUp(*local_node);
  auto maps = global_maps.list();
  for (const auto& grid_map : local_maps.list()) {
    maps.push_back(grid_map);
  }
  planning_sim::Localisation localisation(maps);
  const demo::Pose2 start = demo::placeOnMap(map, "reception");
  geometry_msgs::msg::Pose2D pose;
  pose.x = start.x;
  pose.y = start.y;
  pose.theta = start.yaw;
  localisation.placeRobot(pose);
  std::cout << "ready" << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
  }
}

}  // namespace

int main() {
  rclcpp::init(0, nullptr);
  int status = 0;
  try {
    hostUntilInputCloses();
  } catch (const std::exception& error) {
    std::cerr << "planning_nodes_host: " << error.what() << "\n";
    status = 1;
  }
  rclcpp::shutdown();
  return status;
}
