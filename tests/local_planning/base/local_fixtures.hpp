#ifndef LOCAL_PLANNING__BASE__LOCAL_FIXTURES_HPP_
#define LOCAL_PLANNING__BASE__LOCAL_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "planning/geometry.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "rclcpp/rclcpp.hpp"
#include "support/debug_log_level.hpp"
#include "support/drawn_maps.hpp"
#include "support/log_capture.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

namespace local_base_test {

namespace hooks = vantrell_nav2_gridmap::testing;
using Goal = vantrell_nav2_protocol::action::LocalPlanning::Goal;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;
using NavPath = nav_msgs::msg::Path;
using Piece = vantrell_nav2_protocol::msg::Path;
using PoseStamped = geometry_msgs::msg::PoseStamped;
using Probe = vantrell_communicator::testing::CommunicatorProbe;
using planning::NavLocalPlanning;

// A 60 x 40 cell room of 0.1 m cells, walled all round; cell (i, j) is centred on
// (0.1 i - 1, 0.1 j - 1), so x runs -1 .. 4.9 and y -1 .. 2.9. `walls` are extra walls, each
// given by the world corners of the cell centres it covers. The robot is a square of the
// given half width, without inflation: only walls collide.
inline hooks::LocalNodeMaps makeMaps(const std::vector<cv::Vec4d>& walls, double half_width = 0.1) {
  test_support::DrawnMap floor = test_support::drawEmptyRoom(60, 40, 0.1);
  const auto cell = [](double w) { return static_cast<int>(std::lround((w + 1.0) / 0.1)); };
  for (const auto& w : walls) {
    cv::rectangle(floor.image, cv::Point(cell(w[0]), cell(w[1])), cv::Point(cell(w[2]), cell(w[3])),
                  cv::Scalar(test_support::kWall), cv::FILLED);
  }
  vantrell_nav2_gridmap::GridMapParams params;
  params.inflation_radius = 0.0;
  for (auto& point : params.footprint) {
    point.x = std::copysign(half_width, point.x);
    point.y = std::copysign(half_width, point.y);
  }
  auto maps =
      hooks::makeLocalNodeMaps(hooks::occupancyGridFromDrawing(floor.image, 0.1, -1.05, -1.05),
                               cv::Rect(0, 0, 60, 40), params);
  for (const auto& map : {maps.global, maps.local, maps.zone}) {
    map->getMultiGridMap()->updateMap();
  }
  return maps;
}

inline PoseStamped pose(double x, double y, double yaw = 0.0) {
  return planning::geometry::planarPose(x, y, yaw, "");
}

// n poses evenly from (x0, y0) to (x1, y1), facing along; further legs join at their first pose.
inline NavPath line(double x0, double y0, double x1, double y1, int n, NavPath path = {}) {
  const double yaw = std::atan2(y1 - y0, x1 - x0);
  for (int i = path.poses.empty() ? 0 : 1; i < n; ++i) {
    const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
    path.poses.push_back(pose(x0 + t * (x1 - x0), y0 + t * (y1 - y0), yaw));
  }
  return path;
}

using planning::geometry::yawOf;

// Records at one level ("DEBUG", "INFO", "WARN"), without number and level tag.
inline std::vector<std::string> logged(const std::string& level) {
  return test_support::captureLog()->messagesAt(level);
}

inline int countLogged(const std::string& level, const std::string& text) {
  const auto lines = logged(level);
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

class LocalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    test_support::captureLog()->clear();
    Probe::reset();
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("local_base_test");
    trace_ = std::make_shared<LogPublisher>(node_);
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<LogPublisher> trace_;
};

// The least local planner there can be, with the base's state in reach.
class TestPlanner final : public NavLocalPlanning {
 public:
  using NavLocalPlanning::extra_goals_;
  using NavLocalPlanning::file_output_folder_;
  using NavLocalPlanning::NavLocalPlanning;
  using NavLocalPlanning::near_obstacle_angular_cap_;
  using NavLocalPlanning::new_request_;
  using NavLocalPlanning::zelto_need_rotation_;
  using NavLocalPlanning::zelto_rotation_angle_;

  // Reads the cache as every planner must: no piece this cycle fails the cycle, and only an
  // empty cache finishes the task.
  bool makePlan(Path& path, ControlState& state, bool& /*need_replan*/) override {
    Path piece;
    const int count = getNextGlobalPathAndPreSetLocalPath(piece, path);
    state.finished = count == kNoGlobalPathLeft;
    path.nav_path = piece.nav_path;
    return count != kGlobalPathUnavailable;
  }
  bool pathSmooter(nav_msgs::msg::Path& /*path*/) override { return true; }
  void reset() override { ++resets; }

  int resets = 0;
};

inline std::shared_ptr<TestPlanner> makePlanner(
    const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    const hooks::LocalNodeMaps& maps) {
  return std::make_shared<TestPlanner>(node, maps.global, maps.local, maps.zone);
}

}  // namespace local_base_test

#endif  // LOCAL_PLANNING__BASE__LOCAL_FIXTURES_HPP_
