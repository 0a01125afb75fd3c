#include "planning/nav_global_planning.hpp"

#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

namespace {

// What the node declares for "safe_cost" and "fuzzy_range"; used only when the node is gone.
constexpr int kDefaultSafeCost = 0;
constexpr double kDefaultFuzzyRange = 1.0;

}  // namespace

NavGlobalPlanning::NavGlobalPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                     std::shared_ptr<GridMapROS> global_map,
                                     std::shared_ptr<GridMapROS> local_map)
    : global_gridmap_ros_(std::move(global_map)),
      local_gridmap_ros_(std::move(local_map)),
      node_(node) {
  const auto locked = node_.lock();
  if (!locked) {
    // A planner outliving its node can still plan; it just cannot read the node's values.
    safe_cost_ = kDefaultSafeCost;
    fuzzy_range_ = kDefaultFuzzyRange;
    LOG_WARN("global planner built without a node, safe_cost {} and fuzzy_range {} assumed",
             safe_cost_, fuzzy_range_);
    return;
  }
  safe_cost_ = narrowIntegerParameter("safe_cost", locked->get_parameter("safe_cost").as_int());
  fuzzy_range_ = locked->get_parameter("fuzzy_range").as_double();
}

void NavGlobalPlanning::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  global_planner_ = std::move(planner);
}

void NavGlobalPlanning::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  local_planner_ = std::move(planner);
}

void NavGlobalPlanning::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = std::move(trace_logger);
}

void NavGlobalPlanning::updateGoal(std::shared_ptr<const GlobalPlanningGoal> goal) {
  if (!goal) {
    LOG_WARN("global planner received no goal data");
    return;
  }
  goal_mode_ = goal->goal_mode;
  goal_poses_ = goal->goal_poses;
  action_id_ = goal->action_id;
  covered_points_ = goal->covered_points_frm_taskcenter;
  LOG_INFO(
      "global planner received goal data, goal pose size {}, and goal zone points size:{}, "
      "goal_mode: {}, action id: {}, covered_points_frm_taskcenter size:{}",
      goal_poses_.size(), goal->goal_zone.size(), goal_mode_, action_id_, covered_points_.size());
}

bool NavGlobalPlanning::connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& /*start*/,
                                             const geometry_msgs::msg::PoseStamped& /*goal*/,
                                             geometry_msgs::msg::PoseStamped& /*result*/,
                                             const geometry_msgs::msg::Polygon& /*search_area*/,
                                             const geometry_msgs::msg::Polygon& /*target_area*/) {
  return false;
}

void NavGlobalPlanning::setGoalFlags(GoalFlags flags) { goal_flags_ = flags; }

void NavGlobalPlanning::convertToPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                      nav_msgs::msg::Path& path) const {
  path.poses.clear();
  path.poses.reserve(poses.size());
  for (const auto& pose : poses) {
    path.poses.push_back(pose);
  }
}

bool NavGlobalPlanning::getRobotPose(geometry_msgs::msg::PoseStamped& pose) const {
  pose = geometry_msgs::msg::PoseStamped();
  if (!global_gridmap_ros_) {
    return false;
  }
  const auto costmap_ros = global_gridmap_ros_->getCostmapROS();
  if (!costmap_ros) {
    return false;
  }
  return costmap_ros->getRobotPose(pose);
}

bool NavGlobalPlanning::hasGoalAndEngines(const char* planner,
                                          const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                                          Engines engines) const {
  if (goals.empty()) {
    LOG_WARN_FROM("makePlan", "{} received no goal pose", planner);
    return false;
  }
  if (!global_planner_ || (engines == Engines::kLocalAndGlobal && !local_planner_)) {
    LOG_WARN_FROM("makePlan", "{} lacks its grid search", planner);
    return false;
  }
  return true;
}

bool NavGlobalPlanning::searchFailed() {
  LOG_ERROR_FROM("makePlan", "global planner failed, error code is {}", codes::kGlobalPlanFailed);
  error_code_ = codes::kGlobalPlanFailed;
  return false;
}

bool NavGlobalPlanning::searchSucceeded(bool found,
                                        const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  return found && !paths.paths.empty();
}

}  // namespace planning
