// The static coverage planner: construction and parameters, the node's setters, the goal
// intake that starts a task, the zone records and the robot pose.
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

#include <fmt/format.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "nav2_util/node_utils.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

namespace {

// The smoother's settings until the first smoothing configures it from the parameters.
constexpr std::array<float, 7> kInitialSmootherSettings{0.3F, 0.1F, 0.0F, 0.05F, 0.0F, 3.0F, 0.03F};

// Rows closer than a cell never end; rows farther apart than this are no rows of a floor, and
// each row's crossings are sought over as many lines as the rows are cells apart, so that one
// zone would take minutes.
constexpr double kLeastLineSpacingCells = 0.5;
constexpr double kMostLineSpacingCells = 1000.0;

// The row spacing "distance_btw_lines" comes to in cells of the zone map; one the rows cannot
// be made with fails the configure.
void requireLineSpacing(double distance, double resolution) {
  const double cells = distance / resolution;
  if (cells >= kLeastLineSpacingCells && cells <= kMostLineSpacingCells) {
    return;
  }
  const std::string text = fmt::format(
      "parameter \"distance_btw_lines\" is {} m, {} cells of {} m; rows need {} to {} cells",
      distance, cells, resolution, kLeastLineSpacingCells, kMostLineSpacingCells);
  LOG_ERROR("StaticCoveragePlanning: {}", text);
  throw rclcpp::exceptions::InvalidParameterValueException(text);
}

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> lockNode(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  auto locked = node.lock();
  if (!locked) {
    throw std::invalid_argument("StaticCoveragePlanning: the node no longer exists");
  }
  return locked;
}

}  // namespace

StaticCoveragePlanning::StaticCoveragePlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node, std::shared_ptr<GridMapROS> first,
    std::shared_ptr<GridMapROS> second, std::shared_ptr<GridMapROS> third)
    : NavLocalPlanning(node, std::move(first), std::move(second), std::move(third)) {
  if (!global_gridmap_ || !third_gridmap_) {
    throw std::invalid_argument("StaticCoveragePlanning: all three grid maps are needed");
  }
  const auto locked = lockNode(node_);
  declareParameters(*locked);
  readParameters(*locked);
  readSecondTable(locked);
  resolution_ = third_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  requireLineSpacing(distance_btw_lines_, resolution_);
  minimum_cleaning_area_ = minimum_cleaning_area_ / (resolution_ * resolution_);
  LOG_INFO("minimum_cleaning_area_={}", minimum_cleaning_area_);

  costmap_image_convert_ =
      std::make_shared<CostmapImageConvert>(third_gridmap_, local_gridmap_, node_);
  current_contours_ = std::make_shared<CellLists>();
  location_coverter_ = std::make_shared<vantrell_nav2_gridmap::GridmapLocationCoverter>(
      local_gridmap_, third_gridmap_);
  image_processing_ = std::make_shared<ImageProcessing>();
  image_processing_->setCallBack([this](Cells& points, double area, ContourType type) {
    return invalidContour(points, area, type);
  });
  path_smoother_ = std::make_shared<PathSmoother>(node_, local_gridmap_);
  const auto& s = kInitialSmootherSettings;
  path_smoother_->config(s[0], s[1], s[2], s[3], s[4], s[5], s[6]);
  smoothing_ = std::make_shared<CoverageSmoothing>(
      local_gridmap_, path_product_,
      CoverageSmoothing::Settings{"StaticCoveragePlanning", resolution_,
                                  inside_corner_detection_distance_threshold_,
                                  robot_half_width_offset_, max_straighten_distance_});
  makeCoveredPointsClient(*locked);

  footprint_max_y_ = getFootprintMaxY(local_gridmap_.get());
  footprint_max_x_ = getFootprintMaxX(local_gridmap_.get());
  footprint_radius_ =
      std::sqrt(footprint_max_x_ * footprint_max_x_ + footprint_max_y_ * footprint_max_y_);
}

