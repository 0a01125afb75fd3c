// The local planner base: the end of a local path near its goal (fuzzy goal, extra goals), the
// speed caps of a path and the mean smoothing of the coverage planners.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "logger/logger.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/nav_local_planning.hpp"

namespace planning {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::max();
// A non-precise goal is pruned only when the path ends this close to the goal pose.
constexpr double kGoalNearPathEnd = 0.8;
// A new request that starts this close to its goal has nothing to drive.
constexpr double kStartAtGoal = 0.04;
// Up to this many poses a path is all near its goal: the near-goal caps hold.
constexpr std::size_t kNearGoalPoses = 4;

// The mean position of poses i - h .. i + h. The window is centred on i and shrinks
// symmetrically towards either end, so that an evenly spaced straight stretch stays where it is.
geometry_msgs::msg::Point centredMean(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                      std::size_t i, std::size_t h) {
  geometry_msgs::msg::Point mean;
  for (std::size_t k = i - h; k <= i + h; ++k) {
    mean.x += poses[k].pose.position.x;
    mean.y += poses[k].pose.position.y;
  }
  mean.x /= static_cast<double>(2 * h + 1);
  mean.y /= static_cast<double>(2 * h + 1);
  return mean;
}

// Inscribed or lethal cost (obstacles only: floor already cleaned is no obstacle); off the map
// nothing is known against the pose.
bool onInscribedCost(const geometry::MapView& view, const geometry_msgs::msg::PoseStamped& pose) {
  unsigned int mx = 0;
  unsigned int my = 0;
  return view.toCell(pose, mx, my) &&
         view.grid->getCost(mx, my, false) >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
}

// The path's own direction at the step into pose i: the input's chord across `half` poses on
// either side. A step of `out` that runs against it where the input's own step does not is a turn
// back the mean made.
bool stepsBack(const std::vector<geometry_msgs::msg::PoseStamped>& input,
               const std::vector<geometry_msgs::msg::PoseStamped>& out, std::size_t i,
               std::size_t half) {
  const auto& from = input[i > half ? i - 1 - half : 0].pose.position;
  const auto& to = input[std::min(i + half, input.size() - 1)].pose.position;
  const auto along = [&from, &to](const geometry_msgs::msg::Point& a,
                                  const geometry_msgs::msg::Point& b) {
    return (b.x - a.x) * (to.x - from.x) + (b.y - a.y) * (to.y - from.y);
  };
  return along(out[i - 1].pose.position, out[i].pose.position) < 0.0 &&
         along(input[i - 1].pose.position, input[i].pose.position) >= 0.0;
}

// Both ends of a step that turns back go back to the input, until none is left: an input step
// is never one, so this ends.
void undoBackwardSteps(const std::vector<geometry_msgs::msg::PoseStamped>& input, std::size_t half,
                       std::vector<geometry_msgs::msg::PoseStamped>& out) {
  bool undone = true;
  while (undone) {
    undone = false;
    for (std::size_t i = 1; i < out.size(); ++i) {
      if (stepsBack(input, out, i, half)) {
        out[i - 1] = input[i - 1];
        out[i] = input[i];
        undone = true;
      }
    }
  }
}

}  // namespace

void NavLocalPlanning::pathFuzzyPoint(Path& path, ControlState& state) {
  PoseStamped robot;
  const bool have_robot = getLocalRobotPose(robot);
  if (!have_robot) {
    // The origin, facing along x, whatever a failed look-up left behind.
    robot.pose = geometry_msgs::msg::Pose();
  }
  auto& nav_path = path.nav_path;
  LOG_INFO("[NavLocalPlanning::pathFuzzyPoint] input path length: {}", nav_path.poses.size());
  double fuzzy = kNoValue;
  if (goal_flags_[0] != 0) {
    const bool reachable = pruningReachablePath(robot, nav_path, fuzzy);
    LOG_INFO(
        "local planning pathFuzzyPoint check status pruning_reachable_path: {}, fuzzy_distance: "
        "{}, precise: {}",
        reachable, fuzzy, precise_goal_reach_fuzzy_distance_);
    if (reachable) {
      state.finished = precise_goal_reach_fuzzy_distance_ >= fuzzy;
    }
    if (!state.finished) {
      searchExtraGoals(nav_path, state, robot, have_robot);
    }
  } else if (!nav_path.poses.empty() &&
             base_robot_.calDistance(nav_path.poses.back(), goal_pose_) < kGoalNearPathEnd) {
    pruningReachablePath(robot, nav_path, fuzzy);
  }
  fuzzy = base_robot_.calDistance(robot, goal_pose_);
  LOG_INFO(
      "[NavLocalPlanning::pathFuzzyPoint] check info new_request: {}, fuzzy_distance: {}, "
      "extra_goals.size(): {}",
      new_request_, fuzzy, extra_goals_.size());
  if (!have_robot) {
    LOG_WARN(
        "[NavLocalPlanning::pathFuzzyPoint] can not get the robot pose, the goal is not checked "
        "against the robot");
  } else if (new_request_ && fuzzy <= kStartAtGoal && extra_goals_.empty()) {
    LOG_INFO(
        "[NavLocalPlanning::pathFuzzyPoint] start point for navigation is too close to "
        "destination, finished");
    state.too_close_to_goal = 1;
  }
  new_request_ = false;
}

