#include "planning/geometry.hpp"

#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "logger/logger.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "tf2/utils.h"
// The real tf2::getYaw reads a message through the conversions declared here.
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace planning {
namespace geometry {

double yawOf(const geometry_msgs::msg::Quaternion& orientation) { return tf2::getYaw(orientation); }

double yawOf(const geometry_msgs::msg::PoseStamped& pose) { return yawOf(pose.pose.orientation); }

geometry_msgs::msg::Quaternion yawToQuaternion(double yaw) {
  geometry_msgs::msg::Quaternion q;
  q.x = 0.0;
  q.y = 0.0;
  setYawKeepingXY(q, yaw);
  return q;
}

void setYawKeepingXY(geometry_msgs::msg::Quaternion& orientation, double yaw) {
  double sin_half = 0.0;
  double cos_half = 1.0;
  ::sincos(yaw * 0.5, &sin_half, &cos_half);
  orientation.z = sin_half;
  orientation.w = cos_half;
}

geometry_msgs::msg::PoseStamped planarPose(double x, double y, double yaw,
                                           const std::string& frame) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation = yawToQuaternion(yaw);
  return pose;
}

double planarDistance(const geometry_msgs::msg::Point& a, const geometry_msgs::msg::Point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

double planarDistance(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b) {
  return planarDistance(a.pose.position, b.pose.position);
}

bool isFinitePose(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

double headingBetween(const geometry_msgs::msg::PoseStamped& from,
                      const geometry_msgs::msg::PoseStamped& to) {
  return std::atan2(to.pose.position.y - from.pose.position.y,
                    to.pose.position.x - from.pose.position.x);
}

double normalizeAngle(double angle) {
  // remainder keeps the result exact for any finite angle, however many turns it holds.
  double wrapped = std::remainder(angle, 2.0 * kPi);
  if (wrapped <= -kPi) {
    wrapped += 2.0 * kPi;
  }
  return wrapped;
}

bool truncatedCount(double quotient, int& count) {
  // Anything outside (INT_MIN - 1, INT_MAX + 1) would make the conversion undefined.
  if (!(quotient > static_cast<double>(INT_MIN) - 1.0) ||
      !(quotient < static_cast<double>(INT_MAX) + 1.0)) {
    return false;
  }
  count = static_cast<int>(quotient);
  return true;
}

bool viewOf(const vantrell_nav2_gridmap::GridMapROS* grid_map, MapView& view) {
  view.grid = grid_map != nullptr ? grid_map->getMultiGridMap() : nullptr;
  view.costmap = view.grid ? view.grid->getCostmap() : nullptr;
  return view.costmap != nullptr;
}

bool openMap(const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map, const char* owner,
             const char* operation, MapView& view) {
  if (!grid_map) {
    LOG_ERROR_FROM(operation, "{}::{} no grid map given", owner, operation);
    return false;
  }
  if (!viewOf(grid_map.get(), view)) {
    LOG_ERROR_FROM(operation, "{}::{} the grid map {} has no costmap", owner, operation,
                   grid_map->get_name());
    return false;
  }
  return true;
}

}  // namespace geometry

geometry_msgs::msg::Point32 calculatePoint(const geometry_msgs::msg::Point32& start, double angle,
                                           double distance) {
  geometry_msgs::msg::Point32 point;
  point.x = static_cast<float>(static_cast<double>(start.x) + distance * std::cos(angle));
  point.y = static_cast<float>(static_cast<double>(start.y) + distance * std::sin(angle));
  point.z = start.z;
  return point;
}

}  // namespace planning

namespace {

double footprintMax(const vantrell_nav2_gridmap::GridMapROS* grid_map,
                    double geometry_msgs::msg::Point::*axis, const char* caller) {
  if (grid_map == nullptr) {
    throw std::invalid_argument(std::string(caller) + ": no grid map given");
  }
  const auto costmap_ros = grid_map->getCostmapROS();
  if (!costmap_ros) {
    throw std::invalid_argument(std::string(caller) + ": the grid map has no costmap");
  }
  const std::vector<geometry_msgs::msg::Point> footprint = costmap_ros->getRobotFootprint();
  double max = 0.0;
  for (const auto& point : footprint) {
    // Written so that a NaN coordinate never replaces the result.
    if (point.*axis > max) {
      max = point.*axis;
    }
  }
  return max;
}

}  // namespace

double getFootprintMaxY(const vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, &geometry_msgs::msg::Point::y, "getFootprintMaxY");
}

double getFootprintMaxX(const vantrell_nav2_gridmap::GridMapROS* grid_map) {
  return footprintMax(grid_map, &geometry_msgs::msg::Point::x, "getFootprintMaxX");
}
