#include "planning/custom_planning/path_metrics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace planning {
namespace custom_planning {

double cal_pos_dis(const geometry_msgs::msg::PoseStamped& a,
                   const geometry_msgs::msg::PoseStamped& b) {
  const double dx = a.pose.position.x - b.pose.position.x;
  const double dy = a.pose.position.y - b.pose.position.y;
  return std::sqrt(dx * dx + dy * dy);
}

double cal_point2path(const nav_msgs::msg::Path& path,
                      const geometry_msgs::msg::PoseStamped& pose) {
  double nearest = std::numeric_limits<double>::max();
  for (const auto& p : path.poses) {
    nearest = std::min(nearest, cal_pos_dis(p, pose));
  }
  return nearest;
}

double compare_paths(const nav_msgs::msg::Path& a, const nav_msgs::msg::Path& b, double length) {
  if (a.poses.empty() || b.poses.empty()) {
    return -1.0;
  }
  const auto* previous = &b.poses.front();
  double sum = 0.0;
  double travelled = 0.0;
  int count = 0;
  for (size_t i = 0; i < b.poses.size(); ++i) {
    const auto& p = b.poses[i];
    sum += cal_point2path(a, p);
    ++count;
    travelled += cal_pos_dis(*previous, p);
    previous = &p;
    if (travelled >= length || i + 1 == b.poses.size()) {
      break;
    }
  }
  return sum / count;
}

}  // namespace custom_planning
}  // namespace planning