void StaticCoveragePlanning::declareParameters(rclcpp_lifecycle::LifecycleNode& node) {
  using V = rclcpp::ParameterValue;
  // Declared only where missing: the node and the dynamic coverage planner declare some of
  // these names first, and their defaults hold. The five repeated names have no effect.
  const std::vector<std::pair<const char*, V>> table{
      {"clean_cost", V(253)},
      {"inflation_cost", V(235)},
      {"use_local_gridmap_ros_plan", V(false)},
      {"enable_trace", V(false)},
      {"save_contour_file", V(false)},
      {"dynamic_coverage_fuzzy_range_end", V(0.0)},
      {"path_constraint_reference_distance", V(0.0)},
      {"path_constraint_reference_range", V(0.0)},
      {"path_constraint_reference_path_cost", V(0.0)},
      {"distance_to_contour_threshold", V(0.2)},
      {"path_distance_to_contour_threshold", V(2.0)},
      {"epsilon", V(2.0)},
      {"global_path_point_count", V(1500)},
      {"judge_surround_area", V(0.0)},
      {"judge_surround_area_offset", V(0.0)},
      {"try_count", V(1)},
      {"try_planner_points_count", V(5)},
      {"small_areas_threshold", V(3.75)},
      {"connectivity_threshold", V(0.4)},
      {"morph_open_element_size", V(0.25)},
      {"planning_morph_open_element_size", V(0.25)},
      {"morph_open_iterations", V(1)},
      {"safe_distance", V(0.3)},
      {"planning_safe_distance", V(0.3)},
      {"publish_morph_local_costmap_mat", V(true)},
      {"safe_distance_offset", V(0.0)},
      {"static_coverage_safe_distance", V(0.23)},
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
      {"complex_contour_area", V(8.0)},
      {"complex_density_width", V(0.5)},
      {"minimum_cleaning_area", V(0.5)},
      {"distance_to_border", V(1.5)},
      {"path_overlap_width", V(11)},
      {"distance_btw_lines", V(0.35)},
      {"smooth_window_size", V(0.0)},
      {"fuzzy_dist_avoid_obstacle", V(0.35)},
      {"stop_obstacle_distance", V(0.28)},
      {"dynamic_obstacle_checkout_range", V(0.4)},
      {"stop_dynamic_obstacle", V(false)},
      {"coverage_threshold_offset", V(0.03)},
      {"minimum_cleaning_area", V(0.0125)},
      {"max_dis_threshold", V(0.6)},
      {"local_path_offset", V(0.01)},
      {"max_straighten_distance", V(3.0)},
      {"robot_half_width_offset", V(0.3)},
      {"wait_dyn_obstacle_time", V(3.0)},
      {"cut_sharp_angle_threshold", V(1.570796)},
      {"cut_sharp_forward_dis", V(0.4)},
      {"stop_obstacle_trigger_interval_time", V(10.0)},
      {"skip_smoother", V(false)},
  };
  for (const auto& [name, value] : table) {
    nav2_util::declare_parameter_if_not_declared(&node, name, value);
  }
}

void StaticCoveragePlanning::readParameters(rclcpp_lifecycle::LifecycleNode& node) {
  // A name nobody declared keeps its member's start value.
  node.get_parameter("complex_contour_area", complex_contour_area_);
  node.get_parameter("complex_density_width", complex_density_width_);
  node.get_parameter("minimum_cleaning_area", minimum_cleaning_area_);
  node.get_parameter("dynamic_coverage_fuzzy_range_end", dynamic_coverage_fuzzy_range_end_);
  node.get_parameter("plnning_offset_distance", plnning_offset_distance_);
  node.get_parameter("publish_morph_local_costmap_mat", publish_morph_local_costmap_mat_);
  node.get_parameter("distance_to_border", distance_to_border_);
  path_overlap_width_ =
      getNarrowedParameter(node, "path_overlap_width").value_or(path_overlap_width_);
  node.get_parameter("distance_btw_lines", distance_btw_lines_);
  node.get_parameter("smooth_window_size", smooth_window_size_);
  node.get_parameter("inside_corner_detection_distance", inside_corner_detection_distance_);
  node.get_parameter("path_sample_distance", path_sample_distance_);
  node.get_parameter("safe_distance", safe_distance_);
  node.get_parameter("fuzzy_dist_avoid_obstacle", fuzzy_dist_avoid_obstacle_);
  node.get_parameter("inside_corner_detection_distance_threshold",
                     inside_corner_detection_distance_threshold_);
  node.get_parameter("coverage_threshold_offset", coverage_threshold_offset_);
  node.get_parameter("stop_obstacle_distance", stop_obstacle_distance_);
  node.get_parameter("stop_dynamic_obstacle", stop_dynamic_obstacle_);
  node.get_parameter("dynamic_obstacle_checkout_range", dynamic_obstacle_checkout_range_);
  node.get_parameter("max_dis_threshold", max_dis_threshold_);
  node.get_parameter("local_path_offset", local_path_offset_);
  node.get_parameter("max_straighten_distance", max_straighten_distance_);
  node.get_parameter("robot_half_width_offset", robot_half_width_offset_);
  node.get_parameter("wait_dyn_obstacle_time", wait_dyn_obstacle_time_);
  node.get_parameter("stop_obstacle_trigger_interval_time", stop_obstacle_trigger_interval_time_);
  node.get_parameter("skip_smoother", skip_smoother_);
  node.get_parameter("cut_sharp_angle_threshold", cut_sharp_angle_threshold_);
  node.get_parameter("cut_sharp_forward_dis", cut_sharp_forward_dis_);
}

