// The local planner base: construction, the setters of the node, the goal copy and the cached
// global path set.
#include "planning/local_planning/nav_local_planning.hpp"

#include <cstddef>
#include <limits>
#include <utility>

#include "logger/logger.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

namespace {

// A front path whose end the robot is this close to is reached...
constexpr double kReachedEndDistance = 0.2;
// ...provided no more than this length of it is left ahead of the robot.
constexpr double kReachedRemainingLength = 0.4;
// Pieces of this kind and above are edge paths of the static coverage planner: the planner
// itself decides when one is done.
constexpr int32_t kFirstUndroppablePathType = 3;

}  // namespace

NavLocalPlanning::NavLocalPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   std::shared_ptr<GridMapROS> global_map,
                                   std::shared_ptr<GridMapROS> local_map,
                                   std::shared_ptr<GridMapROS> third_map)
    : local_gridmap_(std::move(local_map)),
      global_gridmap_(std::move(global_map)),
      third_gridmap_(std::move(third_map)),
      path_product_(std::make_shared<PathProduct>()),
      node_(node),
      global_paths_(std::make_shared<MultiPaths>()),
      communicator_(vantrell_communicator::CommunicatorEngine::GetInstance()) {
  readParameters();
  collision_check_ = std::make_shared<Collision::CollisionCheck>(local_gridmap_);
  LOG_INFO(" task_finish_path_len_ is :{}", task_finish_path_len_);
  LOG_INFO(" water_uptake_forward_dis_ is :{}", water_uptake_forward_dis_);
  LOG_INFO(" water_uptake_backward_dis_ is :{}", water_uptake_backward_dis_);
  LOG_INFO(" cur_uptake_pos_offest_ is :{}", cur_uptake_pos_offest_);
  LOG_INFO(" temp_forward_dis_ is :{}", temp_forward_dis_);
  LOG_INFO(" costmap_erode_radius_ is :{}", costmap_erode_radius_);
  LOG_INFO(" repeat_move_dis_ is :{}", repeat_move_dis_);
  LOG_INFO(" min_repeat_move_dis_ is :{}", min_repeat_move_dis_);
  LOG_INFO(" visualize_debug_ is :{}", visualize_debug_);
}

void NavLocalPlanning::readParameters() {
  const auto node = node_.lock();
  if (!node) {
    LOG_WARN("NavLocalPlanning: the node is gone, the planner keeps its parameter defaults");
  }
  // Declared only when missing: several planners share these names, and the first declaration's
  // default (or a value given from outside) holds.
  const auto real = [&node](const char* name, double fallback) {
    return node ? declareAndGetParameter(node, name, fallback) : fallback;
  };
  task_finish_path_len_ = real("task_finish_path_len", 8.0);
  water_uptake_forward_dis_ = real("water_uptake_forward_dis", 0.5);
  water_uptake_backward_dis_ = real("water_uptake_backward_dis", 1.2);
  cur_uptake_pos_offest_ = real("cur_uptake_pos_offest", -0.5);
  temp_forward_dis_ = real("temp_forward_dis", 0.5);
  costmap_erode_radius_ = real("costmap_erode_radius", 1.8);
  repeat_move_dis_ = real("repeat_move_dis", 5.0);
  min_repeat_move_dis_ = real("min_repeat_move_dis", 5.0);
  visualize_debug_ = node ? declareAndGetParameter(node, "visualize_debug", false) : false;
  follow_goal_yaw_path_threshold_ = real("follow_goal_yaw_path_threshold", 0.0);
  near_obstacle_max_vel_x_ = real("near_obstacle_max_vel_x", 0.3);
  // The angular cap near obstacles has no parameter of its own: it reads the linear one.
  near_obstacle_angular_cap_ = real("near_obstacle_max_vel_x", 0.3);
  near_goal_distance_threshold_ = real("near_goal_distance_threshold", 0.5);
  near_goal_max_vel_x_ = real("near_goal_max_vel_x", 0.3);
  near_goal_max_vel_theta_ = real("near_goal_max_vel_theta", 0.3);
  precise_goal_reach_fuzzy_distance_ = real("precise_goal_reach_fuzzy_distance", 0.05);
}

void NavLocalPlanning::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  local_planner_ = std::move(planner);
}

void NavLocalPlanning::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  global_planner_ = std::move(planner);
}

void NavLocalPlanning::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = std::move(trace_logger);
}

void NavLocalPlanning::setGoalFlags(GoalFlags flags) { goal_flags_ = flags; }

void NavLocalPlanning::setGoalPose(const PoseStamped& pose, double fuzzy_distance) {
  goal_pose_ = pose;
  fuzzy_distance_ = fuzzy_distance;
}

