// The path judge: the predicates on what the robot reports around the path (milk on the
// floor, people ahead, moving obstacles).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "planning/local_planning/path_judge.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"

namespace planning {

namespace {

constexpr uint8_t kMilkPixel = 0;
constexpr uint8_t kNoMilkPixel = 255;
// People count when they stand this far ahead at most, and this far to either side.
constexpr double kPeopleAhead = 5.0;
constexpr double kPeopleAside = 2.5;
// Up to this many people the robot slows to the first scale, beyond it to the second.
constexpr std::size_t kFewPeople = 5;
constexpr double kFewPeopleScale = 0.5;
constexpr double kManyPeopleScale = 0.3;
// A crossing nearer than this stops the robot; beyond it the scale grows by half per metre.
constexpr double kStopCrossingDistance = 1.0;
constexpr int64_t kNanosecondsPerMillisecond = 1000000;
constexpr int64_t kNanosecondsPerSecond = 1000000000;

using Point = geometry_msgs::msg::Point;

// Sign of the turn a -> b -> c: 1 counter-clockwise, -1 clockwise, 0 on one line.
int orientation(const Point& a, const Point& b, const Point& c) {
  const double cross = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return (cross > 0.0) - (cross < 0.0);
}

// Segments cross unless both ends of one lie strictly on one side of the other's line: touching
// segments count as crossing. Segments on one line cross only where they overlap, so that an
// obstacle far ahead on the path's line, or behind the robot, does not stop it.
bool segmentsCross(const Point& p1, const Point& p2, const Point& q1, const Point& q2) {
  const int q1_side = orientation(p1, p2, q1);
  const int q2_side = orientation(p1, p2, q2);
  const int p1_side = orientation(q1, q2, p1);
  const int p2_side = orientation(q1, q2, p2);
  if (q1_side == 0 && q2_side == 0 && p1_side == 0 && p2_side == 0) {
    return std::max(std::min(p1.x, p2.x), std::min(q1.x, q2.x)) <=
               std::min(std::max(p1.x, p2.x), std::max(q1.x, q2.x)) &&
           std::max(std::min(p1.y, p2.y), std::min(q1.y, q2.y)) <=
               std::min(std::max(p1.y, p2.y), std::max(q1.y, q2.y));
  }
  return q1_side * q2_side <= 0 && p1_side * p2_side <= 0;
}

bool hasFiniteCoordinates(const nav_msgs::msg::Path& trajectory) {
  return std::all_of(trajectory.poses.begin(), trajectory.poses.end(), [](const auto& pose) {
    return std::isfinite(pose.pose.position.x) && std::isfinite(pose.pose.position.y);
  });
}

// Index of the first path segment crossed by any segment of the trajectories, or the size of
// the path when none is. A trajectory with a coordinate that is not a number would read as on
// every line: it is skipped.
std::size_t firstCrossedSegment(const nav_msgs::msg::Path& path,
                                const std::vector<nav_msgs::msg::Path>& trajectories) {
  const auto& poses = path.poses;
  std::size_t first = poses.size();
  for (const auto& trajectory : trajectories) {
    if (!hasFiniteCoordinates(trajectory)) {
      LOG_WARN(
          "isFeatureCollision skips a predicted trajectory with a coordinate that is not a finite "
          "number");
      continue;
    }
    const auto& steps = trajectory.poses;
    for (std::size_t i = 0; i + 1 < poses.size() && i < first; ++i) {
      for (std::size_t j = 1; j < steps.size(); ++j) {
        if (segmentsCross(poses[i].pose.position, poses[i + 1].pose.position,
                          steps[j - 1].pose.position, steps[j].pose.position)) {
          first = i;
          break;
        }
      }
    }
  }
  return first;
}

}  // namespace

std::optional<rclcpp::Time> PathJudge::now() const {
  const auto node = node_.lock();
  if (!node) {
    return std::nullopt;
  }
  return node->now();
}

bool PathJudge::isStale(const builtin_interfaces::msg::Time& stamp, const rclcpp::Time& now,
                        int32_t timeout_ms) {
  // Read field by field: a report may carry any stamp, and a negative one must not throw.
  const int64_t stamp_ns =
      static_cast<int64_t>(stamp.sec) * kNanosecondsPerSecond + static_cast<int64_t>(stamp.nanosec);
  return now.nanoseconds() - stamp_ns >
         static_cast<int64_t>(timeout_ms) * kNanosecondsPerMillisecond;
}

bool PathJudge::drawMilk() {
  const auto grid = second_gridmap_ ? second_gridmap_->getMultiGridMap() : nullptr;
  const auto* costmap = grid ? grid->getCostmap() : nullptr;
  if (costmap == nullptr) {
    return false;
  }
  const int rows = static_cast<int>(costmap->getSizeInCellsY());
  const int cols = static_cast<int>(costmap->getSizeInCellsX());
  // Keeps its buffer while the grid keeps its size.
  milk_mat_.create(rows, cols, CV_8UC1);
  milk_mat_.setTo(kNoMilkPixel);
  // One state of the grid for the whole picture, read without a lock per cell: the picture
  // covers the whole grid on every cycle that asks for it.
  const auto layers = grid->getLayers();
  if (!layers) {
    return false;
  }
  bool any_milk = false;
  for (int y = 0; y < rows; ++y) {
    auto* row = milk_mat_.ptr<uint8_t>(y);
    for (int x = 0; x < cols; ++x) {
      const auto mx = static_cast<unsigned int>(x);
      const auto my = static_cast<unsigned int>(y);
      if (!layers->contains(mx, my)) {
        continue;
      }
      vantrell_nav2_gridmap::ObsTypeBitMap types;
      types.set(layers->obstacleTypes(layers->index(mx, my)));
      if (types.any(vantrell_nav2_gridmap::ObsTypeBitMap::MILK)) {
        row[x] = kMilkPixel;
        any_milk = true;
      }
    }
  }
  return any_milk;
}

bool PathJudge::isNearMilk(const Path& path, bool skip, double& scale, SpeedLimitParams params) {
  if (skip) {
    return false;
  }
  cv::Mat distance;
  double resolution = 0.0;
  if (drawMilk()) {
    cv::distanceTransform(milk_mat_, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    resolution = second_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  }
  const auto& poses = path.poses;
  double travelled = 0.0;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!toCell(poses[i], mx, my)) {
      scale = params.milk_clean_max_speed;
      return true;
    }
    // Without milk on the grid every cell is infinitely far from it.
    const double milk_distance =
        distance.empty()
            ? std::numeric_limits<double>::infinity()
            : distance.at<float>(static_cast<int>(my), static_cast<int>(mx)) * resolution;
    travelled += base_robot_.calDistance(poses[i], poses[i == 0 ? 0 : i - 1]);
    if (milk_distance <= params.distance_from_path_to_milk) {
      scale = params.milk_clean_max_speed;
      return true;
    }
    if (travelled >= params.milk_need_dis) {
      return false;
    }
  }
  return false;
}

