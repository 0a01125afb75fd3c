// The path judge: the predicates on the shape of a path and its place on the local grid map.
#include "planning/local_planning/path_judge.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"

namespace planning {

namespace {

// Poses 0 to 10: fewer give no reliable heading at both ends.
constexpr std::size_t kMinJudgedPoses = 11;
// The first near-obstacle pose this close to the robot, with most of the path near the
// obstacle, means the robot is following an edge...
constexpr double kWeltRobotDistance = 1.0;
constexpr double kWeltNearShare = 0.8;
// ...and farther than this the obstacle is far enough ahead for the edge speed.
constexpr double kNearObstacleRobotDistance = 2.0;
// The robot is off the path when the path within it is farther than this...
constexpr double kOffPathDistance = 0.15;
// ...or when less than this length of path is left to judge by.
constexpr double kMinAwayPathLength = 1.0;
// The heading of either end of a path is taken over this many poses.
constexpr std::size_t kEndHeadingPoses = 4;
constexpr double kBigTurnScaleFactor = 0.7;

double degreesToRadians(double degrees) { return degrees / 180.0 * geometry::kPi; }

double headingOver(const nav_msgs::msg::Path& path, std::size_t from, std::size_t to) {
  return geometry::headingBetween(path.poses[from], path.poses[to]);
}

}  // namespace

PathJudge::PathJudge(std::shared_ptr<GridMapROS> first_map, std::shared_ptr<GridMapROS> second_map,
                     const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                     std::shared_ptr<LogPublisher> trace_logger)
    : node_(node),
      second_gridmap_(std::move(second_map)),
      first_gridmap_(std::move(first_map)),
      communicator_(vantrell_communicator::CommunicatorEngine::GetInstance()),
      trace_logger_(std::move(trace_logger)) {}

bool PathJudge::toCell(const geometry_msgs::msg::PoseStamped& pose, unsigned int& mx,
                       unsigned int& my) const {
  const auto grid = second_gridmap_ ? second_gridmap_->getMultiGridMap() : nullptr;
  const auto* costmap = grid ? grid->getCostmap() : nullptr;
  return costmap != nullptr &&
         costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my);
}

bool PathJudge::getRobotPose(geometry_msgs::msg::PoseStamped& pose) const {
  return first_gridmap_ && first_gridmap_->getCostmapROS() &&
         first_gridmap_->getCostmapROS()->getRobotPose(pose);
}

bool PathJudge::isPathTooShort(const Path& path) const {
  return path.poses.size() < kMinJudgedPoses;
}

bool PathJudge::isPathNearObstacle(const Path& path, double& scale, bool& welt,
                                   SpeedLimitParams params) const {
  const auto& poses = path.poses;
  if (poses.empty()) {
    return false;
  }
  const auto grid = second_gridmap_ ? second_gridmap_->getMultiGridMap() : nullptr;
  const geometry_msgs::msg::PoseStamped* first_near = nullptr;
  const geometry_msgs::msg::PoseStamped* previous = &poses.front();
  double travelled = 0.0;
  std::size_t skipped = 0;
  std::size_t near = 0;
  for (const auto& pose : poses) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!toCell(pose, mx, my)) {
      scale = params.near_obstacle_max_speed;
      return false;
    }
    travelled += base_robot_.calDistance(*previous, pose);
    previous = &pose;
    // The start of the path lies under the robot, which is near whatever it stands by.
    if (travelled <= params.path_near_obstacle_cut_dis) {
      ++skipped;
      continue;
    }
    if (grid->getDistance(mx, my) <= params.distance_from_path_to_obstacle) {
      first_near = first_near != nullptr ? first_near : &pose;
      ++near;
    }
  }
  if (near == 0) {
    return false;
  }
  geometry_msgs::msg::PoseStamped robot;
  if (!getRobotPose(robot)) {
    scale = params.near_obstacle_max_speed;
    return true;
  }
  const double robot_distance = base_robot_.calDistance(*first_near, robot);
  const double judged = static_cast<double>(poses.size() - skipped);
  if (robot_distance < kWeltRobotDistance && static_cast<double>(near) >= kWeltNearShare * judged) {
    scale = params.welt_clean_max_speed;
    welt = true;
    return true;
  }
  scale = robot_distance < kNearObstacleRobotDistance ? params.near_obstacle_max_speed
                                                      : params.welt_clean_max_speed;
  return true;
}

