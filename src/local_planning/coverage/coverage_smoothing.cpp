#include "planning/local_planning/coverage/coverage_smoothing.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"

namespace planning {

CoverageSmoothing::CoverageSmoothing(std::shared_ptr<GridMapROS> second_gridmap,
                                     std::shared_ptr<PathProduct> path_product, Settings settings)
    : second_gridmap_(std::move(second_gridmap)),
      path_product_(std::move(path_product)),
      settings_(std::move(settings)) {
  if (!second_gridmap_ || !path_product_) {
    throw std::invalid_argument(
        "CoverageSmoothing: a local grid map and a path toolbox are needed");
  }
  checkLengthParameter("robot_half_width_offset", settings_.robot_half_width_offset,
                       settings_.chord_step);
}

void CoverageSmoothing::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = std::move(trace_logger);
}

std::size_t CoverageSmoothing::cornerIndex(const nav_msgs::msg::Path& path, double distance) const {
  const auto& poses = path.poses;
  if (poses.size() < 2) {
    return 0;
  }
  double length = 0.0;
  for (std::size_t i = 1; i < poses.size(); ++i) {
    length += base_robot_.calDistance(poses[i - 1], poses[i]);
    if (length > distance) {
      return i;
    }
  }
  return poses.size() - 1;
}

bool CoverageSmoothing::hasObstacle(const std::shared_ptr<GridMapROS>& map,
                                    const nav_msgs::msg::Path& path, int count, int limit,
                                    double threshold) const {
  if (count <= 0 || !map) {
    return false;
  }
  const auto grid = map->getMultiGridMap();
  const auto second = second_gridmap_->getMultiGridMap();
  const bool other_map = map != second_gridmap_;
  const std::size_t poses = std::min(static_cast<std::size_t>(count), path.poses.size());
  double nearest = std::numeric_limits<double>::max();
  int hits = 0;
  for (std::size_t i = 0; i < poses; ++i) {
    const auto& position = path.poses[i].pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (other_map && second->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
      nearest = std::min(nearest, second->getDistance(mx, my));
    }
    if (!grid->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
      LOG_WARN("[{}] pathSmooter::worldToMap1 failed !!!!!!!", settings_.owner);
      return true;
    }
    nearest = std::min(nearest, grid->getDistance(mx, my));
    // Once the running minimum has fallen to the threshold every later pose counts.
    if (!(nearest > threshold)) {
      ++hits;
    }
    if (hits >= limit) {
      return true;
    }
  }
  return false;
}

double CoverageSmoothing::distanceToSegment(const PoseStamped& p, const PoseStamped& a,
                                            const PoseStamped& b) {
  const double px = p.pose.position.x - a.pose.position.x;
  const double py = p.pose.position.y - a.pose.position.y;
  const double bx = b.pose.position.x - a.pose.position.x;
  const double by = b.pose.position.y - a.pose.position.y;
  const double squared = bx * bx + by * by;
  if (squared == 0.0) {
    return std::hypot(px, py);
  }
  const double t = (px * bx + py * by) / squared;
  if (t < 0.0) {
    return std::hypot(px, py);
  }
  if (t > 1.0) {
    return std::hypot(px - bx, py - by);
  }
  return std::hypot(px - t * bx, py - t * by);
}

nav_msgs::msg::Path CoverageSmoothing::chord(const PoseStamped& a, const PoseStamped& b) const {
  nav_msgs::msg::Path ends;
  ends.poses = {a, b};
  nav_msgs::msg::Path densified;
  path_product_->fillPath(ends, settings_.chord_step, densified);
  return densified;
}

bool CoverageSmoothing::cutInsideCorner(nav_msgs::msg::Path& path, bool obstacle, double distance,
                                        const PoseStamped& robot) const {
  auto& poses = path.poses;
  if (poses.size() < 2) {
    return false;
  }
  const double yaw = base_robot_.quaternion2Yaw(robot.pose.orientation);
  const std::size_t corner = cornerIndex(path, distance);
  const PoseStamped& a = poses.front();
  const PoseStamped& b = poses[corner];
  double deviation = 0.0;
  std::size_t farthest = 0;
  for (std::size_t j = 1; j < corner; ++j) {
    const double d = distanceToSegment(poses[j], a, b);
    if (d > deviation) {
      deviation = d;
      farthest = j;
    }
  }
  double turn = 0.0;
  if (farthest > 0) {
    turn = geometry::normalizeAngle(yaw - geometry::headingBetween(a, poses[farthest]));
  }
  const nav_msgs::msg::Path straight = chord(a, b);
  const double clearance = second_gridmap_->getMultiGridMap()->getCostmap()->getResolution() +
                           getFootprintMaxY(second_gridmap_.get());
  if (hasObstacle(second_gridmap_, straight, static_cast<int>(straight.poses.size()), 1,
                  clearance)) {
    return false;
  }
  // Pose 0 stays and the pose before the corner index becomes pose 1.
  const auto erase_inner = [&poses, corner]() {
    if (corner >= 2) {
      poses.erase(poses.begin() + 1, poses.begin() + static_cast<std::ptrdiff_t>(corner - 1));
    }
  };
  if (obstacle && deviation > settings_.corner_deviation_threshold) {
    erase_inner();
    return true;
  }
  if (std::fabs(turn) > kCornerAngleLimit) {
    erase_inner();
    LOG_INFO("del_theta2 {}", turn);
    return true;
  }
  return false;
}

