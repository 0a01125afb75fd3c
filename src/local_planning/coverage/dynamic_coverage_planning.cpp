// The dynamic coverage planner: construction and parameters, the covered-points thread, the
// node's setters, the goal intake that starts a task, and reset.
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"

#include <opencv2/imgproc.hpp>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "rclcpp/qos.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

namespace {

// How long the destructor waits for the executor thread between two cancels: a cancel that comes
// before the thread has entered spin is lost, and spin would then run on.
constexpr std::chrono::milliseconds kCancelRetry{10};

// An integer parameter kept in an int: a value an int cannot hold fails configure rather than
// wrapping into another count. A name nobody declared keeps the member's value.
void readNarrowed(rclcpp_lifecycle::LifecycleNode& node, const char* name, int& member) {
  if (const auto value = getNarrowedParameter(node, name)) {
    member = *value;
  }
}

}  // namespace

DynamicCoveragePlanning::DynamicCoveragePlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node, std::shared_ptr<GridMapROS> first,
    std::shared_ptr<GridMapROS> second, std::shared_ptr<GridMapROS> third)
    : NavLocalPlanning(node, std::move(first), std::move(second), std::move(third)) {
  if (!global_gridmap_ || !third_gridmap_) {
    throw std::invalid_argument("DynamicCoveragePlanning: all three grid maps are needed");
  }
  const auto locked = node_.lock();
  if (!locked) {
    throw std::invalid_argument("DynamicCoveragePlanning: the node no longer exists");
  }
  constrained_smoother_ = std::make_shared<vantrell_nav2_planner::VantrellConstrainedSmoother>();
  constrained_smoother_->configure(node_, "dynamic_coverage_planning_smoother");
  sg_smoother_ = std::make_shared<nav2_smoother::SavitzkyGolaySmoother>();
  sg_smoother_->configure(node_, "simple_smoother", nullptr, nullptr, nullptr);
  local_way_points_ =
      std::make_shared<LocalWayPoints>(node_, global_gridmap_, local_gridmap_, third_gridmap_);
  path_smoother_ = std::make_shared<PathSmoother>(node_, local_gridmap_);
  contour_path_ = std::make_shared<MultiPaths>();
  declareOwnParameters(*locked);
  readNodeParameters(*locked);
  readOwnParameters(*locked);
  logOwnParameters();
  if (!(morph_open_element_size_ > 0.0)) {
    LOG_WARN("morph_open_element_size {} makes no kernel: the opening uses one cell",
             morph_open_element_size_);
  }
  // The contour paths keep this offset from their region's outline in cells of the zone map.
  checkLengthParameter("plnning_offset_distance", plnning_offset_distance_,
                       third_gridmap_->getMultiGridMap()->getCostmap()->getResolution());
  // Declares its names plainly too: it must come before any other component declares them.
  contour_manager_ = std::make_shared<ContourManager>(node_, global_gridmap_, local_gridmap_,
                                                      third_gridmap_, plnning_offset_distance_);
  current_contours_ = std::make_shared<CellLists>();
  sharp_angle_planning_ =
      std::make_shared<SharpAnglePlanning>(node_, global_gridmap_, local_gridmap_);
  // The strategy lives inside this planner, so the callback never outlives it.
  sharp_angle_planning_->setCallback([this](bool made_path) { setMakePlanFlag(made_path); });
  makeCoveredPointsClient(*locked);
  // The executor thread runs from here on: whatever fails later must not leave it running.
  try {
    buildCollaborators(locked);
  } catch (...) {
    stopClientExecutor();
    throw;
  }
}

DynamicCoveragePlanning::~DynamicCoveragePlanning() { stopClientExecutor(); }

void DynamicCoveragePlanning::declareOwnParameters(rclcpp_lifecycle::LifecycleNode& node) {
  using V = rclcpp::ParameterValue;
  // Plain declarations: this planner claims these names before every other component.
  const std::vector<std::pair<const char*, V>> table{
      {"morph_open_element_size", V(0.25)},
      {"planning_morph_open_element_size", V(0.25)},
      {"morph_open_iterations", V(1)},
      {"safe_distance", V(0.3)},
      {"planning_safe_distance", V(0.3)},
      {"publish_morph_local_costmap_mat", V(false)},
      {"safe_distance_offset", V(0.0)},
      {"dynamic_coverage_local_path_distance", V(2.0)},
      {"use_dynamic_coverage_planning_smoother", V(false)},
      {"proportion_cleaned_area_threshold", V(0.5)},
      {"save_path", V(false)},
      {"inside_corner_detection_distance", V(0.8)},
      {"inside_corner_detection_theta_threshold", V(0.8)},
      {"inside_corner_detection_distance_threshold", V(0.15)},
      {"max_coverage_width", V(0.7)},
      {"obstacle_recording_packet_interval_time", V(0)},
      {"max_dis_threshold", V(0.6)},
      {"global_path_offset", V(0.03)},
      {"local_path_offset", V(0.01)},
      {"robot_half_width_offset", V(0.3)},
      {"path_sample_distance", V(0.02)},
      {"max_straighten_distance", V(3.0)},
  };
  for (const auto& [name, value] : table) {
    declareNodeParameter(node, name, value);
  }
}

