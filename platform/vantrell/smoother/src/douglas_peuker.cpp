#include "vantrell_nav2_smoother/douglas_peuker.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "polyline_simplification.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "vec2.hpp"

using vantrell_nav2_smoother::Vec2;

namespace {

Vec2 positionOf(const geometry_msgs::msg::PoseStamped& pose) {
  return {pose.pose.position.x, pose.pose.position.y};
}

bool positionsOf(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                 std::vector<Vec2>& points) {
  points.clear();
  for (const auto& pose : poses) {
    const Vec2 p = positionOf(pose);
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      return false;
    }
    points.push_back(p);
  }
  return true;
}

double checked(double value, const char* name) {
  if (!std::isfinite(value) || value < 0.0) {
    throw std::invalid_argument(std::string("DouglasPeuker: ") + name +
                                " must be finite and not negative, got " + std::to_string(value));
  }
  return value;
}

}  // namespace

DouglasPeuker::DouglasPeuker(double select_corner_error, double select_zelto_error,
                             double select_zelto_theta, double dis_zelto_to_corner,
                             double linear_need_dis,
                             std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap)
    : select_corner_error_(checked(select_corner_error, "select_corner_error")),
      select_zelto_error_(checked(select_zelto_error, "select_zelto_error")),
      select_zelto_theta_(checked(select_zelto_theta, "select_zelto_theta") * M_PI / 180.0),
      dis_zelto_to_corner_(checked(dis_zelto_to_corner, "dis_zelto_to_corner")),
      linear_need_dis_(checked(linear_need_dis, "linear_need_dis")),
      gridmap_(std::move(gridmap)) {
  if (!gridmap_) {
    throw std::invalid_argument("DouglasPeuker needs a grid map, got an empty pointer");
  }
}

void DouglasPeuker::reset() {
  simplified_.clear();
  candidates_.clear();
  has_zelto_ = false;
  zelto_pose_ = geometry_msgs::msg::PoseStamped();
  zelto_yaw_ = 0.0;
}

void DouglasPeuker::processPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  simplified_.clear();
  candidates_.clear();
  std::vector<Vec2> points;
  if (poses.size() < 3 || !positionsOf(poses, points)) {
    return;
  }
  simplified_ = vantrell_nav2_smoother::simplifyPolyline(points, select_corner_error_);
  for (size_t j = 1; j + 1 < simplified_.size(); ++j) {
    double yaw = 0.0;
    if (isCorner(points, j, yaw)) {
      const size_t index = simplified_[j];
      candidates_.push_back(Corner{points[index].x, points[index].y, yaw, index});
    }
  }
  storeNearCorner(poses);
}

bool DouglasPeuker::isCorner(const std::vector<Vec2>& points, size_t vertex, double& yaw) const {
  const size_t before = simplified_[vertex - 1];
  const size_t at = simplified_[vertex];
  const size_t after = simplified_[vertex + 1];
  const Vec2 in = points[at] - points[before];
  const Vec2 out = points[after] - points[at];
  if (in.norm() <= 0.0 || out.norm() < linear_need_dis_ || out.norm() <= 0.0) {
    return false;
  }
  const double turn = std::abs(std::atan2(in.cross(out), in.dot(out)));
  if (turn <= select_zelto_theta_ ||
      vantrell_nav2_smoother::largestDeviation(points, at, after) > select_zelto_error_) {
    return false;
  }
  yaw = std::atan2(out.y, out.x);
  return true;
}

void DouglasPeuker::storeNearCorner(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  geometry_msgs::msg::PoseStamped robot;
  if (!gridmap_->getCostmapROS()->getRobotPose(robot)) {
    robot = poses.front();
  }
  for (const auto& corner : candidates_) {
    const Vec2 offset = Vec2{corner.x, corner.y} - positionOf(robot);
    if (offset.norm() < dis_zelto_to_corner_) {
      store(poses[corner.index], corner.yaw);
      return;
    }
  }
}

bool DouglasPeuker::locate(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                           const Corner& corner, size_t& index) const {
  const Vec2 target{corner.x, corner.y};
  if (corner.index < poses.size() && (positionOf(poses[corner.index]) - target).norm() <= 1e-9) {
    index = corner.index;
    return true;
  }
  double nearest = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < poses.size(); ++i) {
    const double d = (positionOf(poses[i]) - target).norm();
    if (d < nearest) {
      nearest = d;
      index = i;
    }
  }
  return nearest <= select_corner_error_;
}

bool DouglasPeuker::cutPathFromZelto(std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t k,
                                     double forward_offset) {
  size_t j = 0;
  if (k >= candidates_.size() || poses.empty() || !std::isfinite(forward_offset) ||
      forward_offset < 0.0 || !locate(poses, candidates_[k], j)) {
    return false;
  }
  double left = forward_offset;
  for (; j + 1 < poses.size(); ++j) {
    const Vec2 a = positionOf(poses[j]);
    const Vec2 segment = positionOf(poses[j + 1]) - a;
    const double length = segment.norm();
    if (length < left) {
      left -= length;
      continue;
    }
    if (left > 0.0) {
      geometry_msgs::msg::PoseStamped cut = poses[j];
      cut.pose.position.x = a.x + segment.x * (left / length);
      cut.pose.position.y = a.y + segment.y * (left / length);
      tf2::Quaternion q;
      q.setRPY(0.0, 0.0, std::atan2(segment.y, segment.x));
      cut.pose.orientation = tf2::toMsg(q);
      poses.resize(j + 1);
      poses.push_back(cut);
    } else {
      poses.resize(j + 1);
    }
    break;
  }
  store(poses.back(), candidates_[k].yaw);
  return true;
}

void DouglasPeuker::store(const geometry_msgs::msg::PoseStamped& pose, double yaw) {
  zelto_pose_ = pose;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  zelto_pose_.pose.orientation = tf2::toMsg(q);
  zelto_yaw_ = yaw;
  has_zelto_ = true;
}
