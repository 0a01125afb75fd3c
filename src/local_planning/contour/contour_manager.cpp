// Construction of the contour manager and what its owner hands over.
#include "planning/local_planning/contour/contour_manager.hpp"

#include <limits>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "rclcpp/qos.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

using vantrell_nav2_gridmap::GridMapROS;

namespace {

std::shared_ptr<GridMapROS> required(std::shared_ptr<GridMapROS> map) {
  if (!map) {
    throw std::invalid_argument("ContourManager: all three grid maps are needed");
  }
  return map;
}

}  // namespace

ContourManager::ContourManager(std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node,
                               std::shared_ptr<GridMapROS> first_gridmap,
                               std::shared_ptr<GridMapROS> second_gridmap,
                               std::shared_ptr<GridMapROS> third_gridmap, double offset_distance)
    : zone_gridmap_(required(std::move(third_gridmap))),
      planning_gridmap_(required(std::move(first_gridmap))),
      local_gridmap_(required(std::move(second_gridmap))),
      location_coverter_(local_gridmap_, zone_gridmap_),
      node_(std::move(node)),
      offset_distance_(offset_distance) {
  const auto locked = node_.lock();
  if (!locked) {
    throw std::invalid_argument("ContourManager: the node no longer exists");
  }
  declareParameters(*locked);
  readParameters(locked);
  if (enable_trace_) {
    dilate_flag_trace_ = std::make_unique<vantrell_trace::TraceMat>(zone_gridmap_, "dilate_flag");
    coverage_dilate_trace_ =
        std::make_unique<vantrell_trace::TraceMat>(zone_gridmap_, "coverage_dilate_mat");
    coverage_edge_trace_ =
        std::make_unique<vantrell_trace::TraceMat>(zone_gridmap_, "coverage_edge_mat");
  }
  const double resolution = zoneResolution();
  minimum_cleaning_area_ /= resolution * resolution;
  logSettings();
  image_processing_ = std::make_shared<ImageProcessing>();
  // The manager owns the extraction, so the filter never outlives it.
  image_processing_->setCallBack(
      [this](std::vector<cv::Point>& contour, double area, ContourType type) {
        return invalidContour(contour, area, type);
      });
  costmap_image_convert_ =
      std::make_shared<CostmapImageConvert>(zone_gridmap_, local_gridmap_, node_);
  communicator_ = vantrell_communicator::CommunicatorEngine::GetInstance();
  morph_costmap_pub_ = makeActivePublisher(*locked, "coverage_morph_costmap_mat_pub");
  distance_map_pub_ = makeActivePublisher(*locked, "local_planning_distance_map_pub");
}

void ContourManager::declareParameters(rclcpp_lifecycle::LifecycleNode& node) {
  // Plain declarations: the manager claims these names before any other component.
  declareNodeParameter(node, "minimum_cleaning_area", rclcpp::ParameterValue(0.5));
  declareNodeParameter(node, "clean_cost", rclcpp::ParameterValue(253));
  declareNodeParameter(node, "inflation_cost", rclcpp::ParameterValue(235));
  declareNodeParameter(node, "use_obatacle_identify", rclcpp::ParameterValue(true));
  declareNodeParameter(node, "use_local_gridmap_ros_plan", rclcpp::ParameterValue(false));
  declareNodeParameter(node, "enable_trace", rclcpp::ParameterValue(false));
  declareNodeParameter(node, "save_contour_file", rclcpp::ParameterValue(false));
  declareNodeParameter(node, "dynamic_coverage_fuzzy_range_end", 0.0);
  declareNodeParameter(node, "dynamic_coverage_few_obstacle", false);
  declareNodeParameter(node, "path_constraint_reference_distance", 0.0);
  declareNodeParameter(node, "path_constraint_reference_range", 0.0);
  declareNodeParameter(node, "path_constraint_reference_path_cost", 0.0);
  declareNodeParameter(node, "distance_to_contour_threshold", 0.2);
  declareNodeParameter(node, "path_distance_to_contour_threshold", 2.0);
  declareNodeParameter(node, "complex_contour_area", 8.0);
  declareNodeParameter(node, "epsilon", 2.0);
  declareNodeParameter(node, "complex_density_width", 0.5);
  declareNodeParameter(node, "global_path_point_count", 1500);
  declareNodeParameter(node, "judge_surround_area", 0.0);
  declareNodeParameter(node, "judge_surround_area_offset", 0.0);
  declareNodeParameter(node, "try_count", 1);
  declareNodeParameter(node, "try_planner_points_count", 5);
  declareNodeParameter(node, "small_areas_threshold", 3.75);
  declareNodeParameter(node, "connectivity_threshold", 0.4);
  declareNodeParameter(node, "predicted_efficiency", 700.0);
  declareNodeParameter(node, "robot_surround_try_time", 0.0);
  declareNodeParameter(node, "concave_points_max_distance", 0.0);
}

