#include "planning_sim/track_clearance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "planning/geometry.hpp"

namespace planning_sim {

namespace {

// Floor cells at or above this occupancy are lethal, as the simulated world reads them.
constexpr int8_t kLethalOccupancy = 100;

// Points every `step` along the closed outline; the centre for a shorter outline.
std::vector<cv::Point2d> outlineSamples(const std::vector<geometry_msgs::msg::Point>& outline,
                                        double step) {
  if (outline.size() < 3) {
    return {cv::Point2d(0.0, 0.0)};
  }
  std::vector<cv::Point2d> samples;
  for (size_t i = 0; i < outline.size(); ++i) {
    const cv::Point2d a(outline[i].x, outline[i].y);
    const auto& next = outline[(i + 1) % outline.size()];
    const cv::Point2d b(next.x, next.y);
    const int parts = std::max(1, static_cast<int>(std::ceil(cv::norm(b - a) / step)));
    for (int k = 0; k < parts; ++k) {
      samples.push_back(a + (b - a) * (static_cast<double>(k) / parts));
    }
  }
  return samples;
}

}  // namespace

TrackClearance::TrackClearance(const nav_msgs::msg::OccupancyGrid& floor,
                               const std::vector<geometry_msgs::msg::Point>& footprint)
    : resolution_(floor.info.resolution),
      origin_(floor.info.origin.position.x, floor.info.origin.position.y),
      samples_(outlineSamples(footprint, floor.info.resolution / 2.0)) {
  const int width = static_cast<int>(floor.info.width);
  const int height = static_cast<int>(floor.info.height);
  // Non-zero where the robot may be; the border and lethal cells are the zeros measured to.
  cv::Mat open(height + 2, width + 2, CV_8UC1, cv::Scalar(0));
  for (int row = 0; row < height; ++row) {
    uint8_t* cells = open.ptr<uint8_t>(row + 1) + 1;
    for (int column = 0; column < width; ++column) {
      const size_t index = static_cast<size_t>(row) * width + column;
      cells[column] = index < floor.data.size() && floor.data[index] < kLethalOccupancy ? 255 : 0;
    }
  }
  cv::distanceTransform(open, distance_, cv::DIST_L2, cv::DIST_MASK_PRECISE);
}

void TrackClearance::addObstacle(const std::vector<geometry_msgs::msg::Point>& outline,
                                 const rclcpp::Time& appears) {
  Obstacle obstacle{{}, rclcpp::Time(appears.nanoseconds(), RCL_ROS_TIME)};
  for (const auto& point : outline) {
    obstacle.outline.emplace_back(static_cast<float>(point.x), static_cast<float>(point.y));
  }
  if (obstacle.outline.size() >= 3) {
    obstacles_.push_back(obstacle);
  }
}

double TrackClearance::smallest(const std::vector<geometry_msgs::msg::PoseStamped>& track) const {
  double smallest = std::numeric_limits<double>::quiet_NaN();
  for (const auto& pose : track) {
    const double clearance = at(pose);
    if (!(clearance >= smallest)) {
      smallest = clearance;
    }
  }
  return smallest;
}

double TrackClearance::at(const geometry_msgs::msg::PoseStamped& pose) const {
  const double yaw = planning::geometry::yawOf(pose.pose.orientation);
  const double c = std::cos(yaw);
  const double s = std::sin(yaw);
  const rclcpp::Time stamp(pose.header.stamp, RCL_ROS_TIME);
  double clearance = std::numeric_limits<double>::max();
  for (const auto& sample : samples_) {
    const cv::Point2d point(pose.pose.position.x + c * sample.x - s * sample.y,
                            pose.pose.position.y + s * sample.x + c * sample.y);
    clearance = std::min(clearance, toFloor(point));
    for (const auto& obstacle : obstacles_) {
      if (stamp >= obstacle.appears) {
        // Positive inside the outline.
        const double inside = cv::pointPolygonTest(
            obstacle.outline, cv::Point2f(static_cast<float>(point.x), static_cast<float>(point.y)),
            true);
        clearance = std::min(clearance, std::max(0.0, -inside));
      }
    }
  }
  return clearance;
}

double TrackClearance::toFloor(const cv::Point2d& point) const {
  const int column = static_cast<int>(std::floor((point.x - origin_.x) / resolution_)) + 1;
  const int row = static_cast<int>(std::floor((point.y - origin_.y) / resolution_)) + 1;
  if (column < 0 || row < 0 || column >= distance_.cols || row >= distance_.rows) {
    return 0.0;
  }
  return std::max(0.0, (distance_.at<float>(row, column) - 0.5) * resolution_);
}

}  // namespace planning_sim
