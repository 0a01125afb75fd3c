// The road of one "local_wap_points" planning cycle, on the local planning action's worker
// thread: construction, the collaborators, the cycle itself, covered points and smoothing.
#include "planning/local_planning/local_way_points.hpp"

#include <utility>

#include "logger/logger.hpp"
#include "planning/local_planning/avoid_obstacle_planning.hpp"
#include "planning/local_planning/follow_path_planning.hpp"
#include "planning/local_planning/sharp_angle_planning.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"
#include "vantrell_protocol/msg/covered_points.hpp"

namespace planning {

LocalWayPoints::LocalWayPoints(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                               std::shared_ptr<GridMapROS> global_map,
                               std::shared_ptr<GridMapROS> local_map,
                               std::shared_ptr<GridMapROS> third_map)
    : NavLocalPlanning(node, std::move(global_map), std::move(local_map), std::move(third_map)) {
  readParameters();
  simple_smoother_ = std::make_shared<nav2_smoother::SavitzkyGolaySmoother>();
  // Held for the configuration, which throws when the node is gone.
  if (const auto owner = node_.lock()) {
    simple_smoother_->configure(node_, "simple_smoother", nullptr, nullptr, nullptr);
  }
  buildStrategies();
  path_smoother_ = std::make_shared<PathSmoother>(node_, local_gridmap_);
}

void LocalWayPoints::readParameters() {
  // The local node declares these before any planner exists; a planner built elsewhere (the
  // dynamic coverage planner's, a test's) declares what is missing. Without a node the
  // defaults at the members hold; the base has warned.
  const auto node = node_.lock();
  if (!node) {
    return;
  }
  start_front_dis_ = declareAndGetParameter(node, "start_front_dis", start_front_dis_);
  end_back_dis_ = declareAndGetParameter(node, "end_back_dis", end_back_dis_);
  robot_forward_dis_ = declareAndGetParameter(node, "robot_forward_dis", robot_forward_dis_);
  cut_path_forward_dis_ =
      declareAndGetParameter(node, "cut_path_forward_dis", cut_path_forward_dis_);
  cut_path_tolerance_max_dis_ =
      declareAndGetParameter(node, "cut_path_tolerance_max_dis", cut_path_tolerance_max_dis_);
  path_to_dwb_dis_ = declareAndGetParameter(node, "path_to_dwb_dis", path_to_dwb_dis_);
  min_dis_cur_to_last_ = declareAndGetParameter(node, "min_dis_cur_to_last", min_dis_cur_to_last_);
  min_dis_path_to_dwb_ = declareAndGetParameter(node, "min_dis_path_to_dwb", min_dis_path_to_dwb_);
  const int tolerance = tolerance_zero_index_count_;
  tolerance_zero_index_count_ =
      declareAndGetParameter(node, "tolerance_zero_index_count", tolerance);
}

void LocalWayPoints::buildStrategies() {
  clipping_strategies_[local_keys::kAvoidObstacle] =
      std::make_shared<AvoidObataclePlanning>(node_, global_gridmap_, local_gridmap_);
  clipping_strategies_[local_keys::kFollowPath] =
      std::make_shared<FollowPathPlanning>(node_, global_gridmap_, local_gridmap_);
  clipping_strategies_[local_keys::kSharpAngle] =
      std::make_shared<SharpAnglePlanning>(node_, global_gridmap_, local_gridmap_);
  // The strategies live inside this planner, so the callback never outlives it.
  for (auto& entry : clipping_strategies_) {
    entry.second->setCallback([this](bool made_path) { setMakePlanFlag(made_path); });
  }
}

void LocalWayPoints::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  for (auto& entry : clipping_strategies_) {
    entry.second->setLocalPlanner(planner);
  }
}

void LocalWayPoints::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  for (auto& entry : clipping_strategies_) {
    entry.second->setGlobalPlanner(planner);
  }
}

void LocalWayPoints::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  for (auto& entry : clipping_strategies_) {
    entry.second->setTraceLogger(trace_logger);
  }
  trace_logger_ = std::move(trace_logger);
}

void LocalWayPoints::setMakePlanFlag(bool made_path) {
  make_plan_flag_ = made_path;
  if (made_path) {
    local_fail_count_ = 0;
    global_try_count_ = 0;
  }
}

void LocalWayPoints::reset() {
  make_plan_flag_ = false;
  local_fail_count_ = 0;
  global_try_count_ = 0;
  zero_index_count_ = 0;
  robot_track_points_.clear();
  covered_points_to_publish_.clear();
}

