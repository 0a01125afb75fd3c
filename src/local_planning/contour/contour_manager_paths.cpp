// Contour paths: the outline or centre line of a region, and the approach to it.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <utility>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "planning/search_options.hpp"

namespace planning {

using vantrell_nav2_planner::astar2::AstarReferencePath;

namespace {

// A region whose minimum-area rectangle is narrower than this is followed along its
// centre line, metres.
constexpr double kNarrowWidth = 0.15;
// A centre line is refused when the robot stands this near an obstacle...
constexpr double kNarrowObstacleDistance = 0.6;
// ...and the line's far end lies this near the robot, metres: it could not be driven.
constexpr double kNarrowRobotDistance = 0.5;
// A robot this near the contour path's start, with this much room, needs no approach.
constexpr double kAtContourDistance = 0.1;
constexpr double kAtContourClearance = 0.4;
// A region below this area is abandoned once an approach to it fails, square metres.
constexpr double kAbandonArea = 0.3;

geometry_msgs::msg::PoseStamped poseAt(double x, double y, const std::string& frame) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.w = 1.0;
  return pose;
}

cv::Point truncated(const cv::Point2f& point) {
  return cv::Point(static_cast<int>(point.x), static_cast<int>(point.y));
}

// The middles of a rectangle's short sides, the ends of its centre line. Each is rounded
// as the robot's tools have always done it.
std::pair<cv::Point, cv::Point> shortSideMiddles(const cv::RotatedRect& rect) {
  cv::Point2f corners[4];
  rect.points(corners);
  const double d01 = cv::norm(corners[1] - corners[0]);
  const double d03 = cv::norm(corners[3] - corners[0]);
  if (d03 <= d01) {
    return {truncated((corners[0] + corners[3]) * 0.5F),
            truncated((corners[1] + corners[2]) * 0.5F)};
  }
  const cv::Point2f middle = (corners[0] + corners[1]) * 0.5F;
  return {cv::Point(cvRound(middle.x), cvRound(middle.y)),
          truncated((corners[3] + corners[2]) * 0.5F)};
}

}  // namespace

bool ContourManager::contour2Path(const std::vector<cv::Point>& contour,
                                  const vantrell_nav2_gridmap::GridMapROS& map,
                                  nav_msgs::msg::Path& path) {
  if (contour.empty()) {
    LOG_WARN("ContourManager::contour2Path current_contour is empty");
    return true;
  }
  std::vector<cv::Point> points = contour;
  bool narrow = false;
  updateRobotPose();
  if (!generageArchedPath(contour, points, narrow)) {
    return false;
  }
  const std::string frame = map.getCostmapROS()->getGlobalFrameID();
  path.poses.clear();
  path.header.frame_id = frame;
  reindexContour(points, robot_cell_.x, robot_cell_.y, points, !narrow);
  const size_t count =
      std::min(points.size(), static_cast<size_t>(std::max(global_path_point_count_, 0)));
  const nav2_costmap_2d::Costmap2D* costmap = map.getMultiGridMap()->getCostmap();
  for (size_t i = 0; i < count; ++i) {
    double wx = 0.0;
    double wy = 0.0;
    costmap->mapToWorld(bbox_origin_x_ + static_cast<unsigned int>(points[i].x),
                        bbox_origin_y_ + static_cast<unsigned int>(points[i].y), wx, wy);
    path.poses.push_back(poseAt(wx, wy, frame));
  }
  communicator_->getPlanningUnit()->publishContourPath(path);
  if (path.poses.empty()) {
    LOG_WARN("ContourManager::contour2Path local path is empty");
    return false;
  }
  return true;
}

bool ContourManager::generageArchedPath(const std::vector<cv::Point>& /*contour*/,
                                        std::vector<cv::Point>& out, bool& narrow) {
  if (out.empty()) {
    return false;
  }
  const cv::RotatedRect rect = cv::minAreaRect(out);
  const float width = std::min(rect.size.width, rect.size.height);
  if (!(width > 0.0F)) {
    return false;
  }
  trace("ContourManager::generageArchedPath min_width={}", width);
  const double resolution = zoneResolution();
  if (width * resolution >= kNarrowWidth) {
    narrow_contour_ = false;
    return true;
  }
  narrow = true;
  narrow_contour_ = true;
  const auto [a, b] = shortSideMiddles(rect);
  const cv::Point2f robot(static_cast<float>(robot_cell_.x), static_cast<float>(robot_cell_.y));
  const float to_a =
      std::hypot(static_cast<float>(a.x) - robot.x, static_cast<float>(a.y) - robot.y);
  const float to_b =
      std::hypot(static_cast<float>(b.x) - robot.x, static_cast<float>(b.y) - robot.y);
  out = to_b > to_a ? interpolateLine(a, b) : interpolateLine(b, a);
  const cv::Point delta = out.back() - robot_cell_;
  const double robot_distance = std::hypot(delta.x, delta.y) * resolution;
  LOG_INFO("coverage_resolution={},delta_x={},delta_y={},robot_distance={}", resolution, delta.x,
           delta.y, robot_distance);
  return centreLineDrivable(robot_distance);
}

