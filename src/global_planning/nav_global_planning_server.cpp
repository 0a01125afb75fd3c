#include "planning/nav_global_planning_server.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <functional>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/global_planning/astar_planning.hpp"
#include "planning/global_planning/astar_uptake_water_planning.hpp"
#include "planning/global_planning/astar_with_local_and_global_planning.hpp"
#include "planning/global_planning/global_astar_goal_zone_planning.hpp"
#include "planning/global_planning/recommand_points_planning.hpp"
#include "planning/global_planning/way_points_planning.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

namespace planning {

namespace {

constexpr std::chrono::milliseconds kServerTimeout{500};
// Room kept between the robot and the lift car's door posts at the polygon's first and last
// corner, on top of the robot's own forward extent.
constexpr double kLiftDoorMargin = 0.25;

}  // namespace

NavGlobalPlanningServer::NavGlobalPlanningServer(std::shared_ptr<GridMapROS> global_gridmap,
                                                 std::shared_ptr<GridMapROS> local_gridmap,
                                                 const rclcpp::NodeOptions& options)
    : rclcpp_lifecycle::LifecycleNode("vantrell_nav2_global_planning", "", options, true),
      global_gridmap_(std::move(global_gridmap)),
      local_gridmap_(std::move(local_gridmap)) {
  if (!global_gridmap_ || !local_gridmap_) {
    throw std::invalid_argument(
        "vantrell_nav2_global_planning needs both a global and a local grid map");
  }
}

NavGlobalPlanningServer::~NavGlobalPlanningServer() {
  // A goal may still be running on a worker. Each server joins its worker when it goes, so the
  // servers go first, while everything their callbacks use is still there.
  global_planning_server_.reset();
  lift_free_server_.reset();
  fuzzy_lift_free_server_.reset();
  force_global_path_server_.reset();
}

NavGlobalPlanningServer::CallbackReturn NavGlobalPlanningServer::on_configure(
    const rclcpp_lifecycle::State& /*state*/) {
  declareLiftParameters();
  readFootprintExtents();
  scaleLiftPolygon(lift_polygon_, lift_length_, lift_width_, offset_x_);
  const rcl_action_server_options_t options = declareActionServerOptions();
  // Only once the declarations have passed: a second configure throws at its first name, and a
  // goal still running on the servers of the first keeps writing this record.
  result_ = std::make_shared<GlobalPlanning::Result>();
  createActionServers(options);

  // The planners read both when they are built, without declaring them.
  declareNodeParameter(*this, "safe_cost", 0);
  declareNodeParameter(*this, "fuzzy_range", 1.0);

  check_area_pub_ =
      create_publisher<geometry_msgs::msg::PolygonStamped>("check_area", rclcpp::QoS(1));
  check_lift_area_pub_ =
      create_publisher<geometry_msgs::msg::PolygonStamped>("check_lift_area", rclcpp::QoS(1));
  smoother_ = std::make_shared<nav2_smoother::SavitzkyGolaySmoother>();
  communicator_ = vantrell_communicator::CommunicatorEngine::GetInstance();

  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> self = shared_from_this();
  buildPlanners(self);
  smoother_->configure(self, "simple_smoother", nullptr, nullptr, nullptr);
  path_product_ = std::make_shared<PathProduct>();
  trace_logger_ = std::make_shared<LogPublisher>(shared_from_this());
  injectPlannerCollaborators();
  return CallbackReturn::SUCCESS;
}

NavGlobalPlanningServer::CallbackReturn NavGlobalPlanningServer::on_activate(
    const rclcpp_lifecycle::State& /*state*/) {
  global_planning_server_->activate();
  lift_free_server_->activate();
  fuzzy_lift_free_server_->activate();
  force_global_path_server_->activate();
  return CallbackReturn::SUCCESS;
}

// The servers stay on and nothing is released: the task manager keeps sending goals through
// lifecycle changes, and the node is torn down only as a whole.
NavGlobalPlanningServer::CallbackReturn NavGlobalPlanningServer::on_deactivate(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

NavGlobalPlanningServer::CallbackReturn NavGlobalPlanningServer::on_cleanup(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

NavGlobalPlanningServer::CallbackReturn NavGlobalPlanningServer::on_shutdown(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

void NavGlobalPlanningServer::declareLiftParameters() {
  declareNodeParameter(*this, "lift_length", 1.6);
  declareNodeParameter(*this, "lift_width", 1.5);
  declareNodeParameter(*this, "offset_x", 0.35);
  declareNodeParameter(*this, "offset_y", 0.3);
  declareNodeParameter(*this, "lift_waiting_area", 2.0);
  declareNodeParameter(*this, "lift_polygon", std::vector<double>());

  lift_length_ = get_parameter("lift_length").as_double();
  lift_width_ = get_parameter("lift_width").as_double();
  offset_x_ = get_parameter("offset_x").as_double();
  lift_waiting_area_ = get_parameter("lift_waiting_area").as_double();
  offset_y_ = get_parameter("offset_y").as_double();
  lift_polygon_ = get_parameter("lift_polygon").as_double_array();
}

// The robot's real extent wins over the configured offsets.
void NavGlobalPlanningServer::readFootprintExtents() {
  offset_x_ = 0.0;
  offset_y_ = 0.0;
  for (const auto& point : global_gridmap_->getCostmapROS()->getRobotFootprint()) {
    offset_x_ = std::max(offset_x_, std::fabs(point.x));
    offset_y_ = std::max(offset_y_, std::fabs(point.y));
  }
}

void NavGlobalPlanningServer::scaleLiftPolygon(std::vector<double>& polygon, double lift_length,
                                               double lift_width, double offset_x) {
  const size_t pairs = polygon.size() / 2;
  const double half_length = lift_length / 2.0;
  const double half_width = lift_width / 2.0;
  for (size_t i = 0; i < pairs; ++i) {
    double& x = polygon[2 * i];
    double& y = polygon[2 * i + 1];
    if (i == 0 || i + 1 == pairs) {
      x *= half_length - offset_x - kLiftDoorMargin;
      y *= half_width - offset_x - kLiftDoorMargin;
    } else {
      x *= half_length;
      y *= half_width;
    }
  }
}

rcl_action_server_options_t NavGlobalPlanningServer::declareActionServerOptions() {
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

template <typename ActionT>
void NavGlobalPlanningServer::runGoal(const char* road_name,
                                      nav2_util::VantrellSimpleActionServer<ActionT>& server,
                                      void (NavGlobalPlanningServer::*road)(),
                                      const GoalFailure<ActionT>& fail) {
  const auto goal = server.get_current_goal();
  if (!goal) {
    return;
  }
  try {
    (this->*road)();
    return;
  } catch (const std::exception& error) {
    LOG_ERROR_FROM(road_name, "{} failed: {}, error code is {}", road_name, error.what(),
                   codes::kGlobalPlanFailed);
  } catch (...) {
    LOG_ERROR_FROM(road_name, "{} failed: unknown exception, error code is {}", road_name,
                   codes::kGlobalPlanFailed);
  }
  if (fail) {
    fail(*goal);
  } else {
    server.terminate_current(std::make_shared<typename ActionT::Result>());
  }
}

template <typename ActionT>
std::unique_ptr<nav2_util::VantrellSimpleActionServer<ActionT>> NavGlobalPlanningServer::makeServer(
    const char* action_name, ServerMember<ActionT> server, const char* road_name,
    void (NavGlobalPlanningServer::*road)(), GoalFailure<ActionT> fail,
    const rcl_action_server_options_t& options) {
  return std::make_unique<nav2_util::VantrellSimpleActionServer<ActionT>>(
      get_node_base_interface(), get_node_clock_interface(), get_node_logging_interface(),
      get_node_waitables_interface(), action_name,
      [this, server, road_name, road, fail] { runGoal(road_name, *(this->*server), road, fail); },
      nullptr, kServerTimeout, false, options);
}

void NavGlobalPlanningServer::createActionServers(const rcl_action_server_options_t& options) {
  using Self = NavGlobalPlanningServer;
  global_planning_server_ = makeServer<GlobalPlanning>(
      "global_planning", &Self::global_planning_server_, "computePlan", &Self::computePlan,
      [this](const GlobalPlanning::Goal& goal) {
        countFailure();
        terminateGoal(goal, codes::kGlobalPlanFailed);
      },
      options);
  lift_free_server_ = makeServer<LiftFree>("is_global_free", &Self::lift_free_server_,
                                           "isGlobalFree", &Self::isGlobalFree, nullptr, options);
  fuzzy_lift_free_server_ = makeServer<FuzzyLiftFree>(
      "is_fuzzy_global_free", &Self::fuzzy_lift_free_server_, "isFuzzyGlobalFree",
      &Self::isFuzzyGlobalFree,
      [this](const FuzzyLiftFree::Goal& goal) {
        auto result = std::make_shared<FuzzyLiftFree::Result>();
        result->free_pose = goal.door_pose;
        result->error_code = codes::kGlobalPlanFailed;
        fuzzy_lift_free_server_->terminate_current(result);
      },
      options);
  force_global_path_server_ = makeServer<ForceGlobalPath>(
      "force_global_path", &Self::force_global_path_server_, "getForceGlobalPath",
      &Self::getForceGlobalPath, nullptr, options);
}

void NavGlobalPlanningServer::buildPlanners(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  namespace keys = global_keys;
  planners_[keys::kDijkstra] = std::make_shared<AstarPlanning>(node, global_gridmap_);
  planners_[keys::kDijkstraGoalZone] =
      std::make_shared<GlobalAstarGoalZonePlanning>(node, global_gridmap_);
  planners_[keys::kDijkstraUptakeWater] =
      std::make_shared<AstarUptakeWaterPlanning>(node, global_gridmap_);
  planners_[keys::kWayPoints] = std::make_shared<WayPointsPlanning>(node, global_gridmap_);
  addLiftPlanners(node);
  planners_[keys::kAstarWithLocalAndGlobalMap] =
      std::make_shared<AstarWithLocalAndGlobalPlanning>(node, global_gridmap_);
  planners_[keys::kRecommandPoints] =
      std::make_shared<RecommandPointsPlanning>(node, global_gridmap_, local_gridmap_);
}

// Every planner shares the node's two engines and its trace publisher.
void NavGlobalPlanningServer::injectPlannerCollaborators() {
  using vantrell_nav2_planner::astar2::AstarPlanner;
  const auto global_engine = std::make_shared<AstarPlanner>("global", global_gridmap_);
  const auto local_engine = std::make_shared<AstarPlanner>("global_local", local_gridmap_);
  for (const auto& entry : planners_) {
    entry.second->setGlobalPlanner(global_engine);
    entry.second->setLocalPlanner(local_engine);
    entry.second->setTraceLogger(trace_logger_);
  }
}

}  // namespace planning