bool LocalWayPoints::makePlan(Path& path, ControlState& state, bool& need_replan) {
  Path local_path;
  const int cached = getNextGlobalPathAndPreSetLocalPath(local_path, path);
  if (cached == kGlobalPathUnavailable) {
    return false;
  }
  if (cached == kNoGlobalPathLeft) {
    state.finished = true;
    return true;
  }
  if (local_path.nav_path.poses.empty()) {
    // A lone piece is never dropped from the cache: it stays empty until a new path set comes.
    LOG_ERROR("LocalWayPoints::makePlan the current global path has no poses, replan needed");
    need_replan = true;
    return false;
  }
  PoseStamped robot;
  if (!global_gridmap_ || !global_gridmap_->getCostmapROS() ||
      !global_gridmap_->getCostmapROS()->getRobotPose(robot)) {
    LOG_ERROR("LocalWayPoints::makePlan can not get the robot pose");
    return false;
  }
  bool far_from_path = false;
  bool sharp_angle = false;
  cutPath(local_path, robot, far_from_path, sharp_angle);
  int obstacle_index = -1;
  double obstacle_distance = 0.0;
  const bool blocked = path_product_->startLocalPlan(
      local_path.nav_path, local_gridmap_, robot_forward_dis_, obstacle_index, obstacle_distance);
  const char* cut_type = chooseStrategy(blocked && obstacle_index >= 0, sharp_angle);
  trace("cut_type is {}", cut_type);
  // The working path still holds the previous goal's stretch, and the strategies judge their
  // success by the emptiness of what they write.
  path.nav_path.poses.clear();
  clipping_strategies_.at(cut_type)->generatePath(obstacle_index, zero_index_count_, far_from_path,
                                                  local_fail_count_, global_try_count_, robot,
                                                  local_path, path);
  cutPathToDwb(local_path, path, robot);
  state.finished = path.nav_path.poses.size() <= kFinishedPoseCount ||
                   local_path.nav_path.poses.size() <= kFinishedPoseCount;
  updateCurrentGlobalPath(local_path);
  publishCoveredPoints(robot);
  return true;
}

const char* LocalWayPoints::chooseStrategy(bool obstacle_ahead, bool sharp_angle) {
  if (obstacle_ahead) {
    return local_keys::kAvoidObstacle;
  }
  return sharp_angle ? local_keys::kSharpAngle : local_keys::kFollowPath;
}

void LocalWayPoints::publishCoveredPoints(const PoseStamped& robot) {
  if (action_id_ != last_covered_action_id_) {
    robot_track_points_.clear();
    covered_points_to_publish_.clear();
  }
  geometry_msgs::msg::Point32 position;
  position.x = static_cast<float>(robot.pose.position.x);
  position.y = static_cast<float>(robot.pose.position.y);
  position.z = 0.0F;
  robot_track_points_.push_back(position);
  covered_points_to_publish_ = covered_points_frm_taskcenter_;
  covered_points_to_publish_.insert(covered_points_to_publish_.end(), robot_track_points_.begin(),
                                    robot_track_points_.end());
  if (covered_points_to_publish_.size() > kMinPublishedCoveredPoints) {
    vantrell_protocol::msg::CoveredPoints message;
    message.action_id = action_id_;
    message.covered_points = covered_points_to_publish_;
    communicator_->getPlanningUnit()->publishCoveredPoints(message);
  }
  last_covered_action_id_ = action_id_;
}

bool LocalWayPoints::pathSmooter(nav_msgs::msg::Path& path) {
  PoseStamped robot;
  // A robot pose the costmap does not know leaves the origin: the smoother then only loses
  // its start prediction.
  if (local_gridmap_->getCostmapROS()) {
    local_gridmap_->getCostmapROS()->getRobotPose(robot);
  }
  const geometry_msgs::msg::Twist twist = communicator_->getOdomUnit()->getOdom().twist;
  // Kept 0.5 m off obstacles, neither bent nor straightened, pulled lightly towards where the
  // robot is heading: only the first 0.3 m, resampled every 0.05 m, so the controller's stretch
  // joins the robot's motion.
  path_smoother_->config(0.5, 0.5, 0.0, 0.0, 0.005, 0.3, 0.05);
  path_smoother_->setOriginalPath(path);
  path_smoother_->setCurrentData(robot, twist);
  path_smoother_->smoothPath();
  return path_smoother_->getSmoothedNavPath(path);
}

}  // namespace planning