bool PathJudge::isAwayFromPath(const Path& path, double& scale, SpeedLimitParams params) const {
  if (isPathTooShort(path)) {
    return false;
  }
  geometry_msgs::msg::PoseStamped robot;
  if (!getRobotPose(robot)) {
    LOG_WARN("Can not get the robot current pose !!!!!!!!!!!!");
    scale = params.near_obstacle_max_speed;
    return true;
  }
  const auto& poses = path.poses;
  double nearest = 100.0;
  double length = 0.0;
  // The two ends take no part: the robot stands before the first and the goal is the last.
  for (std::size_t i = 1; i + 1 < poses.size(); ++i) {
    nearest = std::min(nearest, base_robot_.calDistance(poses[i], robot));
    length += base_robot_.calDistance(poses[i], poses[i - 1]);
  }
  const double delta = base_robot_.calDelAngle(base_robot_.quaternion2Yaw(robot.pose.orientation),
                                               headingOver(path, 0, kEndHeadingPoses));
  if (length < kMinAwayPathLength ||
      std::fabs(delta) > degreesToRadians(params.curve_theta_tolerance_current_to_start) ||
      nearest > kOffPathDistance) {
    scale = params.near_obstacle_max_speed;
    return true;
  }
  return false;
}

bool PathJudge::isCurvLarge(const Path& path, double& scale, SpeedLimitParams params) const {
  if (isPathTooShort(path)) {
    return false;
  }
  const auto& poses = path.poses;
  const auto& first = poses.front().pose.position;
  const auto& last = poses.back().pose.position;
  double largest = -1.0;
  for (std::size_t i = 1; i + 1 < poses.size(); ++i) {
    const auto& p = poses[i].pose.position;
    const double ux = p.x - first.x;
    const double uy = p.y - first.y;
    const double vx = last.x - p.x;
    const double vy = last.y - p.y;
    // Clamped so that rounding just past +-1 does not hide a straight or a reversed bend; a
    // zero-length leg still gives no angle.
    const double cosine = (ux * vx + uy * vy) / (std::hypot(ux, uy) * std::hypot(vx, vy));
    const double bend = std::acos(std::clamp(cosine, -1.0, 1.0));
    if (!std::isnan(bend)) {
      largest = std::max(largest, bend);
    }
  }
  if (largest >= degreesToRadians(params.max_angle_tolerance)) {
    scale = params.big_curve_max_speed;
    return true;
  }
  return false;
}

bool PathJudge::isBigTurn(const Path& path, double& scale, SpeedLimitParams params) const {
  if (isPathTooShort(path)) {
    return false;
  }
  const std::size_t n = path.poses.size();
  const double start = headingOver(path, 0, kEndHeadingPoses);
  const double end = headingOver(path, n - 1 - kEndHeadingPoses, n - 1);
  if (std::fabs(base_robot_.calDelAngle(start, end)) >=
      degreesToRadians(params.big_turn_nead_curve)) {
    scale = kBigTurnScaleFactor * params.big_curve_max_speed;
    traceLine(trace_logger_, "Attention: Thear is a big turn in the front!");
    return true;
  }
  return false;
}

bool PathJudge::inNarrowPassage(const Path& path) const {
  const auto grid = second_gridmap_ ? second_gridmap_->getMultiGridMap() : nullptr;
  for (const auto& pose : path.poses) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!toCell(pose, mx, my)) {
      return false;
    }
    if (grid->inNarrowPassage(mx, my, 0)) {
      return true;
    }
  }
  return false;
}

}  // namespace planning
