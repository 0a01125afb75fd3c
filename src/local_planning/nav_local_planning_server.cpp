// The local planning node: construction, configuration and lifecycle.
#include "planning/local_planning/nav_local_planning_server.hpp"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"
#include "planning/local_planning/local_astar.hpp"
#include "planning/local_planning/local_astar_goal_zone.hpp"
#include "planning/local_planning/local_force_backward.hpp"
#include "planning/local_planning/local_force_enter_lift.hpp"
#include "planning/local_planning/local_way_points.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

namespace planning {

namespace {

constexpr std::chrono::milliseconds kServerTimeout{500};

}  // namespace

NavLocalPlanningServer::NavLocalPlanningServer(std::shared_ptr<GridMapROS> global_gridmap,
                                               std::shared_ptr<GridMapROS> local_gridmap,
                                               std::shared_ptr<GridMapROS> third_gridmap,
                                               const rclcpp::NodeOptions& options)
    : rclcpp_lifecycle::LifecycleNode("vantrell_nav2_local_planning", "", options, true),
      local_gridmap_(std::move(local_gridmap)),
      global_gridmap_(std::move(global_gridmap)),
      third_gridmap_(std::move(third_gridmap)) {
  if (!global_gridmap_ || !local_gridmap_ || !third_gridmap_) {
    throw std::invalid_argument(
        "vantrell_nav2_local_planning needs a global, a local and a third grid map");
  }
}

NavLocalPlanningServer::~NavLocalPlanningServer() {
  // A goal may still be running on the worker, and it ends through this member: the server is
  // stopped and its worker joined while the member still leads to it and everything the goal
  // uses is still there.
  if (action_server_) {
    action_server_->stop();
  }
}

// Nothing is built before the first group is declared: a second configure fails at its first
// name and leaves the node as the first configure made it. The action server comes last, once
// everything its goals use exists.
NavLocalPlanningServer::CallbackReturn NavLocalPlanningServer::on_configure(
    const rclcpp_lifecycle::State& /*state*/) {
  declareNodeParameters();
  readSpeedParameters();
  result_ = std::make_shared<LocalPlanning::Result>();
  buildPlanners();
  const rcl_action_server_options_t options = declareActionServerOptions();
  communicator_ = vantrell_communicator::CommunicatorEngine::GetInstance();
  trace_logger_ = std::make_shared<LogPublisher>(shared_from_this());
  injectPlannerCollaborators();
  path_judge_ = std::make_shared<PathJudge>(global_gridmap_, local_gridmap_, shared_from_this(),
                                            trace_logger_);
  speed_limit_value_ =
      std::make_shared<SpeedLimitValue>(path_judge_, trace_logger_, speed_limit_settings_);
  collision_check_ = std::make_shared<Collision::CollisionCheck>(local_gridmap_);
  spin_collision_ = std::make_shared<Collision::SpinCollision>(collision_check_);
  createActionServer(options);
  LOG_INFO("[NavLocalPlanningServer]big_curve_max_speed:{}",
           speed_limit_params_.big_curve_max_speed);
  LOG_INFO("[NavLocalPlanningServer]near_obstacle_max_speed:{}",
           speed_limit_params_.near_obstacle_max_speed);
  return CallbackReturn::SUCCESS;
}

NavLocalPlanningServer::CallbackReturn NavLocalPlanningServer::on_activate(
    const rclcpp_lifecycle::State& /*state*/) {
  action_server_->activate();
  return CallbackReturn::SUCCESS;
}

// The server stays on and nothing is released: the task manager keeps sending goals through
// lifecycle changes, and the node is torn down only as a whole.
NavLocalPlanningServer::CallbackReturn NavLocalPlanningServer::on_deactivate(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

NavLocalPlanningServer::CallbackReturn NavLocalPlanningServer::on_cleanup(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

NavLocalPlanningServer::CallbackReturn NavLocalPlanningServer::on_shutdown(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

// Plain declarations, before any planner exists: the waypoint planner, the path clipping and the
// coverage planners read these names without declaring them. Most are kept only for them.
void NavLocalPlanningServer::declareNodeParameters() {
  declareNodeParameter(*this, "start_front_dis", 0.4);
  declareNodeParameter(*this, "end_back_dis", 0.2);
  declareNodeParameter(*this, "robot_forward_dis", 1.2);
  declareNodeParameter(*this, "cut_path_forward_dis", 1.0);
  declareNodeParameter(*this, "cut_path_tolerance_max_dis", 0.4);
  declareNodeParameter(*this, "linear_forward_dis", 5.0);
  declareNodeParameter(*this, "max_goal_dis", 3.0);
  declareNodeParameter(*this, "costmap_value", 50.0);
  declareNodeParameter(*this, "goal_inflation_radius", 0.25);
  declareNodeParameter(*this, "path_to_dwb_dis", 3.0);
  declareNodeParameter(*this, "min_dis_cur_to_last", 0.6);
  declareNodeParameter(*this, "min_dis_path_to_dwb", 1.5);
  declareNodeParameter(*this, "tolerance_point_to_last_point", 0.05);
  declareNodeParameter(*this, "make_plan_from_current_pose", false);
  declareNodeParameter(*this, "radio_cur_last_to_path_dis", 1.0);
  declareNodeParameter(*this, "tolerance_zero_index_count", 2);
  declareNodeParameter(*this, "jump_point_dis", 0.7);
  declareNodeParameter(*this, "enable_contour_dilation", true);
  declareNodeParameter(*this, "stop_wait_time", 20.0);
  declareNodeParameter(*this, "max_wait_times", 10);
  // Read by nothing, yet an integer of the node like any other: one an int cannot hold is refused.
  getNarrowedParameter(*this, "max_wait_times");
  declareNodeParameter(*this, "max_obstacle_checkout_count", 2);
  declareNodeParameter(*this, "dynamic_obstacle_checkout_range", 0.3);
  declareNodeParameter(*this, "avoid_obstacle_distance", 1.0);
  declareNodeParameter(*this, "stop_obstacle_distance", 1.5);
  declareNodeParameter(*this, "stop_dynamic_obstacle", false);
  declareNodeParameter(*this, "smooth_window_size", 15.0);
  declareNodeParameter(*this, "rotation_direction_path_length", 0.5);
  declareNodeParameter(*this, "task_finish_path_len", 8.0);
  declareNodeParameter(*this, "plnning_offset_distance", 0.2);
  declareNodeParameter(*this, "backward_max_speed", 0.2);
  declareNodeParameter(*this, "lift_out_max_speed", 0.32);
  declareNodeParameter(*this, "distance_threshold", 0.4);

  distance_threshold_ = get_parameter("distance_threshold").as_double();
  rotation_direction_path_length_ = get_parameter("rotation_direction_path_length").as_double();
  speed_limit_settings_.backward_max_speed = get_parameter("backward_max_speed").as_double();
  speed_limit_settings_.lift_out_max_speed = get_parameter("lift_out_max_speed").as_double();
}

// Declared when missing, then read. The speed-limit thresholds go straight into the record the
// path judge is handed; the two planner caps are also kept as configured, for setParameter.
void NavLocalPlanningServer::readSpeedParameters() {
  const auto node = shared_from_this();
  auto& limits = speed_limit_params_;
  auto& settings = speed_limit_settings_;
  settings.in_narrow_passage_max_speed =
      declareAndGetParameter(node, "in_narrow_passage_max_speed", 0.1);
  limits.distance_from_path_to_obstacle =
      declareAndGetParameter(node, "distance_from_path_to_obstacle", 0.5);
  limits.distance_from_path_to_milk =
      declareAndGetParameter(node, "distance_from_path_to_milk", 0.3);
  limits.max_angle_tolerance = declareAndGetParameter(node, "max_angle_tolerance", 60.0);
  settings.need_milk_limit_time = declareAndGetParameter(node, "need_milk_limit_time", 5);
  limits.milk_need_dis = declareAndGetParameter(node, "milk_need_dis", 2.5);
  limits.point_nav_max_speed = declareAndGetParameter(node, "point_nav_max_speed", 1.0);
  limits.non_welt_clean_max_speed = declareAndGetParameter(node, "non_welt_clean_max_speed", 0.8);
  configured_point_nav_max_speed_ = limits.point_nav_max_speed;
  configured_non_welt_clean_max_speed_ = limits.non_welt_clean_max_speed;
  limits.welt_clean_max_speed = declareAndGetParameter(node, "welt_clean_max_speed", 0.5);
  limits.milk_clean_max_speed = declareAndGetParameter(node, "milk_clean_max_speed", 0.32);
  limits.near_obstacle_max_speed = declareAndGetParameter(node, "near_obstacle_max_speed", 0.4);
  limits.big_curve_max_speed = declareAndGetParameter(node, "big_curve_max_speed", 0.4);
  limits.curve_theta_tolerance_current_to_start =
      declareAndGetParameter(node, "curve_theta_tolerance_current_to_start", 25.0);
  limits.path_near_obstacle_cut_dis =
      declareAndGetParameter(node, "path_near_obstacle_cut_dis", 0.2);
  limits.big_turn_nead_curve = declareAndGetParameter(node, "big_turn_nead_curve", 135.0);
  settings.clean_mode_need_audio = declareAndGetParameter(node, "clean_mode_need_audio", false);
  settings.welt_mode_need_audio = declareAndGetParameter(node, "welt_mode_need_audio", false);
  settings.two_speaker_nead_time = declareAndGetParameter(node, "two_speaker_nead_time", 5);
  static_coverage_spin_theta_tolerance_ =
      declareAndGetParameter(node, "static_coverage_spin_theta_tolerance", 0.78);
  static_coverage_spin_theta_tolerance_backward_ =
      declareAndGetParameter(node, "static_coverage_spin_theta_tolerance_backward", 0.4);
  limits.people_source_timeout = declareAndGetParameter(node, "people_source_timeout", 1500);
  settings.is_use_trajectory_collision =
      declareAndGetParameter(node, "is_use_trajectory_collision", true);
  spin_judge_path_length_tolerance_ =
      declareAndGetParameter(node, "spin_judge_path_length_tolerance", 0.2);
}

// Each planner joins the table with one line, built from (this node, first, second, third grid
// map), in this order:
//   1 "dijkstra"                   addPlanner<LocalAstar>(local_keys::kDijkstra)
//   2 "lift_in"                    addPlanner<LocalForceEnterLift>(local_keys::kLiftIn)
//   3 "force_backward"             addPlanner<LocalForceBackward>(local_keys::kForceBackward)
//   4 "dijkstra_goalzone"          addPlanner<LocalAstarGoalZone>(local_keys::kDijkstraGoalZone)
//   5 "dynamic_coverage_planning" addPlanner<DynamicCoveragePlanning>(local_keys::kDynamicCoverage)
//   6 "local_wap_points"           addPlanner<LocalWayPoints>(local_keys::kLocalWayPoints)
//   7 "static_coverage_planning"   addPlanner<StaticCoveragePlanning>(local_keys::kStaticCoverage)
// The dynamic coverage planner's contour manager declares its names ("clean_cost",
// "inflation_cost", "save_contour_file", "epsilon", ...) with plain declarations, which fail on
// a name already declared: nothing before it may declare them, and the static coverage planner,
// which declares them only when missing, comes after it. The planners get their engines and the
// trace publisher only once all exist: their constructors must not need them.
void NavLocalPlanningServer::buildPlanners() {
  addPlanner<LocalAstar>(local_keys::kDijkstra);
  addPlanner<LocalForceEnterLift>(local_keys::kLiftIn);
  addPlanner<LocalForceBackward>(local_keys::kForceBackward);
  addPlanner<LocalAstarGoalZone>(local_keys::kDijkstraGoalZone);
  addPlanner<DynamicCoveragePlanning>(local_keys::kDynamicCoverage);
  addPlanner<LocalWayPoints>(local_keys::kLocalWayPoints);
  addPlanner<StaticCoveragePlanning>(local_keys::kStaticCoverage);
}

rcl_action_server_options_t NavLocalPlanningServer::declareActionServerOptions() {
  declareNodeParameter(*this, "result_service_qos_depth", 2);
  declareNodeParameter(*this, "result_timeout_seconds", 2);
  // Neither may be negative: a depth of -1 would become a huge size_t, a negative time-out none.
  result_service_qos_depth_ = narrowIntegerParameter(
      "result_service_qos_depth", get_parameter("result_service_qos_depth").as_int(), 0);
  result_timeout_seconds_ = narrowIntegerParameter(
      "result_timeout_seconds", get_parameter("result_timeout_seconds").as_int(), 0);

  rcl_action_server_options_t options = rcl_action_server_get_default_options();
  options.result_service_qos.depth = static_cast<size_t>(result_service_qos_depth_);
  options.result_timeout.nanoseconds =
      static_cast<rcl_duration_value_t>(static_cast<double>(result_timeout_seconds_) * 1e9);
  return options;
}

// Every planner shares the node's two engines and its trace publisher, handed over in key order.
void NavLocalPlanningServer::injectPlannerCollaborators() {
  using vantrell_nav2_planner::astar2::AstarPlanner;
  const auto global_engine = std::make_shared<AstarPlanner>("local_global", global_gridmap_);
  const auto local_engine = std::make_shared<AstarPlanner>("local", local_gridmap_);
  for (const auto& entry : planners_) {
    entry.second->setLocalPlanner(local_engine);
    entry.second->setGlobalPlanner(global_engine);
    entry.second->setTraceLogger(trace_logger_);
  }
}

void NavLocalPlanningServer::createActionServer(const rcl_action_server_options_t& options) {
  action_server_ = std::make_shared<nav2_util::VantrellSimpleActionServer<LocalPlanning>>(
      get_node_base_interface(), get_node_clock_interface(), get_node_logging_interface(),
      get_node_waitables_interface(), "local_planning", [this] { computePlan(); }, nullptr,
      kServerTimeout, false, options);
}

}  // namespace planning