bool ContourManager::centreLineDrivable(double far_end_distance) const {
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!local_gridmap_->getMultiGridMap()->getCostmap()->worldToMap(
          robot_pose_.pose.position.x, robot_pose_.pose.position.y, mx, my)) {
    LOG_ERROR("ContourManager::generageArchedPath worldToMap failed");
    return true;
  }
  const double obstacle_distance = local_gridmap_->getMultiGridMap()->getDistance(mx, my);
  if (obstacle_distance <= kNarrowObstacleDistance && far_end_distance <= kNarrowRobotDistance) {
    LOG_INFO("obstacle distance={},robot distance={}", obstacle_distance, far_end_distance);
    return false;
  }
  return true;
}

void ContourManager::reindexContour(const std::vector<cv::Point>& in, int x, int y,
                                    std::vector<cv::Point>& out, bool closed) const {
  if (in.empty()) {
    out.clear();
    return;
  }
  size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::max();
  for (size_t i = 0; i < in.size(); ++i) {
    const double distance =
        std::hypot(static_cast<double>(in[i].x) - x, static_cast<double>(in[i].y) - y);
    if (distance < nearest_distance) {
      nearest_distance = distance;
      nearest = i;
    }
  }
  std::vector<cv::Point> reindexed(in.begin() + static_cast<std::ptrdiff_t>(nearest), in.end());
  if (closed) {
    reindexed.insert(reindexed.end(), in.begin(),
                     in.begin() + static_cast<std::ptrdiff_t>(nearest));
  }
  out = std::move(reindexed);
}

std::vector<cv::Point> ContourManager::interpolateLine(const cv::Point& a,
                                                       const cv::Point& b) const {
  const int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
  if (steps == 0) {
    return {a};
  }
  const cv::Point2f step(static_cast<float>(b.x - a.x) / static_cast<float>(steps),
                         static_cast<float>(b.y - a.y) / static_cast<float>(steps));
  std::vector<cv::Point> line;
  line.reserve(static_cast<size_t>(steps) + 1);
  cv::Point2f point(static_cast<float>(a.x), static_cast<float>(a.y));
  for (int i = 0; i <= steps; ++i) {
    line.emplace_back(static_cast<int>(std::round(point.x)), static_cast<int>(std::round(point.y)));
    point += step;
  }
  return line;
}

std::vector<geometry_msgs::msg::PoseStamped> ContourManager::insertPointsOnLine(
    const geometry_msgs::msg::PoseStamped& a, const geometry_msgs::msg::PoseStamped& b,
    double /*unused*/, int n) const {
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  const double dx = b.pose.position.x - a.pose.position.x;
  const double dy = b.pose.position.y - a.pose.position.y;
  for (int i = 1; i <= n; ++i) {
    poses.push_back(poseAt(b.pose.position.x + i * dx, b.pose.position.y + i * dy, ""));
  }
  return poses;
}

double ContourManager::obstacleDistanceAtRobot(const vantrell_nav2_gridmap::GridMapROS& map) const {
  return map.getMultiGridMap()->getDistance(global_x_, global_y_);
}

bool ContourManager::navigateToContour(const vantrell_nav2_protocol::msg::Path& contour_path,
                                       MultiPaths& paths, ContourInfo& info) {
  if (contour_path.nav_path.poses.empty()) {
    LOG_ERROR("navigateToContour global planner failed, coutour_path is empty");
    return false;
  }
  updateRobotPose();
  const double clearance = obstacleDistanceAtRobot(*planning_gridmap_);
  const double to_start = base_robot_.calDistance(robot_pose_, contour_path.nav_path.poses.front());
  if (to_start < kAtContourDistance && clearance >= kAtContourClearance) {
    paths.paths.push_back(contour_path);
    return true;
  }
  if (!last_contour_uuid_.empty() && last_contour_uuid_ != current_contour_uuid_) {
    LOG_INFO("last_contour_uuid_ is {},current_contour_uuid_ is {}", last_contour_uuid_,
             current_contour_uuid_);
  }
  AstarOptions options = approachOptions();
  // Replanning the approach to the region the last one led to: keep near that approach.
  AstarReferencePath reference;
  if (!last_contour_uuid_.empty() && last_contour_uuid_ == current_contour_uuid_) {
    reference.path = last_contour_path_;
    reference.path_cost = path_constraint_reference_path_cost_;
    reference.distance = path_constraint_reference_distance_;
    reference.range = path_constraint_reference_range_;
    options.use_reference_path = true;
    options.reference_path = &reference;
  }
  const std::optional<size_t> goal = searchApproach(contour_path, options, paths);
  if (!goal) {
    countApproachFailure(info);
    return false;
  }
  acceptApproach(contour_path, *goal, paths);
  return true;
}

