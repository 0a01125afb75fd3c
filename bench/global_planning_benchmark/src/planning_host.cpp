#include "global_planning_benchmark/planning_host.hpp"

#include <unistd.h>

#include <fstream>
#include <future>
#include <limits>
#include <stdexcept>
#include <utility>

#include "planning/geometry.hpp"
#include "planning/planner_keys.hpp"
#include "planning/search_options.hpp"

namespace global_planning_benchmark {

namespace {

using Clock = std::chrono::steady_clock;

// The planner whose road is measured.
constexpr const char* kPlannerKey = planning::global_keys::kDijkstra;

double millisecondsSince(Clock::time_point began) {
  return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

// The process's resident memory in MiB, NaN where the system does not say.
double residentMib() {
  std::ifstream statm("/proc/self/statm");
  double size_pages = 0.0;
  double resident_pages = 0.0;
  if (!(statm >> size_pages >> resident_pages)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return resident_pages * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::string outcomeOf(rclcpp_action::ResultCode code) {
  switch (code) {
    case rclcpp_action::ResultCode::SUCCEEDED:
      return "succeeded";
    case rclcpp_action::ResultCode::ABORTED:
      return "aborted";
    case rclcpp_action::ResultCode::CANCELED:
      return "canceled";
    default:
      return "unknown";
  }
}

}  // namespace

PlanningHost::RclcppSession::RclcppSession() {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
    started_ = true;
  }
}

PlanningHost::RclcppSession::~RclcppSession() {
  if (started_) {
    rclcpp::shutdown();
  }
}

PlanningHost::PlanningHost(const nav_msgs::msg::OccupancyGrid& map,
                           const vantrell_nav2_gridmap::GridMapParams& params)
    : maps_(planning_sim::makeGlobalNodeMaps(map, params)) {
  for (const auto& grid_map : maps_.list()) {
    grid_map->waitForCostmap();
  }
  node_ = std::make_shared<planning::NavGlobalPlanningServer>(maps_.global, maps_.local);
  task_manager_ = std::make_shared<rclcpp::Node>("global_planning_benchmark");
  localisation_ =
      std::make_unique<planning_sim::Localisation>(maps_.list(), "global_planning_benchmark_robot");
  client_ = rclcpp_action::create_client<GlobalPlanning>(task_manager_, "global_planning");
  host_.spin(node_);
  host_.spin(task_manager_);
  const auto activating = Clock::now();
  planning_sim::bringUp(*node_);
  activation_ms_ = millisecondsSince(activating);
  if (!client_->wait_for_action_server(kActionPatience)) {
    throw std::runtime_error("the \"global_planning\" action server did not appear");
  }
  engine_ = std::make_shared<vantrell_nav2_planner::astar2::AstarPlanner>("global", maps_.global);
  // Ready before the first pair, as the node's engine is once the node is active.
  const double resident_before = residentMib();
  const auto preparing = Clock::now();
  engine_->prepare();
  engine_prepare_ms_ = millisecondsSince(preparing);
  engine_prepare_mib_ = residentMib() - resident_before;
  options_ = dijkstraOptions();
}

// The host's executor stops first, then the client goes, then the node, which joins its workers.
PlanningHost::~PlanningHost() = default;

vantrell_nav2_planner::astar2::AstarOptions PlanningHost::dijkstraOptions() const {
  // The "dijkstra" planner's record for a goal that allows a fuzzy end.
  const double fuzzy_range = node_->get_parameter("fuzzy_range").as_double();
  return planning::globalSearchOptions(fuzzy_range, fuzzy_range);
}

std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> PlanningHost::layers() const {
  return maps_.global->getMultiGridMap()->getLayers();
}

bool PlanningHost::contains(int64_t x, int64_t y) const {
  const auto current = layers();
  return x >= 0 && y >= 0 && x < static_cast<int64_t>(current->size_x) &&
         y < static_cast<int64_t>(current->size_y);
}

geometry_msgs::msg::PoseStamped PlanningHost::cellPose(int64_t x, int64_t y) const {
  const auto current = layers();
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = maps_.global->getCostmapROS()->getGlobalFrameID();
  pose.pose.position.x = current->origin_x + (static_cast<double>(x) + 0.5) * current->resolution;
  pose.pose.position.y = current->origin_y + (static_cast<double>(y) + 0.5) * current->resolution;
  pose.pose.orientation.w = 1.0;
  return pose;
}

PlanningHost::EngineRun PlanningHost::planWithEngine(const CellPair& pair) {
  const auto start = cellPose(pair.sx, pair.sy);
  const auto goal = cellPose(pair.gx, pair.gy);
  EngineRun run;
  const auto began = Clock::now();
  const bool ok = engine_->searchPaths(start, goal, options_, run.paths);
  run.ms = millisecondsSince(began);
  run.found = ok && !run.paths.paths.empty();
  run.expanded_cells = engine_->lastSearchStatistics().expanded_cells;
  return run;
}

PlanningHost::ActionRun PlanningHost::planWithAction(const CellPair& pair, int32_t action_id) {
  placeRobot(cellPose(pair.sx, pair.sy));
  GlobalPlanning::Goal goal;
  goal.current_planning_id = kPlannerKey;
  goal.goal_poses.push_back(cellPose(pair.gx, pair.gy));
  goal.action_id = action_id;

  using GoalHandle = rclcpp_action::ClientGoalHandle<GlobalPlanning>;
  auto answer = std::make_shared<std::promise<GoalHandle::WrappedResult>>();
  const auto answered = answer->get_future().share();
  rclcpp_action::Client<GlobalPlanning>::SendGoalOptions send_options;
  send_options.result_callback = [answer](const GoalHandle::WrappedResult& wrapped) {
    answer->set_value(wrapped);
  };

  ActionRun run;
  const auto began = Clock::now();
  const auto accepted = client_->async_send_goal(goal, send_options);
  if (accepted.wait_for(kActionPatience) != std::future_status::ready) {
    run.outcome = "timeout";
    run.ms = millisecondsSince(began);
    return run;
  }
  if (!accepted.get()) {
    run.outcome = "rejected";
    run.ms = millisecondsSince(began);
    return run;
  }
  if (answered.wait_for(kActionPatience) != std::future_status::ready) {
    run.outcome = "timeout";
    run.ms = millisecondsSince(began);
    return run;
  }
  run.ms = millisecondsSince(began);
  const auto& wrapped = answered.get();
  run.outcome = outcomeOf(wrapped.code);
  if (wrapped.result) {
    run.error_code = wrapped.result->error_code;
    run.paths = wrapped.result->multi_paths;
  }
  run.found = wrapped.code == rclcpp_action::ResultCode::SUCCEEDED && !run.paths.paths.empty();
  return run;
}

// As the robot's localisation does: the transform from the map frame to the robot's base on
// "/tf". The goal goes out once both costmaps have heard it, so that it is planned from there.
void PlanningHost::placeRobot(const geometry_msgs::msg::PoseStamped& pose) {
  geometry_msgs::msg::Pose2D robot;
  robot.x = pose.pose.position.x;
  robot.y = pose.pose.position.y;
  robot.theta = planning::geometry::yawOf(pose);
  localisation_->placeRobot(robot);
}

}  // namespace global_planning_benchmark