void ContourManager::readParameters(
    const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& locked) {
  rclcpp_lifecycle::LifecycleNode& node = *locked;
  // Each read falls back on the member's current value when the name is missing.
  node.get_parameter("minimum_cleaning_area", minimum_cleaning_area_);
  node.get_parameter("use_obatacle_identify", use_obatacle_identify_);
  node.get_parameter("use_local_gridmap_ros_plan", use_local_gridmap_ros_plan_);
  node.get_parameter("enable_trace", enable_trace_);
  // A cost is a byte: a wider value must fail configure, not wrap into another cost.
  if (const auto clean_cost =
          getNarrowedParameter(node, "clean_cost", 0, std::numeric_limits<uint8_t>::max())) {
    clean_cost_ = static_cast<uint8_t>(*clean_cost);
  }
  node.get_parameter("save_contour_file", save_contour_file_);
  node.get_parameter("publish_morph_local_costmap_mat", publish_morph_local_costmap_mat_);
  node.get_parameter("dynamic_coverage_fuzzy_range_end", dynamic_coverage_fuzzy_range_end_);
  node.get_parameter("dynamic_coverage_few_obstacle", dynamic_coverage_few_obstacle_);
  node.get_parameter("path_constraint_reference_distance", path_constraint_reference_distance_);
  node.get_parameter("path_constraint_reference_range", path_constraint_reference_range_);
  node.get_parameter("path_constraint_reference_path_cost", path_constraint_reference_path_cost_);
  node.get_parameter("distance_to_contour_threshold", distance_to_contour_threshold_);
  node.get_parameter("path_distance_to_contour_threshold", path_distance_to_contour_threshold_);
  node.get_parameter("complex_contour_area", complex_contour_area_);
  node.get_parameter("epsilon", epsilon_);
  node.get_parameter("complex_density_width", complex_density_width_);
  // A contour path of no pose would end its region as cleaned while nothing was.
  global_path_point_count_ =
      getNarrowedParameter(node, "global_path_point_count", 1).value_or(global_path_point_count_);
  node.get_parameter("judge_surround_area", judge_surround_area_);
  node.get_parameter("judge_surround_area_offset", judge_surround_area_offset_);
  try_count_ = getNarrowedParameter(node, "try_count").value_or(try_count_);
  try_planner_points_count_ =
      getNarrowedParameter(node, "try_planner_points_count").value_or(try_planner_points_count_);
  // The approach search tries every (poses / count)-th pose: a count below 1 defines no step.
  if (try_planner_points_count_ < 1) {
    LOG_WARN("try_planner_points_count {} is below 1: 1 is used", try_planner_points_count_);
    try_planner_points_count_ = 1;
  }
  node.get_parameter("small_areas_threshold", small_areas_threshold_);
  node.get_parameter("connectivity_threshold", connectivity_threshold_);
  node.get_parameter("predicted_efficiency", predicted_efficiency_);
  node.get_parameter("robot_surround_try_time", robot_surround_try_time_);
  node.get_parameter("concave_points_max_distance", concave_points_max_distance_);
  dynamic_coverage_planner_wait_time_ =
      declareAndGetParameter(locked, "dynamic_coverage_planner_wait_time", 0);
}

void ContourManager::logSettings() const {
  LOG_INFO("minimum_cleaning_area_={}", minimum_cleaning_area_);
  LOG_INFO("clean_cost={}", static_cast<int>(clean_cost_));
  LOG_INFO("dynamic_coverage_fuzzy_range_end_={}", dynamic_coverage_fuzzy_range_end_);
  LOG_INFO("dynamic_coverage_few_obstacle_={}", dynamic_coverage_few_obstacle_);
  LOG_INFO("try_planner_points_count_={}", try_planner_points_count_);
}

std::shared_ptr<ContourManager::OccupancyGridPublisher> ContourManager::makeActivePublisher(
    rclcpp_lifecycle::LifecycleNode& node, const std::string& topic) const {
  auto publisher = node.create_publisher<nav_msgs::msg::OccupancyGrid>(topic, rclcpp::QoS(1));
  // Active at once: the images are published whatever the node's lifecycle state.
  publisher->on_activate();
  return publisher;
}

double ContourManager::zoneResolution() const {
  return zone_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
}

void ContourManager::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  local_planner_ = std::move(planner);
}

void ContourManager::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  global_planner_ = std::move(planner);
}

void ContourManager::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = trace_logger;
  costmap_image_convert_->setTraceLogger(std::move(trace_logger));
}

void ContourManager::setRobotCell(unsigned int mx, unsigned int my) {
  robot_cell_ = cv::Point(static_cast<int>(mx), static_cast<int>(my));
}

void ContourManager::setCoverageStart(const geometry_msgs::msg::PoseStamped& pose) {
  coverage_started_ = true;
  coverage_start_pose_ = pose;
}

}  // namespace planning
