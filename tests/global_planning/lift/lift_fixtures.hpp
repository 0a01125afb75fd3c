#ifndef GLOBAL_PLANNING__LIFT__LIFT_FIXTURES_HPP_
#define GLOBAL_PLANNING__LIFT__LIFT_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/log_capture.hpp"
#include "support/shapes.hpp"
#include "support/text_map.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"

namespace lift_test {

using vantrell_communicator::testing::CommunicatorProbe;
using vantrell_nav2_gridmap::GridMapROS;

using test_support::kTextCell;
constexpr double kCell = kTextCell;
using planning::codes::kGlobalPlanFailed;

using test_support::drawnGrid;
using test_support::freeRows;
using test_support::squareRobot;

using test_support::box;
using test_support::point32;
using test_support::pose;

inline double distance(const geometry_msgs::msg::Point& a, double x, double y) {
  return std::hypot(a.x - x, a.y - y);
}

// The option record's bytes.
inline std::vector<uint8_t> recordBytes(const vantrell_nav2_planner::astar2::AstarOptions& o) {
  std::vector<uint8_t> bytes(sizeof(o));
  std::memcpy(bytes.data(), &o, sizeof(o));
  return bytes;
}

// The bytes a lift planner hands over: zero except byte 2, the goal-side tolerance at 16 and the
// path tolerance at 48.
inline std::vector<uint8_t> liftRecord(double goal_tolerance) {
  std::vector<uint8_t> bytes(88, 0);
  bytes[2] = 1;
  const double tolerance = 0.2;
  std::memcpy(&bytes[16], &goal_tolerance, sizeof(goal_tolerance));
  std::memcpy(&bytes[48], &tolerance, sizeof(tolerance));
  return bytes;
}

using test_support::logged;

// A lifecycle node with the two parameters every planner reads, a clean communicator and a
// cleared log capture.
class LiftPlannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    log_ = test_support::clearedLog();
    CommunicatorProbe::reset();
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lift_planners_test");
    node_->declare_parameter("safe_cost", 0);
    node_->declare_parameter("fuzzy_range", 1.0);
  }

  static std::vector<visualization_msgs::msg::Marker> markers() {
    return CommunicatorProbe::connectiveAreas().kept();
  }

  std::shared_ptr<test_support::CaptureSink> log_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
};

}  // namespace lift_test

#endif  // GLOBAL_PLANNING__LIFT__LIFT_FIXTURES_HPP_