bool CoverageSmoothing::searchInsideCorner(nav_msgs::msg::Path& path, bool obstacle,
                                           double first_distance, const CornerCut& cut) {
  for (double d = first_distance; d > 0.0; d -= kCornerSearchStep) {
    if (cut(path, obstacle, d)) {
      return true;
    }
  }
  return false;
}

bool CoverageSmoothing::obstacleDistance(const std::shared_ptr<GridMapROS>& map,
                                         const PoseStamped& pose, double& distance) const {
  const auto& position = pose.pose.position;
  unsigned int mx = 0;
  unsigned int my = 0;
  const auto grid = map->getMultiGridMap();
  if (!grid->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
    return false;
  }
  distance = grid->getDistance(mx, my);
  const auto second = second_gridmap_->getMultiGridMap();
  if (map != second_gridmap_ && second->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
    distance = std::min(distance, second->getDistance(mx, my));
  }
  return true;
}

bool CoverageSmoothing::keepsDetour(const nav_msgs::msg::Path& path, std::size_t last,
                                    std::size_t i, double offset) const {
  const PoseStamped& a = path.poses[last];
  const PoseStamped& b = path.poses[i];
  const double bx = b.pose.position.x - a.pose.position.x;
  const double by = b.pose.position.y - a.pose.position.y;
  for (std::size_t j = last + 1; j < i; ++j) {
    const PoseStamped& p = path.poses[j];
    const double px = p.pose.position.x - a.pose.position.x;
    const double py = p.pose.position.y - a.pose.position.y;
    // Negative when p lies to the right of the direction a to b.
    const double side = bx * py - by * px;
    if (base_robot_.calDistance(a, p) > settings_.max_straighten_distance ||
        (side < 0.0 && distanceToSegment(p, a, b) > offset)) {
      return true;
    }
  }
  return false;
}

nav_msgs::msg::Path CoverageSmoothing::removeConcavePoints(nav_msgs::msg::Path& path,
                                                           const std::shared_ptr<GridMapROS>& map,
                                                           double /*max_distance*/, double offset,
                                                           bool global) const {
  if (path.poses.size() <= 1 || !map) {
    return path;
  }
  const auto started = std::chrono::steady_clock::now();
  const double clearance =
      getFootprintMaxY(second_gridmap_.get()) + settings_.robot_half_width_offset;
  std::vector<PoseStamped> kept{path.poses.front()};
  std::size_t last = 0;
  for (std::size_t i = 1; i < path.poses.size(); ++i) {
    double distance = 0.0;
    bool keep = !obstacleDistance(map, path.poses[i], distance) || distance <= clearance;
    if (!keep) {
      const nav_msgs::msg::Path straight = chord(path.poses[last], path.poses[i]);
      keep = hasObstacle(map, straight, static_cast<int>(straight.poses.size()), 1, clearance) ||
             keepsDetour(path, last, i, offset);
    }
    if (keep) {
      kept.push_back(path.poses[i]);
      last = i;
    }
  }
  // Also when the loop has just kept it: the last pose then stands twice at the end.
  kept.push_back(path.poses.back());
  path.poses = std::move(kept);
  const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
  traceLine(trace_logger_,
            settings_.owner + (global ? "::removeConcavePoints global use time is  {} ms"
                                      : "::removeConcavePoints local use time is  {} ms"),
            static_cast<int64_t>(used));
  return path;
}

bool CoverageSmoothing::runPathSmoother(PathSmoother& smoother, nav_msgs::msg::Path& path,
                                        const SmootherConfig& config,
                                        const PoseStamped* fallback) const {
  PoseStamped robot;
  if (!second_gridmap_->getCostmapROS()->getRobotPose(robot)) {
    // Starting the smoother from the map origin would bend the path towards it.
    if (fallback == nullptr) {
      LOG_ERROR("{}::pathSmooter no robot pose, the path is not smoothed", settings_.owner);
      return false;
    }
    LOG_WARN("{}::pathSmooter no robot pose, smoothing from the last known pose", settings_.owner);
    robot = *fallback;
  }
  const auto twist =
      vantrell_communicator::CommunicatorEngine::GetInstance()->getOdomUnit()->getOdom().twist;
  smoother.config(config[0], config[1], config[2], config[3], config[4], config[5], config[6]);
  smoother.setOriginalPath(path);
  smoother.setCurrentData(robot, twist);
  smoother.smoothPath();
  return smoother.getSmoothedNavPath(path);
}

}  // namespace planning