void NavLocalPlanning::searchExtraGoals(nav_msgs::msg::Path& path, ControlState& state,
                                        const PoseStamped& robot, bool have_robot) {
  if (extra_goals_.empty()) {
    return;
  }
  if (!path.poses.empty()) {
    path.poses.pop_back();
  }
  const Collision::CollisionCheck::Footprint footprint =
      local_gridmap_->getCostmapROS()->getRobotFootprint();
  // Without the robot pose the origin stands in for the robot: distances are still taken from
  // it, but no goal is judged reached from a made-up position.
  std::size_t best = extra_goals_.size();
  double best_distance = kNoValue;
  for (std::size_t i = 0; i < extra_goals_.size(); ++i) {
    const PoseStamped& goal = extra_goals_[i];
    geometry_msgs::msg::Pose2D flat;
    flat.x = goal.pose.position.x;
    flat.y = goal.pose.position.y;
    flat.theta = geometry::yawOf(goal);
    if (!collision_check_->isCollisionFreePose(flat, false, footprint)) {
      continue;
    }
    const double d = base_robot_.calDistance(robot, goal);
    if (have_robot && !state.finished && precise_goal_reach_fuzzy_distance_ >= d) {
      LOG_INFO("[NavLocalPlanning::pathFuzzyPoint] set control finished to true with extra goals");
      state.finished = true;
      best_distance = d;
    }
    if (d <= best_distance) {
      best = i;
      best_distance = d;
    }
  }
  if (best == extra_goals_.size()) {
    LOG_INFO("[NavLocalPlanning::pathFuzzyPoint] failed to reset goal for recommand position");
    return;
  }
  LOG_INFO("[NavLocalPlanning::pathFuzzyPoint] get dream recommend point and iter = {}", best);
  path.poses.push_back(extra_goals_[best]);
}

geometry_msgs::msg::Twist NavLocalPlanning::setSpeedLimit(Path& path) {
  geometry_msgs::msg::Twist limit;
  const auto& poses = path.nav_path.poses;
  if (poses.empty()) {
    return limit;
  }
  double linear = kNoValue;
  double angular = kNoValue;
  double min_distance = kNoValue;
  const auto grid = local_gridmap_->getMultiGridMap();
  const auto* costmap = grid ? grid->getCostmap() : nullptr;
  for (const auto& pose : poses) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (costmap != nullptr &&
        costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
      min_distance = std::min(min_distance, grid->getDistance(mx, my));
    }
  }
  if (poses.size() <= kNearGoalPoses) {
    linear = near_goal_max_vel_x_;
    angular = near_goal_max_vel_theta_;
  } else {
    double length = 0.0;
    for (std::size_t i = 1; i < poses.size(); ++i) {
      length += base_robot_.calDistance(poses[i - 1], poses[i]);
    }
    if (near_goal_distance_threshold_ > length) {
      linear = std::min(linear, near_goal_max_vel_x_);
      angular = std::min(angular, near_goal_max_vel_theta_);
    }
    const double half_width = getFootprintMaxY(local_gridmap_.get());
    const double rate = min_distance / (2.0 * half_width);
    trace("[LocalAstar] setSpeedLimit rate is {}", rate);
    if (2.0 * half_width > min_distance) {
      linear = std::min(linear, rate * near_obstacle_max_vel_x_);
      angular = std::min(angular, near_obstacle_angular_cap_);
    }
  }
  limit.linear.x = linear;
  limit.linear.y = linear;
  limit.angular.z = angular;
  return limit;
}

void NavLocalPlanning::meanSmoothingWithPose(nav_msgs::msg::Path& path, int window,
                                             PoseStamped /*pose*/) const {
  const std::size_t n = path.poses.size();
  if (window < 1 || n <= static_cast<std::size_t>(window) + 5) {
    return;
  }
  const std::vector<PoseStamped> input = path.poses;
  const std::size_t half = (static_cast<std::size_t>(window) - 1) / 2;
  geometry::MapView local;
  geometry::MapView global;
  const bool has_local = geometry::viewOf(local_gridmap_.get(), local);
  const bool has_global = geometry::viewOf(global_gridmap_.get(), global);
  for (std::size_t i = 1; i + 1 < n; ++i) {
    PoseStamped mean;
    mean.pose.position = centredMean(input, i, std::min({half, i, n - 1 - i}));
    mean.pose.orientation = input[i].pose.orientation;
    const bool blocked = (has_local && onInscribedCost(local, mean)) ||
                         (has_global && onInscribedCost(global, mean));
    path.poses[i] = blocked ? input[i] : mean;
  }
  undoBackwardSteps(input, half, path.poses);
  path.poses.front().pose.orientation = path.poses[1].pose.orientation;
  path.poses.back().pose.orientation = path.poses[n - 2].pose.orientation;
}

}  // namespace planning