void StaticCoveragePlanning::readSecondTable(
    const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  jump_index_ = declareAndGetParameter(node, "jump_index", 20);
  margin_dis_ = declareAndGetParameter(node, "margin_dis", 0.3);
  cut_path_ = declareAndGetParameter(node, "cut_path", false);
  free_obstacle_dis_ = declareAndGetParameter(node, "free_obstacle_dis", 0.6);
  foot_print_obstacle_dis_tolerance_ =
      declareAndGetParameter(node, "foot_print_obstacle_dis_tolerance", 0.3);
  mid_obstacle_dis_tolerance_ = declareAndGetParameter(node, "mid_obstacle_dis_tolerance", 0.1);
  path_judge_margin_ = declareAndGetParameter(node, "path_judge_margin", 0.2);
  judge_path_length_ = declareAndGetParameter(node, "judge_path_length", 1.0);
  dif_angle_tolerance_ = declareAndGetParameter(node, "dif_angle_tolerance", 1.5708);
  // In the order PathSmoother::config takes them, not the order they are declared in.
  gradient_smoother_[1] = declareAndGetParameter(node, "gradient_smoother_w_obs", 0.5);
  gradient_smoother_[0] = declareAndGetParameter(node, "gradient_smoother_obs_dis", 0.3);
  gradient_smoother_[2] = declareAndGetParameter(node, "gradient_smoother_w_cur", 0.0);
  gradient_smoother_[3] = declareAndGetParameter(node, "gradient_smoother_w_smooth", 0.0);
  gradient_smoother_[4] = declareAndGetParameter(node, "gradient_smoother_w_path_predict", 0.005);
  gradient_smoother_[5] =
      declareAndGetParameter(node, "gradient_smoother_cut_path_max_length", 0.3);
  gradient_smoother_[6] =
      declareAndGetParameter(node, "gradient_smoother_resample_path_precision", 0.05);
  cut_path_angle_tolerance_ = declareAndGetParameter(node, "cut_path_angle_tolerance_", 0.78);
}

void StaticCoveragePlanning::makeCoveredPointsClient(rclcpp_lifecycle::LifecycleNode& node) {
  // A group of its own, on the node's executor: the response arrives there while the planning
  // thread waits for it.
  covered_points_group_ =
      node.create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  covered_points_client_ = node.create_client<GetCoveredPoints>(
      "/get_coverage_point", rmw_qos_profile_services_default, covered_points_group_);
}

void StaticCoveragePlanning::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  NavLocalPlanning::setLocalPlanner(std::move(planner));
}

void StaticCoveragePlanning::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  NavLocalPlanning::setGlobalPlanner(std::move(planner));
}

void StaticCoveragePlanning::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  NavLocalPlanning::setTraceLogger(trace_logger);
  costmap_image_convert_->setTraceLogger(trace_logger);
  smoothing_->setTraceLogger(std::move(trace_logger));
}

double StaticCoveragePlanning::getCleanedArea() { return cleaned_area_; }

void StaticCoveragePlanning::updateGoal(std::shared_ptr<const LocalPlanningGoal> goal) {
  if (!goal) {
    LOG_WARN("StaticCoveragePlanning::updateGoal no goal given");
    return;
  }
  if (!goal->global_paths.paths.empty()) {
    goal_global_paths_ = goal->global_paths;
    updateGlobalPaths(goal_global_paths_);
  }
  action_id_ = goal->action_id;
  covered_points_frm_taskcenter_ = goal->covered_points_frm_taskcenter;
  if (goal->global_path_uuid == global_path_uuid_) {
    return;
  }
  const auto planning_unit = communicator_->getPlanningUnit();
  for (const auto& polygon : goal->zone_polygons) {
    planning_unit->publishContour(polygon);
  }
  is_task_finished_ = false;
  task_start_time_ = now();
  const auto costmap_ros = third_gridmap_->getCostmapROS();
  costmap_ros->resetLayers();
  costmap_ros->updateMap();
  resetContour();
  reset();
  goal_coverage_width_ = goal->coverage_width;
  const double resolution = third_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  coverage_line_spacing_ = static_cast<int>(std::lround(distance_btw_lines_ / resolution));
  LOG_INFO("[StaticCoveragePlanning] updateGoal coverage_width is {}", coverage_line_spacing_);
  global_path_uuid_ = goal->global_path_uuid;
  takeZones(goal->zone_polygons);
  setContour(current_contours_);
  zone_polygons_ = goal->zone_polygons;
}

