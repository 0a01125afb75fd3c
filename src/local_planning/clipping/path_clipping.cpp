#include "planning/local_planning/path_clipping.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "planning/codes.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

namespace {

// The declared default of "costmap_value", used when the value read has no integer part.
constexpr uint8_t kDefaultCostLimit = 50;

// Gaps of a detour from the robot before it joins the path: closer poses are dropped, longer
// gaps split.
constexpr double kDetourMinGap = 0.05;
constexpr double kDetourMaxGap = 0.1;
// How close the follower must come to the end of a detour.
constexpr double kClippingPathTolerance = 0.3;

}  // namespace

PathClippingBase::PathClippingBase(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   std::shared_ptr<GridMapROS> global_map,
                                   std::shared_ptr<GridMapROS> local_map)
    : local_gridmap_ros_(std::move(local_map)),
      global_gridmap_ros_(std::move(global_map)),
      node_(node) {
  setParameters();
}

void PathClippingBase::setParameters() {
  const auto node = node_.lock();
  if (!node) {
    LOG_WARN("PathClippingBase::setParameters has no node, the default parameters hold");
    return;
  }
  // Each current value is the default, so the defaults are written once, at the members.
  goal_inflation_radius_ =
      declareAndGetParameter(node, "goal_inflation_radius", goal_inflation_radius_);
  costmap_value_ = declareAndGetParameter(node, "costmap_value", costmap_value_);
  max_goal_dis_ = declareAndGetParameter(node, "max_goal_dis", max_goal_dis_);
  make_plan_from_current_pose_ =
      declareAndGetParameter(node, "make_plan_from_current_pose", make_plan_from_current_pose_);
  jump_point_dis_ = declareAndGetParameter(node, "jump_point_dis", jump_point_dis_);
  const int tolerance = tolerance_zero_index_count_;
  tolerance_zero_index_count_ =
      declareAndGetParameter(node, "tolerance_zero_index_count", tolerance);
}

bool PathClippingBase::generatePath(int /*obstacle_index*/, const int& /*zero_index_count*/,
                                    bool /*plan_from_current*/, unsigned& /*local_fail_count*/,
                                    unsigned& /*global_try_count*/, PoseStamped& /*robot_pose*/,
                                    Path& /*local_path*/, Path& /*out_path*/) {
  return true;
}

void PathClippingBase::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  local_planner_ = std::move(planner);
}

void PathClippingBase::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  global_planner_ = std::move(planner);
}

void PathClippingBase::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = std::move(trace_logger);
}

void PathClippingBase::setCallback(std::function<void(bool)> callback) {
  make_plan_callback_ = std::move(callback);
}

void PathClippingBase::astarPlanFromCurrent(const PoseStamped& start, AstarOptions options,
                                            Path& local_path, Path& out_path, int index) {
  auto& poses = local_path.nav_path.poses;
  if (index < 0 || static_cast<size_t>(index) >= poses.size()) {
    LOG_ERROR("PathClippingBase::astarPlanFromCurrent goal index {} is not on a path of {} poses",
              index, poses.size());
    out_path.nav_path.poses.clear();
  } else {
    search(local_planner_, start, poses[static_cast<size_t>(index)], options, out_path);
  }
  if (out_path.nav_path.poses.empty()) {
    notifyOwner(false);
    LOG_ERROR("local planner failed, error code is {}", codes::kLocalPlanFailed);
    return;
  }
  notifyOwner(true);
  std::vector<PoseStamped> joined;
  if (!path_product_.fillPath(out_path.nav_path.poses, kDetourMinGap, kDetourMaxGap, joined)) {
    // A one-pose detour cannot be densified; it still leads the path.
    joined = out_path.nav_path.poses;
  }
  joined.insert(joined.end(), poses.begin() + index + 1, poses.end());
  base_robot_.convertToPath(joined, local_path.nav_path);
}

uint8_t PathClippingBase::costLimit() const {
  if (!std::isfinite(costmap_value_)) {
    LOG_WARN("PathClippingBase::costLimit costmap_value {} is not a number, {} used",
             costmap_value_, kDefaultCostLimit);
    return kDefaultCostLimit;
  }
  // The low 8 bits of the integer part; fmod keeps them for any finite value, where a cast of a
  // large double to an integer would be undefined.
  double low = std::fmod(std::trunc(costmap_value_), 256.0);
  if (low < 0.0) {
    low += 256.0;
  }
  return static_cast<uint8_t>(low);
}

PathClippingBase::AstarOptions PathClippingBase::clippingOptions(bool cost_aware,
                                                                 double end_tolerance) {
  SearchFields fields;
  fields.cost_aware = cost_aware;
  fields.start_tolerance = end_tolerance;
  fields.goal_tolerance = end_tolerance;
  fields.path_tolerance = kClippingPathTolerance;
  return searchOptions(fields);
}

bool PathClippingBase::search(const std::shared_ptr<AstarPlanner>& engine, const PoseStamped& start,
                              const PoseStamped& goal, const AstarOptions& options, Path& out) {
  out.nav_path.poses.clear();
  if (!engine) {
    LOG_ERROR("PathClippingBase::search has no grid-search engine");
    return false;
  }
  return engine->searchPath(start, goal, options, out);
}

bool PathClippingBase::inLocalCostmap(const PoseStamped& pose) const {
  if (!local_gridmap_ros_ || !local_gridmap_ros_->getMultiGridMap()) {
    return false;
  }
  const auto* costmap = local_gridmap_ros_->getMultiGridMap()->getCostmap();
  unsigned int mx = 0;
  unsigned int my = 0;
  return costmap != nullptr &&
         costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my);
}

void PathClippingBase::notifyOwner(bool made_path) const {
  if (make_plan_callback_) {
    make_plan_callback_(made_path);
  }
}

}  // namespace planning