void DynamicCoveragePlanning::readNodeParameters(rclcpp_lifecycle::LifecycleNode& node) {
  // Declared by the local planning node. A name nobody declared keeps its member's value; one
  // declared with another type throws, also for the names this planner does not use.
  double unused_double = 0.0;
  bool unused_bool = false;
  for (const char* name : {"start_front_dis", "end_back_dis", "robot_forward_dis"}) {
    node.get_parameter(name, unused_double);
  }
  node.get_parameter("cut_path_forward_dis", cut_path_forward_dis_);
  node.get_parameter("cut_path_tolerance_max_dis", cut_path_tolerance_max_dis_);
  for (const char* name : {"linear_forward_dis", "max_goal_dis", "costmap_value",
                           "goal_inflation_radius", "path_to_dwb_dis", "min_dis_cur_to_last",
                           "min_dis_path_to_dwb", "tolerance_point_to_last_point"}) {
    node.get_parameter(name, unused_double);
  }
  node.get_parameter("make_plan_from_current_pose", unused_bool);
  node.get_parameter("radio_cur_last_to_path_dis", unused_double);
  readNarrowed(node, "tolerance_zero_index_count", tolerance_zero_index_count_);
  node.get_parameter("jump_point_dis", unused_double);
  node.get_parameter("enable_contour_dilation", enable_contour_dilation_);
  readNarrowed(node, "max_obstacle_checkout_count", max_obstacle_checkout_count_);
  node.get_parameter("dynamic_obstacle_checkout_range", dynamic_obstacle_checkout_range_);
  node.get_parameter("avoid_obstacle_distance", unused_double);
  node.get_parameter("stop_obstacle_distance", stop_obstacle_distance_);
  node.get_parameter("stop_dynamic_obstacle", stop_dynamic_obstacle_);
  node.get_parameter("smooth_window_size", smooth_window_size_);
  node.get_parameter("plnning_offset_distance", plnning_offset_distance_);
}

void DynamicCoveragePlanning::readOwnParameters(rclcpp_lifecycle::LifecycleNode& node) {
  node.get_parameter("publish_morph_local_costmap_mat", publish_morph_local_costmap_mat_);
  node.get_parameter("morph_open_element_size", morph_open_element_size_);
  readNarrowed(node, "morph_open_iterations", morph_open_iterations_);
  node.get_parameter("safe_distance", safe_distance_);
  node.get_parameter("dynamic_coverage_local_path_distance", dynamic_coverage_local_path_distance_);
  node.get_parameter("use_dynamic_coverage_planning_smoother",
                     use_dynamic_coverage_planning_smoother_);
  node.get_parameter("proportion_cleaned_area_threshold", proportion_cleaned_area_threshold_);
  node.get_parameter("save_path", save_path_);
  node.get_parameter("inside_corner_detection_distance", inside_corner_detection_distance_);
  node.get_parameter("inside_corner_detection_theta_threshold",
                     inside_corner_detection_theta_threshold_);
  node.get_parameter("inside_corner_detection_distance_threshold",
                     inside_corner_detection_distance_threshold_);
  node.get_parameter("max_coverage_width", max_coverage_width_);
  readNarrowed(node, "obstacle_recording_packet_interval_time",
               obstacle_recording_packet_interval_time_);
  node.get_parameter("max_dis_threshold", max_dis_threshold_);
  node.get_parameter("global_path_offset", global_path_offset_);
  node.get_parameter("local_path_offset", local_path_offset_);
  node.get_parameter("robot_half_width_offset", robot_half_width_offset_);
  node.get_parameter("path_sample_distance", path_sample_distance_);
  node.get_parameter("max_straighten_distance", max_straighten_distance_);
}

void DynamicCoveragePlanning::logOwnParameters() const {
  LOG_INFO("max_dis_threshold={}", max_dis_threshold_);
  LOG_INFO("global_path_offset={}", global_path_offset_);
  LOG_INFO("local_path_offset={}", local_path_offset_);
  LOG_INFO("robot_half_width_offset={}", robot_half_width_offset_);
  LOG_INFO("path_sample_distance={}", path_sample_distance_);
  LOG_INFO("max_straighten_distance={}", max_straighten_distance_);
  LOG_INFO("inside_corner_detection_distance={}", inside_corner_detection_distance_);
  LOG_INFO("inside_corner_detection_theta_threshold={}", inside_corner_detection_theta_threshold_);
  LOG_INFO("inside_corner_detection_distance_threshold={}",
           inside_corner_detection_distance_threshold_);
  LOG_INFO("morph_open_element_size={}", morph_open_element_size_);
  LOG_INFO("morph_open_iterations={}", morph_open_iterations_);
  LOG_INFO("obstacle_recording_packet_interval_time={}", obstacle_recording_packet_interval_time_);
}