void StaticCoveragePlanning::takeZones(const std::vector<geometry_msgs::msg::Polygon>& polygons) {
  coverage::ZoneCellPolygons taken = coverage::zoneCellPolygons(
      polygons, *third_gridmap_->getMultiGridMap()->getCostmap(), "StaticCoveragePlanning");
  need_clean_area_ = taken.area;
  *current_contours_ = std::move(taken.zones);
  LOG_INFO("current_contours_ size is {}", current_contours_->size());
  LOG_INFO("current_contours_points_msg is {}", taken.cells_text);
}

void StaticCoveragePlanning::reset() {
  global_paths_->uuid.clear();
  global_paths_->paths.clear();
  cleaned_area_ = 0.0;
  clean_coverage_triggered_ = false;
  is_stopping_ = false;
  // Long enough ago that the first stop of the task is never held back by the interval.
  const TimePoint long_ago = now() - std::chrono::seconds(60000);
  stop_end_time_ = long_ago;
  stop_start_time_ = long_ago;
}

void StaticCoveragePlanning::setContour(std::shared_ptr<CellLists>& zones) {
  zone_infos_.clear();
  current_zone_index_ = -1;
  if (!zones) {
    return;
  }
  for (const auto& polygon : *zones) {
    zone_infos_.push_back(makeCleanZoneInfo(polygon));
  }
}

void StaticCoveragePlanning::resetContour() {
  current_zone_index_ = -1;
  std::vector<CleanZoneInfo>().swap(zone_infos_);
}

bool StaticCoveragePlanning::invalidContour(Cells& points, double area, ContourType type) {
  if (!points.empty()) {
    const cv::Rect image(0, 0, valid_mat_.cols, valid_mat_.rows);
    bool touches_valid = false;
    for (const auto& point : points) {
      if (image.contains(point) && valid_mat_.at<uint8_t>(point.y, point.x) != 0) {
        touches_valid = true;
        break;
      }
    }
    if (!touches_valid) {
      return true;
    }
  }
  if (type != ContourType::ZONE) {
    return false;
  }
  return area < minimum_cleaning_area_;
}

void StaticCoveragePlanning::setGlobalPathsTolerance(Path& path, const Path& global) {
  if (!path.nav_path.poses.empty()) {
    const auto grid = third_gridmap_->getMultiGridMap();
    const auto& position = path.nav_path.poses.back().pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (grid->getCostmap()->worldToMap(position.x, position.y, mx, my) &&
        grid->getDistance(mx, my) >= footprint_max_x_) {
      path.tolerance = 0.2F;
      return;
    }
  }
  const int32_t kind = global.path_type;
  if (kind == kRowApproach || kind == kFirstEdgeApproach) {
    path.tolerance = 0.2F;
  } else if (kind > kRowFollow) {
    path.tolerance = 0.3F;
  } else {
    path.tolerance = static_cast<float>(footprint_radius_);
  }
}

void StaticCoveragePlanning::preloadNextGlobalPath(Path& path) {
  auto& cached = global_paths_->paths;
  // A short edge path runs on into the next edge path without a stop between them.
  constexpr std::size_t kShortEdgePath = 29;
  if (path.path_type == kEdgeFollow && path.nav_path.poses.size() <= kShortEdgePath &&
      cached.size() >= 2 && cached[1].path_type > kRowFollow) {
    const auto& next = cached[1].nav_path.poses;
    path.nav_path.poses.insert(path.nav_path.poses.end(), next.begin(), next.end());
    cached.erase(cached.begin() + 1);
    updateGlobalPaths(*global_paths_);
  }
  if (path.nav_path.poses.empty()) {
    getNextGlobalPath(path);
  }
  updateCurrentGlobalPath(path);
}

bool StaticCoveragePlanning::updateRobotPose() {
  const auto costmap_ros = global_gridmap_->getCostmapROS();
  PoseStamped pose;
  if (!costmap_ros->getRobotPose(pose)) {
    LOG_ERROR("[ContourManager]updateRobotPose , getRobotPose is failed");
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!costmap_ros->getCostmap()->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
    LOG_ERROR("[ContourManager]updateRobotPose , worldToMap is failed");
    return false;
  }
  robot_pose_ = pose;
  robot_pose_valid_ = true;
  global_x_ = mx;
  global_y_ = my;
  if (bbox_origin_x_ > global_x_ || bbox_origin_y_ > global_y_) {
    LOG_ERROR(
        "[ContourManager]updateRobotPose bbox_origin_x_={},global_x_={}, "
        "bbox_origin_y_={},global_y_={}",
        bbox_origin_x_, global_x_, bbox_origin_y_, global_y_);
  }
  updateWindowCell();
  return true;
}

void StaticCoveragePlanning::updateWindowCell() {
  robot_window_cell_ =
      cv::Point(static_cast<int>(static_cast<int64_t>(global_x_) - bbox_origin_x_),
                static_cast<int>(static_cast<int64_t>(global_y_) - bbox_origin_y_));
}

}  // namespace planning