AstarOptions ContourManager::approachOptions() const {
  SearchFields fields;
  fields.cost_aware = true;
  fields.keep_turning_room = dynamic_coverage_few_obstacle_;
  fields.start_tolerance = 1.0;
  fields.goal_tolerance = dynamic_coverage_fuzzy_range_end_;
  fields.path_tolerance = 0.5;
  AstarOptions options = searchOptions(fields);
  const double resolution = planning_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  options.offset_cells = static_cast<int32_t>(std::ceil(offset_distance_ / resolution));
  return options;
}

std::optional<size_t> ContourManager::searchApproach(
    const vantrell_nav2_protocol::msg::Path& contour_path, const AstarOptions& options,
    MultiPaths& paths) {
  if (!global_planner_) {
    LOG_ERROR("navigateToContour: no grid-search engine has been handed over");
    return std::nullopt;
  }
  const auto& goals = contour_path.nav_path.poses;
  // Every step-th pose is tried, about try_planner_points_count of them (read as at least 1).
  const size_t step =
      std::max<size_t>(goals.size() / static_cast<size_t>(try_planner_points_count_), 2);
  for (size_t i = 0; i < goals.size(); i += step) {
    planning_gridmap_->getMultiGridMap()->updateMap();
    const bool found = global_planner_->searchPaths(robot_pose_, goals[i], options, paths);
    communicator_->getPlanningUnit()->publishDynamicGlobalPath(paths);
    if (found) {
      return i;
    }
  }
  return std::nullopt;
}

void ContourManager::acceptApproach(const vantrell_nav2_protocol::msg::Path& contour_path,
                                    size_t goal, MultiPaths& paths) {
  if (!paths.paths.empty()) {
    const nav_msgs::msg::Path& approach = paths.paths.front().nav_path;
    if (base_robot_.calpathDistance(approach) >= path_distance_to_contour_threshold_) {
      reached_contour_ = false;
    }
    last_contour_path_ = approach;
  }
  last_plan_time_ = std::chrono::system_clock::now();
  last_contour_uuid_ = current_contour_uuid_;
  // The approach ends at contour pose `goal`: the contour goes on from there, never back over
  // the poses the search was refused to on a chord nobody searched.
  const std::vector<geometry_msgs::msg::PoseStamped> contour =
      contourFrom(contour_path.nav_path, goal);
  if (paths.paths.empty()) {
    paths.paths.push_back(contour_path);
    paths.paths.back().nav_path.poses = contour;
    return;
  }
  auto& poses = paths.paths.back().nav_path.poses;
  poses.insert(poses.end(), contour.begin(), contour.end());
}

std::vector<geometry_msgs::msg::PoseStamped> ContourManager::contourFrom(
    const nav_msgs::msg::Path& contour, size_t goal) const {
  const auto& poses = contour.poses;
  const auto at = poses.begin() + static_cast<std::ptrdiff_t>(std::min(goal, poses.size()));
  std::vector<geometry_msgs::msg::PoseStamped> from(at, poses.end());
  if (!narrow_contour_) {
    from.insert(from.end(), poses.begin(), at);
    return from;
  }
  // Driven back along the line: each pose faces the one before it on the line.
  for (auto it = std::make_reverse_iterator(at); it != poses.rend(); ++it) {
    from.push_back(*it);
    geometry::setYawKeepingXY(from.back().pose.orientation,
                              geometry::normalizeAngle(geometry::yawOf(*it) + geometry::kPi));
  }
  return from;
}

void ContourManager::countApproachFailure(ContourInfo& info) {
  info.plan_fail_count += 1;
  const double resolution = zoneResolution();
  if (info.area * resolution * resolution < kAbandonArea) {
    info.state = ContourInfo::kAbandoned;
  }
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now() - last_plan_time_)
                          .count();
  if (waited > dynamic_coverage_planner_wait_time_) {
    abandonAllContours();
  }
  LOG_WARN("navigateToContour global planner failed ");
}

}  // namespace planning
