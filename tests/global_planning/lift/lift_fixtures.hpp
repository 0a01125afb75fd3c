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

#include "foundation/log_capture.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/codes.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"

namespace lift_test {

using vantrell_communicator::testing::CommunicatorProbe;
using vantrell_nav2_gridmap::GridMapROS;

// Cells of the hand-drawn maps are 0.1 m; with the origin half a cell below zero, cell (i, j)
// is centred on (0.1 i, 0.1 j).
constexpr double kCell = 0.1;
constexpr double kOrigin = -0.05;
using planning::codes::kGlobalPlanFailed;

inline geometry_msgs::msg::Point footprintPoint(double x, double y) {
  geometry_msgs::msg::Point point;
  point.x = x;
  point.y = y;
  return point;
}

// A square robot of the given half size, inflated no farther than its inscribed radius.
inline vantrell_nav2_gridmap::GridMapParams squareRobot(double half) {
  vantrell_nav2_gridmap::GridMapParams params;
  params.footprint = {footprintPoint(half, half), footprintPoint(half, -half),
                      footprintPoint(-half, -half), footprintPoint(-half, half)};
  params.inflation_radius = 0.0;
  return params;
}

// A map drawn row by row: rows[0] is cell row 0 (lowest y); '#' wall, '?' unknown, else free.
// The default robot is a 2 cm square, so that only wall and unknown cells are in danger.
inline std::shared_ptr<GridMapROS> drawnGrid(
    const std::vector<std::string>& rows,
    const vantrell_nav2_gridmap::GridMapParams& params = squareRobot(0.01)) {
  namespace gm = vantrell_nav2_gridmap::testing;
  const cv::Mat drawn = gm::drawingFromRows(rows);
  auto map = gm::makeGridMap("global", drawn, kCell, kOrigin, kOrigin, params);
  map->getMultiGridMap()->updateMap();
  return map;
}

inline std::vector<std::string> freeRows(int width, int height) {
  return std::vector<std::string>(static_cast<size_t>(height),
                                  std::string(static_cast<size_t>(width), '.'));
}

inline geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw = 0.0,
                                            const std::string& frame = "map") {
  geometry_msgs::msg::PoseStamped made;
  made.header.frame_id = frame;
  made.pose.position.x = x;
  made.pose.position.y = y;
  made.pose.orientation.z = std::sin(yaw / 2.0);
  made.pose.orientation.w = std::cos(yaw / 2.0);
  return made;
}

inline geometry_msgs::msg::Point32 point32(double x, double y) {
  geometry_msgs::msg::Point32 made;
  made.x = static_cast<float>(x);
  made.y = static_cast<float>(y);
  return made;
}

// The rectangle [x0, x1] x [y0, y1], corners counter-clockwise from (x0, y0).
inline geometry_msgs::msg::Polygon box(double x0, double y0, double x1, double y1) {
  geometry_msgs::msg::Polygon polygon;
  polygon.points = {point32(x0, y0), point32(x1, y0), point32(x1, y1), point32(x0, y1)};
  return polygon;
}

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

// Whether a captured record (number and level tag, then text) ends with `tail`.
inline bool logged(foundation_test::CaptureSink& sink, const std::string& tail) {
  for (const auto& text : sink.texts()) {
    if (text.size() >= tail.size() &&
        text.compare(text.size() - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

// A lifecycle node with the two parameters every planner reads, a clean communicator and a
// cleared log capture.
class LiftPlannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    log_ = foundation_test::captureLog();
    log_->clear();
    CommunicatorProbe::reset();
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lift_planners_test");
    node_->declare_parameter("safe_cost", 0);
    node_->declare_parameter("fuzzy_range", 1.0);
  }

  static std::vector<visualization_msgs::msg::Marker> markers() {
    return CommunicatorProbe::connectiveAreas().kept();
  }

  std::shared_ptr<foundation_test::CaptureSink> log_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
};

}  // namespace lift_test

#endif  // GLOBAL_PLANNING__LIFT__LIFT_FIXTURES_HPP_