void DynamicCoveragePlanning::makeCoveredPointsClient(rclcpp_lifecycle::LifecycleNode& node) {
  // Not added to the node's executors: only the private executor below may serve the group, and
  // an executor that took it first would make adding it there throw.
  callback_group_ = node.create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  coverage_client_ = node.create_client<GetCoveredPoints>(
      "/get_coverage_point", rmw_qos_profile_services_default, callback_group_);
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_callback_group(callback_group_, node.get_node_base_interface(), true);
  std::promise<void> done;
  executor_done_ = done.get_future();
  executor_thread_ = std::make_unique<std::thread>([this, done = std::move(done)]() mutable {
    spinClientExecutor();
    done.set_value();
  });
}

void DynamicCoveragePlanning::spinClientExecutor() {
  // An exception leaving the thread would end the process.
  try {
    executor_->spin();
  } catch (const std::exception& error) {
    LOG_ERROR("DynamicCoveragePlanning::spinClientExecutor stopped: {}", error.what());
  }
}

void DynamicCoveragePlanning::stopClientExecutor() {
  if (!executor_thread_ || !executor_thread_->joinable()) {
    return;
  }
  do {
    executor_->cancel();
  } while (executor_done_.wait_for(kCancelRetry) != std::future_status::ready);
  executor_thread_->join();
}

void DynamicCoveragePlanning::buildCollaborators(
    const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  select_corner_error_ = declareAndGetParameter(node, "select_corner_error", 0.3);
  select_zelto_error_ = declareAndGetParameter(node, "select_zelto_error", 0.2);
  select_zelto_theta_ = declareAndGetParameter(node, "select_zelto_theta", 45.0);
  dis_zelto_to_corner_ = declareAndGetParameter(node, "dis_zelto_to_corner", 0.5);
  forward_offset_dis_ = declareAndGetParameter(node, "forward_offset_dis", 0.3);
  dis_zelto_to_obstacle_ = declareAndGetParameter(node, "dis_zelto_to_obstacle", 0.7);
  linear_need_dis_ = declareAndGetParameter(node, "linear_need_dis", 1.0);
  douglas_peuker_ = std::make_shared<DouglasPeuker>(select_corner_error_, select_zelto_error_,
                                                    select_zelto_theta_, dis_zelto_to_corner_,
                                                    linear_need_dis_, global_gridmap_);
  douglas_peuker_->reset();
  zelto_pose_.pose.position.x = 0.0;
  zelto_pose_.pose.position.y = 0.0;
  distance_map_pub_ = node->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "publish_dynamic_distance_map", rclcpp::QoS(1));
  // Active at once: the distance map is published whatever the node's lifecycle state.
  distance_map_pub_->on_activate();
  // The base's collision check is the one on the second grid map.
  spin_collision_ = std::make_shared<Collision::SpinCollision>(collision_check_);
  wait_start_time_ = now();
  wait_dyn_obstacle_time_ = declareAndGetParameter(node, "wait_dyn_obstacle_time", 5.0);
  stop_obstacle_trigger_interval_time_ =
      declareAndGetParameter(node, "stop_obstacle_trigger_interval_time", 10.0);
  dyn_static_obs_dis_diff_adjust_val_ =
      declareAndGetParameter(node, "dyn_static_obs_dis_diff_adjust_val", 0.3);
  coverage_resolution_ = third_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  LOG_INFO("coverage_resolution={}", coverage_resolution_);
  LOG_INFO("wait_dyn_obstacle_time_={}", wait_dyn_obstacle_time_);
  LOG_INFO("stop_obstacle_trigger_interval_time_={}", stop_obstacle_trigger_interval_time_);
  LOG_INFO("dyn_static_obs_dis_diff_adjust_val_={}", dyn_static_obs_dis_diff_adjust_val_);
  warn_obstacle_types_ = {{"obstacle_type_carpet", 32},
                          {"obstacle_type_escalator_entrance", 64},
                          {"obstacle_type_floor_lamp", 128},
                          {"obstacle_type_wheelchair", 256},
                          {"obstacle_type_hospital_bed", 512}};
  record_obstacle_types_ = {{"obstacle_type_carpet", 32}};
  smoothing_ = std::make_shared<CoverageSmoothing>(
      local_gridmap_, path_product_,
      CoverageSmoothing::Settings{"DynamicCoveragePlanning", coverage_resolution_,
                                  inside_corner_detection_distance_threshold_,
                                  robot_half_width_offset_, max_straighten_distance_});
}

