#ifndef TOOLS__SIM__SIM_FIXTURES_HPP_
#define TOOLS__SIM__SIM_FIXTURES_HPP_

#include <cmath>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/sim_clock.hpp"
#include "planning_sim/sim_robot.hpp"
#include "planning_sim/sim_world.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace sim_test {

// A corridor of 9 m x 1.8 m at 0.05 m cells, walled all round; its middle runs along y = 0.9.
inline nav_msgs::msg::OccupancyGrid corridorFloor() {
  const test_support::DrawnMap drawn = test_support::drawEmptyRoom(180, 36, 0.05);
  return vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(drawn.image, drawn.resolution);
}

inline geometry_msgs::msg::Pose2D pose2(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::Pose2D pose;
  pose.x = x;
  pose.y = y;
  pose.theta = yaw;
  return pose;
}

// Poses 0.05 m apart through the corners, each facing along its leg.
inline nav_msgs::msg::Path polyline(const std::vector<geometry_msgs::msg::Point>& corners) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (size_t i = 0; i + 1 < corners.size(); ++i) {
    const auto& a = corners[i];
    const auto& b = corners[i + 1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double yaw = std::atan2(b.y - a.y, b.x - a.x);
    const int steps = static_cast<int>(std::ceil(length / 0.05));
    for (int k = i == 0 ? 0 : 1; k <= steps; ++k) {
      geometry_msgs::msg::PoseStamped pose;
      pose.header.frame_id = "map";
      pose.pose.position.x = a.x + (b.x - a.x) * k / steps;
      pose.pose.position.y = a.y + (b.y - a.y) * k / steps;
      pose.pose.orientation.z = std::sin(yaw / 2.0);
      pose.pose.orientation.w = std::cos(yaw / 2.0);
      path.poses.push_back(pose);
    }
  }
  return path;
}

inline geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

inline std::vector<geometry_msgs::msg::Point> box(double x0, double y0, double x1, double y1) {
  return {point(x0, y0), point(x1, y0), point(x1, y1), point(x0, y1)};
}

// The robot on a floor with a clock and a world of its own. One at a time: its transform reaches
// every costmap in the process.
struct Bench {
  explicit Bench(const nav_msgs::msg::OccupancyGrid& floor,
                 planning_sim::SimRobotParams params = planning_sim::SimRobotParams())
      : maps(planning_sim::makeLocalNodeMaps(floor)),
        world(floor, {maps.local}),
        robot(clock, world, maps.list(), params) {}

  planning_sim::LocalNodeMaps maps;
  planning_sim::SimClock clock;
  planning_sim::SimWorld world;
  planning_sim::SimRobot robot;
};

}  // namespace sim_test

#endif  // TOOLS__SIM__SIM_FIXTURES_HPP_