void NavLocalPlanning::updateGoal(std::shared_ptr<const LocalPlanningGoal> goal) {
  if (!goal) {
    LOG_WARN("NavLocalPlanning::updateGoal no goal given");
    return;
  }
  const std::vector<geometry_msgs::msg::Polygon> zones = goal->zone_polygons;
  action_id_ = goal->action_id;
  covered_points_frm_taskcenter_ = goal->covered_points_frm_taskcenter;
  extra_goals_ = goal->extra_goals;
  trace(
      "NavLocalPlanning::updateGoal goal modee {}, actionID:{}, covered_points_frm_taskcenter "
      "size:{}",
      goal->goal_mode, action_id_, covered_points_frm_taskcenter_.size());
  LOG_INFO("NavLocalPlanning::updateGoal get new uuid: {}, old uuid: {}", goal->global_path_uuid,
           global_path_uuid_);
  if (goal->global_path_uuid != global_path_uuid_) {
    // The planner's own reset: its state belongs to the old path set.
    reset();
    trace("received new uuid ;cached global_path_uuid is {};received global_path_uuid  is {}",
          global_path_uuid_, goal->global_path_uuid);
    global_path_uuid_ = goal->global_path_uuid;
    *global_paths_ = goal->global_paths;
    zone_polygons_ = zones;
    new_request_ = true;
  }
  // A set that arrived empty is taken from the next goal that brings paths, whatever its uuid.
  if (global_paths_->paths.empty()) {
    *global_paths_ = goal->global_paths;
    zone_polygons_ = zones;
  }
  if (zone_polygons_.empty()) {
    zone_polygons_ = zones;
  }
  trace("cached gloab_paths size is {}", global_paths_->paths.size());
}

void NavLocalPlanning::reset() {}

std::vector<geometry_msgs::msg::Polygon> NavLocalPlanning::getResiduesZones() { return {}; }

double NavLocalPlanning::getCleanedArea() { return 0.0; }

void NavLocalPlanning::updatePathWithMovementConstraint(Path& /*path*/) {}

bool NavLocalPlanning::needSetEndYaw() { return true; }

bool NavLocalPlanning::getLocalRobotPose(PoseStamped& pose) const {
  if (!local_gridmap_ || !local_gridmap_->getCostmapROS()) {
    return false;
  }
  return local_gridmap_->getCostmapROS()->getRobotPose(pose);
}

int NavLocalPlanning::getNextGlobalPath(Path& out) {
  auto& paths = global_paths_->paths;
  if (paths.empty()) {
    return kNoGlobalPathLeft;
  }
  if (paths.size() == 1) {
    out = paths.front();
    return 1;
  }
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    LOG_WARN("NavLocalPlanning::getNextGlobalPath can not get the robot pose");
    return kGlobalPathUnavailable;
  }
  if (frontPathReached(paths.front(), robot)) {
    paths.erase(paths.begin());
  }
  out = paths.front();
  return static_cast<int>(paths.size());
}

bool NavLocalPlanning::frontPathReached(const Path& front, const PoseStamped& robot) const {
  const auto& poses = front.nav_path.poses;
  if (poses.empty()) {
    return true;
  }
  // Written so that a distance that is not a number never drops a path.
  if (front.path_type >= kFirstUndroppablePathType ||
      !(base_robot_.calDistance(robot, poses.back()) < kReachedEndDistance)) {
    return false;
  }
  if (poses.size() == 1) {
    return true;
  }
  // What is left runs from the pose nearest the robot (the first of equals) to the end.
  std::size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::max();
  for (std::size_t i = 0; i < poses.size(); ++i) {
    const double d = base_robot_.calDistance(robot, poses[i]);
    if (d < nearest_distance) {
      nearest_distance = d;
      nearest = i;
    }
  }
  double remaining = 0.0;
  for (std::size_t i = nearest + 1; i < poses.size(); ++i) {
    remaining += base_robot_.calDistance(poses[i - 1], poses[i]);
  }
  return remaining <= kReachedRemainingLength;
}

int NavLocalPlanning::getNextGlobalPathAndPreSetLocalPath(Path& global_piece, Path& local_path) {
  const int count = getNextGlobalPath(global_piece);
  local_path.tolerance = global_piece.tolerance;
  return count;
}

void NavLocalPlanning::updateGlobalPaths(const MultiPaths& set) { *global_paths_ = set; }

void NavLocalPlanning::updateCurrentGlobalPath(const Path& piece) {
  if (global_paths_->paths.empty()) {
    LOG_WARN("NavLocalPlanning::updateCurrentGlobalPath no cached path to update");
    return;
  }
  global_paths_->paths.front() = piece;
}

std::string NavLocalPlanning::getGlobalPathUuid() const { return global_paths_->uuid; }

}  // namespace planning
