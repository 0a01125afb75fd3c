#ifndef GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_
#define GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/nav_global_planning.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/log_capture.hpp"
#include "support/shapes.hpp"
#include "support/text_map.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"

namespace global_planners_test {

using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_planner::astar2::AstarCall;
using vantrell_nav2_planner::astar2::AstarOptions;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using Goal = vantrell_nav2_protocol::action::GlobalPlanning::Goal;

using planning::codes::kGlobalPlanFailed;

// ---- log records --------------------------------------------------------------------------

using test_support::LogLine;

// The lines whose text starts with `head`.
inline std::vector<LogLine> linesStartingWith(const std::vector<LogLine>& lines,
                                              const std::string& head) {
  std::vector<LogLine> found;
  for (const auto& line : lines) {
    if (line.text.compare(0, head.size(), head) == 0) {
      found.push_back(line);
    }
  }
  return found;
}

// ---- maps, poses, goals -------------------------------------------------------------------

using test_support::drawnGrid;
using test_support::freeRows;
using test_support::pointRobot;

using test_support::point32;
using test_support::pose;

inline void placeRobot(GridMapROS& map, double x, double y) {
  vantrell_nav2_gridmap::testing::placeRobot(map, x, y, 0.0);
}

// ---- the option record, byte by byte ------------------------------------------------------

// The record every searching planner must hand over: all 88 bytes zero except these.
inline std::vector<uint8_t> expectedRecord(double fuzzy, double goal_fuzzy) {
  std::vector<uint8_t> bytes(88, 0);
  bytes[0] = 1;
  bytes[2] = 1;
  const double tolerance = 0.3;
  const int32_t budget = 400;
  std::memcpy(&bytes[8], &fuzzy, sizeof(fuzzy));
  std::memcpy(&bytes[16], &goal_fuzzy, sizeof(goal_fuzzy));
  std::memcpy(&bytes[48], &tolerance, sizeof(tolerance));
  std::memcpy(&bytes[60], &budget, sizeof(budget));
  return bytes;
}

inline std::vector<uint8_t> recordBytes(const AstarOptions& options) {
  std::vector<uint8_t> bytes(sizeof(options));
  std::memcpy(bytes.data(), &options, sizeof(options));
  return bytes;
}

// An engine that answers every search with "found" and no path at all.
inline void answerTrueWithoutAPath(AstarPlanner& engine) {
  AstarPlannerProbe::script(
      engine,
      [](const auto&, const auto&, const auto&,
         vantrell_nav2_protocol::msg::MultiPaths& paths) -> std::optional<bool> {
        paths.paths.clear();
        return true;
      });
}

// ---- the node and the planners ------------------------------------------------------------

// What every planner test needs: a lifecycle node with the two parameters the planners read,
// a capture of the log and the ROS context.
class PlannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    log_ = test_support::clearedLog();
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> makeNode(double fuzzy_range = 1.0,
                                                            int64_t safe_cost = 0) {
    auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("global_planners_test");
    node->declare_parameter("safe_cost", safe_cost);
    node->declare_parameter("fuzzy_range", fuzzy_range);
    return node;
  }

  static std::shared_ptr<AstarPlanner> engineOn(const std::shared_ptr<GridMapROS>& map,
                                                const std::string& name = "global") {
    return std::make_shared<AstarPlanner>(name, map);
  }

  // Hands the goal over as the node does: goal, then its flags.
  static void passGoal(planning::NavGlobalPlanning& planner, const Goal& goal) {
    planner.updateGoal(std::make_shared<const Goal>(goal));
    planner.setGoalFlags({goal.forbid_fuzzy_goal, goal.goal_flag_2, goal.goal_flag_3});
  }

  std::shared_ptr<test_support::CaptureSink> log_;
};

}  // namespace global_planners_test

#endif  // GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_
