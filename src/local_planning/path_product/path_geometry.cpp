#include "path_geometry.hpp"

#include <climits>
#include <cmath>

#include "logger/logger.hpp"

namespace planning {
namespace path_geometry {

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

double planarDistance(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b) {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
}

double headingBetween(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b) {
  return std::atan2(b.pose.position.y - a.pose.position.y, b.pose.position.x - a.pose.position.x);
}

bool openMap(const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map,
             const char* operation, MapView& view) {
  if (!grid_map) {
    LOG_ERROR_FROM(operation, "PathProduct::{} no grid map given", operation);
    return false;
  }
  view.grid = grid_map->getMultiGridMap();
  view.costmap = view.grid ? view.grid->getCostmap() : nullptr;
  if (view.costmap == nullptr) {
    LOG_ERROR_FROM(operation, "PathProduct::{} the grid map {} has no costmap", operation,
                   grid_map->get_name());
    return false;
  }
  return true;
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

}  // namespace path_geometry
}  // namespace planning
