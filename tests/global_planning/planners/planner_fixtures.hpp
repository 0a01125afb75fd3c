#ifndef GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_
#define GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_

#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>

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
#include "planning/nav_global_planning.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
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

// Cell size of the drawn maps; with the origin half a cell below zero, cell (i, j) is centred
// on (0.1 i, 0.1 j).
constexpr double kCell = 0.1;
constexpr double kOrigin = -0.05;
using planning::codes::kGlobalPlanFailed;

// ---- log records --------------------------------------------------------------------------

struct LogLine {
  std::string level;
  std::string text;
};

// Keeps every record that reaches the logger, split into level and text.
class LogSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<LogLine> lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    // A record reads "nnn [LEVEL] text".
    const std::string record(msg.payload.data(), msg.payload.size());
    const auto open = record.find('[');
    const auto close = record.find("] ", open);
    if (open == std::string::npos || close == std::string::npos) {
      lines_.push_back({"", record});
      return;
    }
    lines_.push_back({record.substr(open + 1, close - open - 1), record.substr(close + 2)});
  }
  void flush_() override {}

 private:
  std::vector<LogLine> lines_;
};

inline std::shared_ptr<LogSink> logSink() {
  static const std::shared_ptr<LogSink> sink = [] {
    auto made = std::make_shared<LogSink>();
    vantrell::Logger::Instance("spdlog").logger_->sinks().push_back(made);
    return made;
  }();
  return sink;
}

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

// A robot of 2 x 2 cm: only wall and unknown cells are in danger, so tests place blocked cells
// exactly.
inline vantrell_nav2_gridmap::GridMapParams pointRobotParams() {
  vantrell_nav2_gridmap::GridMapParams params;
  params.footprint.clear();
  for (const auto& corner : {std::make_pair(0.01, 0.01), std::make_pair(0.01, -0.01),
                             std::make_pair(-0.01, -0.01), std::make_pair(-0.01, 0.01)}) {
    geometry_msgs::msg::Point point;
    point.x = corner.first;
    point.y = corner.second;
    params.footprint.push_back(point);
  }
  params.inflation_radius = 0.0;
  return params;
}

// A map drawn row by row: rows[0] is cell row 0 (lowest y); '#' wall, '?' unknown, else free.
inline std::shared_ptr<GridMapROS> drawnGrid(const std::vector<std::string>& rows,
                                             const std::string& name = "global") {
  const cv::Mat drawn = vantrell_nav2_gridmap::testing::drawingFromRows(rows);
  auto map = vantrell_nav2_gridmap::testing::makeGridMap(name, drawn, kCell, kOrigin, kOrigin,
                                                         pointRobotParams());
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
    log_ = logSink();
    log_->clear();
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

  std::shared_ptr<LogSink> log_;
};

}  // namespace global_planners_test

#endif  // GLOBAL_PLANNING__PLANNERS__PLANNER_FIXTURES_HPP_
