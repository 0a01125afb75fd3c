#include "planning/local_planning/point_to_point_steps.hpp"

#include <utility>

#include "geometry_msgs/msg/twist.hpp"
#include "logger/logger.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "planning/geometry.hpp"
#include "planning/search_options.hpp"

namespace planning {
namespace point_to_point {

namespace {

// Smoother settings of the grid-search planners. The obstacle distance is the robot's full width
// (twice its half width); the cut length covers any local path.
constexpr double kObstacleWeight = 0.5;
constexpr double kCurvatureWeight = 0.0;
constexpr double kSmoothnessWeight = 1.5;
constexpr double kPredictionWeight = 0.5;
constexpr double kCutLength = 100.0;
constexpr double kResampleStep = 0.1;

// Search options of all four planners: the start may step out of inflation up to this far.
constexpr double kStartFuzzyRange = 0.5;
// The grid-search planners keep close to their previous local path.
constexpr double kReferenceCost = 100.0;
constexpr double kReferenceDistance = 2.0;
constexpr double kReferenceRange = 0.0001;

}  // namespace

std::optional<bool> takeNextPiece(NavLocalPlanning& planner,
                                  vantrell_nav2_protocol::msg::Path& piece,
                                  vantrell_nav2_protocol::msg::Path& out, ControlState& state) {
  const int count = planner.getNextGlobalPathAndPreSetLocalPath(piece, out);
  if (count == NavLocalPlanning::kGlobalPathUnavailable) {
    return false;
  }
  if (count <= NavLocalPlanning::kNoGlobalPathLeft) {
    state.finished = 1;
    return true;
  }
  if (count == 1) {
    state.finished = 1;
  }
  return std::nullopt;
}

std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> makeConstrainedSmoother(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  auto smoother = std::make_shared<vantrell_nav2_planner::VantrellConstrainedSmoother>();
  if (node.expired()) {
    LOG_WARN("makeConstrainedSmoother: the node is gone, constrained_smoother left unconfigured");
    return smoother;
  }
  smoother->configure(node, "constrained_smoother");
  return smoother;
}

void resetForNewTask(vantrell_communicator::CommunicatorEngine& communicator,
                     const vantrell_nav2_gridmap::GridMapROS& zone_map) {
  communicator.getPlanningUnit()->triggerCleanCoverage(false, 0, 0);
  if (const auto costmap = zone_map.getCostmapROS()) {
    costmap->resetLayers();
    costmap->updateMap();
  }
}

bool smoothFromRobot(PathSmoother& smoother, const vantrell_nav2_gridmap::GridMapROS& local_map,
                     const vantrell_communicator::CommunicatorEngine& communicator, bool tune,
                     nav_msgs::msg::Path& path) {
  geometry_msgs::msg::PoseStamped robot;
  robot.pose.orientation.w = 1.0;
  geometry_msgs::msg::Twist twist = communicator.getOdomUnit()->getOdom().twist;
  const auto costmap = local_map.getCostmapROS();
  if ((!costmap || !costmap->getRobotPose(robot)) && !path.poses.empty()) {
    LOG_WARN("pathSmooter: no robot pose, smoothing from the path's start at rest");
    robot = path.poses.front();
    twist = geometry_msgs::msg::Twist();
  }
  if (tune) {
    smoother.config(2.0 * getFootprintMaxY(&local_map), kObstacleWeight, kCurvatureWeight,
                    kSmoothnessWeight, kPredictionWeight, kCutLength, kResampleStep);
  }
  smoother.setOriginalPath(path);
  smoother.setCurrentData(robot, twist);
  smoother.smoothPath();
  return smoother.getSmoothedNavPath(path);
}

vantrell_nav2_planner::astar2::AstarOptions plainSearchOptions(double goal_fuzzy_range,
                                                               double tolerance) {
  SearchFields fields;
  fields.keep_turning_room = true;
  fields.start_tolerance = kStartFuzzyRange;
  fields.goal_tolerance = goal_fuzzy_range;
  fields.path_tolerance = tolerance;
  fields.budget = kSearchBudget;
  return searchOptions(fields);
}

vantrell_nav2_planner::astar2::AstarOptions referencedSearchOptions(
    double tolerance, double goal_fuzzy_range, const nav_msgs::msg::Path& previous,
    vantrell_nav2_planner::astar2::AstarReferencePath& reference) {
  reference.path = previous;
  reference.path_cost = kReferenceCost;
  reference.distance = kReferenceDistance;
  reference.range = kReferenceRange;
  auto options = plainSearchOptions(goal_fuzzy_range, tolerance);
  options.byte_0 = true;
  options.use_reference_path = true;
  options.reference_path = &reference;
  return options;
}

bool searchThisCycle(vantrell_nav2_planner::astar2::AstarPlanner* engine,
                     const geometry_msgs::msg::PoseStamped& start,
                     const geometry_msgs::msg::PoseStamped& goal,
                     const vantrell_nav2_planner::astar2::AstarOptions& options,
                     vantrell_nav2_protocol::msg::Path& out) {
  vantrell_nav2_protocol::msg::Path found;
  const bool answer = engine != nullptr && engine->searchPath(start, goal, options, found);
  if (engine == nullptr) {
    LOG_ERROR("searchThisCycle: the planner has no grid-search engine");
  }
  out = std::move(found);
  return answer;
}

}  // namespace point_to_point
}  // namespace planning
