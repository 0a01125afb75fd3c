// The waypoint planner's cuts: the local path at the robot, the controller's stretch out of it,
// and the widening of an index window.
#include <algorithm>
#include <limits>
#include <vector>

#include "logger/logger.hpp"
#include "planning/local_planning/local_way_points.hpp"

namespace planning {

namespace {

// The end of a piece whose ends lie closer than this is checked for obstacles before the
// controller gets it: a short piece tends to end at a goal set against something.
constexpr double kShortPathLength = 2.0;
// End poses nearer than this to an obstacle are dropped from such a piece.
constexpr double kEndClearance = 0.55;
// A robot this far from every pose is farther than any pose: nothing scanned is nearer.
constexpr double kNoPoseNear = 100.0;

}  // namespace

void LocalWayPoints::cutPath(Path& local, PoseStamped& robot, bool& far_from_path,
                             bool& sharp_angle) {
  auto& poses = local.nav_path.poses;
  double best = kNoPoseNear;
  size_t nearest = 0;
  double farthest = 0.0;
  double length = 0.0;
  for (size_t i = 0; i + 1 < poses.size(); ++i) {
    length += base_robot_.calDistance(poses[i], poses[i + 1]);
    const double d = base_robot_.calDistance(robot, poses[i]);
    if (d < best) {
      best = d;
      nearest = i;
    }
    farthest = std::max(farthest, d);
    if (length >= cut_path_forward_dis_) {
      // The robot is alongside the whole stretch: it may as well start at its end.
      if (cut_path_tolerance_max_dis_ >= farthest) {
        nearest = i;
      }
      break;
    }
  }
  if (best >= cut_path_forward_dis_) {
    LOG_WARN("The robot is far away from the path !!!!!!!!!");
    far_from_path = true;
  }
  trace("cut path the index is: {}", nearest);
  if (nearest <= 1) {
    if (zero_index_count_ < std::numeric_limits<int32_t>::max()) {
      ++zero_index_count_;
    }
    sharp_angle = zero_index_count_ >= tolerance_zero_index_count_;
  } else {
    zero_index_count_ = 0;
  }
  poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(nearest));
}

void LocalWayPoints::cutPathToDwb(Path& local, Path& out, PoseStamped& robot) {
  const auto& poses = local.nav_path.poses;
  if (poses.empty()) {
    out.nav_path.poses.clear();
    return;
  }
  if (base_robot_.calDistance(poses.front(), poses.back()) < kShortPathLength &&
      !trimEndNearObstacles(local)) {
    // Whatever a strategy left in `out` is no stretch of this path.
    out.nav_path.poses.clear();
    return;
  }
  std::vector<PoseStamped> stretch{poses.front()};
  double length = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    const double longer = length + base_robot_.calDistance(poses[i - 1], poses[i]);
    if (!(longer < path_to_dwb_dis_)) {
      break;
    }
    length = longer;
    stretch.push_back(poses[i]);
  }
  while (stretch.size() >= 2 &&
         base_robot_.calDistance(robot, stretch.back()) < min_dis_cur_to_last_ &&
         length > min_dis_path_to_dwb_) {
    length -= base_robot_.calDistance(stretch[stretch.size() - 2], stretch.back());
    stretch.pop_back();
  }
  out.nav_path.header = local.nav_path.header;
  out.nav_path.poses = std::move(stretch);
}

bool LocalWayPoints::trimEndNearObstacles(Path& local) const {
  auto& poses = local.nav_path.poses;
  const auto grid = local_gridmap_->getMultiGridMap();
  while (!poses.empty()) {
    const auto& position = poses.back().pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!grid || !grid->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
      LOG_ERROR("LocalWayPoints::cutPathToDwb Failed worldToMap");
      return false;
    }
    if (grid->getDistance(mx, my) >= kEndClearance) {
      return true;
    }
    LOG_WARN("path vec pop, remained path size is: ");
    poses.pop_back();
  }
  LOG_ERROR(
      "LocalWayPoints::cutPathToDwb the points remained of the path is cosed to the obstacle ");
  return false;
}

void LocalWayPoints::tuneIndexPoint(Path& path, int& start, int& end) {
  const auto& poses = path.nav_path.poses;
  if (poses.empty()) {
    return;
  }
  const int last = static_cast<int>(poses.size()) - 1;
  start = std::clamp(start, 0, last);
  end = std::clamp(end, 0, last);
  const auto far_enough = [&](int i, int from, double gap) {
    return base_robot_.calDistance(poses[static_cast<size_t>(i)],
                                   poses[static_cast<size_t>(from)]) >= gap;
  };
  int widened = 0;
  for (int i = start - 1; start > 1 && i >= 0; --i) {
    if (far_enough(i, start, start_front_dis_)) {
      widened = i;
      break;
    }
  }
  start = widened;
  widened = last;
  for (int i = end + 1; i <= last; ++i) {
    if (far_enough(i, end, end_back_dis_)) {
      widened = i;
      break;
    }
  }
  end = widened;
}

}  // namespace planning
