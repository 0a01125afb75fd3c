// What a "local_planning" goal must be for the node to plan it, checked on the goal's worker
// thread before any planner sees the goal.
#include "planning/local_planning/local_goal_check.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "planning/planner_keys.hpp"

namespace planning {

namespace {

using Goal = vantrell_nav2_protocol::action::LocalPlanning::Goal;
using PoseStamped = geometry_msgs::msg::PoseStamped;
// What is wrong with a goal, field first; nothing for a goal that can be planned.
using Fault = std::optional<std::string>;

constexpr int32_t kNoPlanningMode = 0;
constexpr int16_t kNoGoalMode = 0;

std::string poseText(const PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return fmt::format("({}, {}, {}; {}, {}, {}, {})", p.x, p.y, p.z, q.x, q.y, q.z, q.w);
}

Fault countFault(std::size_t count, std::size_t bound, const std::string& field,
                 const char* items) {
  if (count <= bound) {
    return std::nullopt;
  }
  return fmt::format("{} holds {} {}, more than the {} a goal may carry", field, count, items,
                     bound);
}

Fault numberFault(double value, const char* field) {
  if (std::isfinite(value)) {
    return std::nullopt;
  }
  return fmt::format("{} {} is not finite", field, value);
}

Fault poseFault(const PoseStamped& pose, const std::string& field) {
  if (geometry::isFinitePose(pose)) {
    return std::nullopt;
  }
  return fmt::format("{} {} is not finite", field, poseText(pose));
}

// Only x and y: the planners read no height off a zone corner or a covered point.
Fault pointsFault(const std::vector<geometry_msgs::msg::Point32>& points,
                  const std::string& field) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) {
      return fmt::format("{}[{}] ({}, {}) is not finite", field, i, points[i].x, points[i].y);
    }
  }
  return std::nullopt;
}

Fault goalPoseFault(const Goal& goal) {
  if (Fault fault = poseFault(goal.goal_pose, "goal_pose")) {
    return fault;
  }
  if (Fault fault = countFault(goal.extra_goals.size(), kMaxExtraGoals, "extra_goals", "poses")) {
    return fault;
  }
  for (std::size_t i = 0; i < goal.extra_goals.size(); ++i) {
    if (Fault fault = poseFault(goal.extra_goals[i], fmt::format("extra_goals[{}]", i))) {
      return fault;
    }
  }
  return std::nullopt;
}

Fault pathFault(const Goal& goal) {
  const auto& paths = goal.global_paths.paths;
  std::size_t poses = 0;
  for (const auto& path : paths) {
    poses += path.nav_path.poses.size();
  }
  if (Fault fault = countFault(poses, kMaxPathSetPoses, "global_paths", "poses")) {
    return fault;
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!std::isfinite(paths[i].tolerance)) {
      return fmt::format("global_paths.paths[{}].tolerance {} is not finite", i,
                         paths[i].tolerance);
    }
    const auto& path_poses = paths[i].nav_path.poses;
    for (std::size_t j = 0; j < path_poses.size(); ++j) {
      if (!geometry::isFinitePose(path_poses[j])) {
        return poseFault(path_poses[j],
                         fmt::format("global_paths.paths[{}].nav_path.poses[{}]", i, j));
      }
    }
  }
  return std::nullopt;
}

Fault zoneFault(const Goal& goal) {
  const auto& zones = goal.zone_polygons;
  if (Fault fault = countFault(zones.size(), kMaxGoalZones, "zone_polygons", "zones")) {
    return fault;
  }
  for (std::size_t i = 0; i < zones.size(); ++i) {
    const auto& corners = zones[i].points;
    const std::string zone = fmt::format("zone_polygons[{}]", i);
    if (Fault fault = countFault(corners.size(), kMaxZoneCorners, zone, "corners")) {
      return fault;
    }
    if (Fault fault = pointsFault(corners, zone + ".points")) {
      return fault;
    }
  }
  return std::nullopt;
}

Fault coveredPointFault(const Goal& goal) {
  return pointsFault(goal.covered_points_frm_taskcenter, "covered_points_frm_taskcenter");
}

bool isCoverageGoal(const Goal& goal) {
  return goal.current_planning_id == local_keys::kStaticCoverage ||
         goal.current_planning_id == local_keys::kDynamicCoverage;
}

// Point-to-point goals leave both fields at zero: only the coverage planners read them.
Fault coverageFault(const Goal& goal) {
  if (!isCoverageGoal(goal)) {
    return std::nullopt;
  }
  if (goal.coverage_width < 1) {
    return fmt::format("coverage_width {} is no width: a coverage goal needs at least one cell",
                       goal.coverage_width);
  }
  // The planners draw what the robot cleaned as lines of this width.
  if (goal.coverage_width > coverage::kMaxLineThickness) {
    return fmt::format("coverage_width {} is wider than the {} cells a cleaned line may be",
                       goal.coverage_width, coverage::kMaxLineThickness);
  }
  if (goal.path_overlap_distance < 0) {
    return fmt::format("path_overlap_distance {} is negative", goal.path_overlap_distance);
  }
  // Each pass moves on by the width less the overlap: nothing would be left to move on by.
  if (goal.path_overlap_distance >= goal.coverage_width) {
    return fmt::format("path_overlap_distance {} is not less than coverage_width {}",
                       goal.path_overlap_distance, goal.coverage_width);
  }
  return std::nullopt;
}

Fault firstFault(const Goal& goal) {
  for (const auto& check :
       {+[](const Goal& g) { return numberFault(g.max_speed, "max_speed"); },
        +[](const Goal& g) { return numberFault(g.fuzzy_distance, "fuzzy_distance"); },
        &goalPoseFault, &pathFault, &zoneFault, &coveredPointFault, &coverageFault}) {
    if (Fault fault = check(goal)) {
      return fault;
    }
  }
  return std::nullopt;
}

void warnMeaninglessModes(const Goal& goal) {
  const int32_t planning_mode = goal.planning_mode;
  if (planning_mode != kNoPlanningMode && planning_mode != local_keys::kForceBackwardMode &&
      planning_mode != local_keys::kCoverageMode) {
    LOG_WARN("local planning goal: planning_mode {} has no meaning, planned as an ordinary goal",
             planning_mode);
  }
  const int16_t goal_mode = goal.goal_mode;
  if (goal_mode != kNoGoalMode && goal_mode != global_keys::kLiftInMode &&
      goal_mode != global_keys::kLiftOutMode) {
    LOG_WARN("local planning goal: goal_mode {} has no meaning, only logged", goal_mode);
  }
}

}  // namespace

bool checkLocalGoal(const Goal& goal) {
  if (const Fault fault = firstFault(goal)) {
    LOG_WARN("local planning goal refused: {}, error code is {}", *fault, codes::kLocalPlanFailed);
    return false;
  }
  warnMeaninglessModes(goal);
  return true;
}

}  // namespace planning
