#include "planning/nav_global_planning.hpp"

#include <cstring>
#include <utility>

#include "logger/logger.hpp"
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

NavGlobalPlanning::AstarOptions NavGlobalPlanning::makeSearchOptions(double goal_tolerance) const {
  AstarOptions options;
  // The engine reads the record byte for byte: every byte not set below must be zero.
  std::memset(static_cast<void*>(&options), 0, sizeof(options));
  options.byte_0 = true;
  options.byte_2 = true;
  options.fuzzy_range = fuzzy_range_;
  options.goal_fuzzy_range = goal_tolerance;
  options.tolerance = 0.3;
  options.int_60 = 400;
  return options;
}

bool NavGlobalPlanning::searchSucceeded(bool found,
                                        const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  return found && !paths.paths.empty();
}

}  // namespace planning
