#include "planning/local_planning/local_astar_goal_zone.hpp"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/local_planning/point_to_point_steps.hpp"
#include "planning/zone_raster.hpp"

namespace planning {

namespace {

// The search may end this close to the local goal, whatever the goal's flags say: the zone, not
// the pose, is the target.
constexpr double kGoalFuzzyRange = 0.5;
// Fewer corners enclose no area.
constexpr size_t kZoneCorners = 3;

}  // namespace

LocalAstarGoalZone::LocalAstarGoalZone(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                       std::shared_ptr<GridMapROS> global_map,
                                       std::shared_ptr<GridMapROS> local_map,
                                       std::shared_ptr<GridMapROS> third_map)
    : NavLocalPlanning(node, std::move(global_map), std::move(local_map), std::move(third_map)),
      constrained_smoother_(point_to_point::makeConstrainedSmoother(node_)),
      path_smoother_(std::make_shared<PathSmoother>(node_, local_gridmap_)) {}

bool LocalAstarGoalZone::makePlan(Path& out, ControlState& state, bool& /*need_replan*/) {
  Path piece;
  if (const auto decided = point_to_point::takeNextPiece(*this, piece, out, state)) {
    return *decided;
  }
  const std::vector<geometry_msgs::msg::Polygon> zones = zone_polygons_;
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    LOG_ERROR("makePlan getRobotPose failed, error code is {}", codes::kRobotPoseUnavailable);
    return false;
  }
  PoseStamped local_goal;
  if (!path_product_->globalPathCut(robot, piece.nav_path, local_gridmap_, local_goal)) {
    return false;
  }
  trace("current_pose is {} {}", robot.pose.position.x, robot.pose.position.y);
  const std::optional<cv::Point> cell = robotCell(robot);
  const double inside = insideFirstZone(zones, cell);
  trace("is_inside {}, current_point:{},{}", inside, cell ? cell->x : -1, cell ? cell->y : -1);
  if (inside > 0.0) {
    state.finished = 1;
    out.nav_path.poses.assign(1, robot);
    return true;
  }
  vantrell_nav2_planner::astar2::AstarReferencePath reference;
  const auto options = point_to_point::referencedSearchOptions(piece.tolerance, kGoalFuzzyRange,
                                                               out.nav_path, reference);
  // Only what the search left counts, whatever it answered.
  point_to_point::searchThisCycle(local_planner_.get(), robot, local_goal, options, out);
  trace("goal2 is {} {}", local_goal.pose.position.x, local_goal.pose.position.y);
  if (out.nav_path.poses.empty()) {
    LOG_ERROR("local planner failed, error code is {}", codes::kLocalPlanFailed);
    return false;
  }
  return true;
}

std::optional<cv::Point> LocalAstarGoalZone::robotCell(const PoseStamped& robot) const {
  unsigned int mx = 0;
  unsigned int my = 0;
  const auto* costmap = global_gridmap_->getMultiGridMap()->getCostmap();
  if (!costmap->worldToMap(robot.pose.position.x, robot.pose.position.y, mx, my)) {
    return std::nullopt;
  }
  return cv::Point(static_cast<int>(mx), static_cast<int>(my));
}

std::vector<cv::Point> LocalAstarGoalZone::zoneCells(
    const geometry_msgs::msg::Polygon& zone) const {
  // Corners off the map are left out, as the global goal-zone planner leaves them out.
  std::vector<cv::Point> cells =
      planning::zoneCells(zone, *global_gridmap_->getMultiGridMap()->getCostmap()).outline;
  if (cells.size() < kZoneCorners) {
    cells.clear();
  }
  return cells;
}

double LocalAstarGoalZone::insideFirstZone(const std::vector<geometry_msgs::msg::Polygon>& zones,
                                           const std::optional<cv::Point>& cell) const {
  if (zones.empty() || !cell) {
    return -1.0;
  }
  const std::vector<cv::Point> corners = zoneCells(zones.front());
  if (corners.empty()) {
    return -1.0;
  }
  return cv::pointPolygonTest(
      corners, cv::Point2f(static_cast<float>(cell->x), static_cast<float>(cell->y)), false);
}

bool LocalAstarGoalZone::getBestFinalPoint(std::vector<geometry_msgs::msg::Polygon> zones,
                                           cv::Point_<int> cell) const {
  return insideFirstZone(zones, cell) > 0.0;
}

void LocalAstarGoalZone::updatePathWithMovementConstraint(Path& path) {
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    LOG_ERROR("makePlan getRobotPose failed, error code is {}", codes::kRobotPoseUnavailable);
    return;
  }
  backwardMovement(path, robot);
}

bool LocalAstarGoalZone::pathSmooter(nav_msgs::msg::Path& path) {
  if (!point_to_point::smoothFromRobot(*path_smoother_, *local_gridmap_, *communicator_, true,
                                       path)) {
    LOG_ERROR("a star path smooth failed !!!!!!");
    return false;
  }
  return true;
}

void LocalAstarGoalZone::reset() {
  point_to_point::resetForNewTask(*communicator_, *third_gridmap_);
}

}  // namespace planning