void DynamicCoveragePlanning::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  NavLocalPlanning::setLocalPlanner(planner);
  contour_manager_->setLocalPlanner(planner);
  sharp_angle_planning_->setLocalPlanner(std::move(planner));
}

void DynamicCoveragePlanning::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  NavLocalPlanning::setGlobalPlanner(planner);
  contour_manager_->setGlobalPlanner(planner);
  sharp_angle_planning_->setGlobalPlanner(std::move(planner));
}

void DynamicCoveragePlanning::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  NavLocalPlanning::setTraceLogger(trace_logger);
  contour_manager_->setTraceLogger(trace_logger);
  smoothing_->setTraceLogger(trace_logger);
  sharp_angle_planning_->setTraceLogger(std::move(trace_logger));
}

void DynamicCoveragePlanning::setMakePlanFlag(bool /*made_path*/) {}

std::vector<geometry_msgs::msg::Polygon> DynamicCoveragePlanning::getResiduesZones() {
  return contour_manager_->getResiduesZones();
}

double DynamicCoveragePlanning::getCleanedArea() { return cleaned_area_; }

void DynamicCoveragePlanning::updateGoal(std::shared_ptr<const LocalPlanningGoal> goal) {
  if (!goal) {
    LOG_WARN("DynamicCoveragePlanning::updateGoal no goal given");
    return;
  }
  action_id_ = goal->action_id;
  covered_points_frm_taskcenter_ = goal->covered_points_frm_taskcenter;
  trace("---------------->DynamicCoveragePlanning::updateGoal, actionid:{}, covered points size:{}",
        action_id_, covered_points_frm_taskcenter_.size());
  coverage_resolution_ = third_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  if (goal->global_path_uuid == global_path_uuid_) {
    return;
  }
  need_clean_area_ = 0.0;
  const auto planning_unit = communicator_->getPlanningUnit();
  for (const auto& polygon : goal->zone_polygons) {
    planning_unit->publishContour(polygon);
  }
  task_start_time_ = now();
  const auto refresh_started = std::chrono::steady_clock::now();
  const auto costmap_ros = third_gridmap_->getCostmapROS();
  costmap_ros->resetLayers();
  costmap_ros->updateMap();
  trace("!!!!!!!!!!!!!!!!!!DynamicCoveragePlanning::updateMap:{}",
        static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - refresh_started)
                                 .count()));
  current_contours_->clear();
  contour_manager_->reset();
  reset();
  // What the cycle read of the task before must not end the new one.
  finished_ = false;
  path_overlap_distance_ = goal->path_overlap_distance;
  coverage_width_ = goal->coverage_width;
  LOG_INFO("[DynamicCoveragePlanning] updateGoal coverage_width is {}", coverage_width_);
  LOG_INFO("[DynamicCoveragePlanning] updateGoal path_overlap_distance_ is {}",
           path_overlap_distance_);
  trace("received new uuid ;cached global_path_uuid is {}; received global_path_uuid is {}",
        global_path_uuid_, goal->global_path_uuid);
  global_path_uuid_ = goal->global_path_uuid;
  const std::string cells_text = takeZones(goal->zone_polygons);
  contour_manager_->setContour(current_contours_);
  zone_polygons_ = goal->zone_polygons;
  LOG_INFO("current_contours_ zone polygons size is {}", zone_polygons_.size());
  LOG_INFO("current_contours_ size is {}", current_contours_->size());
  LOG_INFO("current_contours_points_msg is {}", cells_text);
}

std::string DynamicCoveragePlanning::takeZones(
    const std::vector<geometry_msgs::msg::Polygon>& polygons) {
  coverage::ZoneCellPolygons taken = coverage::zoneCellPolygons(
      polygons, *third_gridmap_->getMultiGridMap()->getCostmap(), "DynamicCoveragePlanning");
  need_clean_area_ += taken.area;
  for (auto& zone : taken.zones) {
    current_contours_->push_back(std::move(zone));
  }
  return taken.cells_text;
}

void DynamicCoveragePlanning::reset() {
  coverage_triggered_ = false;
  waiting_dynamic_obstacle_ = false;
  obstacle_check_count_ = 0;
  // Long enough ago that every interval test passes at once after a reset.
  const auto long_ago = std::chrono::seconds(60000);
  last_wait_end_time_ = now() - long_ago;
  wait_start_time_ = now() - long_ago;
  last_record_time_ = now() - long_ago;
  covered_points_.clear();
  global_paths_->uuid.clear();
  global_paths_->paths.clear();
  cleaned_area_ = 0.0;
}

}  // namespace planning