bool PathJudge::isPathNearPeople(const Path& /*path*/, bool /*grid_search*/, double& scale,
                                 SpeedLimitParams params) const {
  const auto reports = communicator_->getPeopleInfoUnit()->getPeopleInfo();
  if (reports.empty()) {
    return false;
  }
  const auto time = now();
  if (!time) {
    return false;
  }
  std::size_t count = 0;
  for (const auto& entry : reports) {
    if (isStale(entry.second.header.stamp, *time, params.people_source_timeout)) {
      continue;
    }
    for (const auto& person : entry.second.people) {
      if (person.x > 0.0 && person.x < kPeopleAhead && std::fabs(person.y) < kPeopleAside) {
        ++count;
      }
    }
  }
  if (count == 0) {
    return false;
  }
  traceLine(trace_logger_, "Attention: there is {} people in the front !!!!!!!!!!!!", count);
  scale = count <= kFewPeople ? kFewPeopleScale : kManyPeopleScale;
  return true;
}

bool PathJudge::isFeatureCollision(const Path& path, double& scale, SpeedLimitParams params) const {
  const auto trajectories = communicator_->getDynamicObstacleUnit()->getDynamicObstacle();
  if (trajectories.empty()) {
    return false;
  }
  const auto time = now();
  if (!time || isStale(trajectories.front().header.stamp, *time, params.people_source_timeout)) {
    return false;
  }
  const std::size_t first = firstCrossedSegment(path, trajectories);
  geometry_msgs::msg::PoseStamped robot;
  if (first >= path.poses.size() || !getRobotPose(robot)) {
    return false;
  }
  const double d = base_robot_.calDistance(robot, path.poses[first]);
  scale = d < kStopCrossingDistance ? 0.0 : std::min(1.0, 0.5 * d - 0.5);
  traceLine(trace_logger_,
            "Attention: there is dynamic obstacle in the path, distance is {}, velocity scale "
            "is: {}",
            d, scale);
  return true;
}

}  // namespace planning
