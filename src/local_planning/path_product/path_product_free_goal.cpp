// The free goal beyond a blocked stretch of a path.

#include <algorithm>
#include <cmath>
#include <vector>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/path_product.hpp"

namespace planning {

using geometry_msgs::msg::PoseStamped;

namespace {

enum class CellState { kOffMap, kBlocked, kFree };

// Segment lengths are summed in plain double precision here, not with the
// robot geometry: the look-ahead and clearance are compared against them.
double segmentLength(const PoseStamped& a, const PoseStamped& b) {
  const double dx = b.pose.position.x - a.pose.position.x;
  const double dy = b.pose.position.y - a.pose.position.y;
  return std::sqrt(dx * dx + dy * dy);
}

class CostProbe {
 public:
  CostProbe(const geometry::MapView& view, unsigned char threshold)
      : view_(view), threshold_(threshold) {}

  CellState state(const PoseStamped& pose) const {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!view_.toCell(pose, mx, my)) {
      return CellState::kOffMap;
    }
    const unsigned int cost = view_.grid->getCost(mx, my, false);
    return cost >= threshold_ ? CellState::kBlocked : CellState::kFree;
  }

 private:
  const geometry::MapView& view_;
  const unsigned int threshold_;
};

// Outcome of a clearance walk: clear, not clear, or a pose off the map.
enum class Clearance { kClear, kNotClear, kOffMap };

// The poses within `clearance` of path behind pose j, nearest first.
Clearance clearanceBehind(const std::vector<PoseStamped>& poses, size_t j, double clearance,
                          const CostProbe& probe) {
  double walked = 0.0;
  for (size_t k = j; k > 0; --k) {
    walked += segmentLength(poses[k - 1], poses[k]);
    if (walked >= clearance) {
      return Clearance::kClear;
    }
    const CellState state = probe.state(poses[k - 1]);
    if (state == CellState::kOffMap) {
      return Clearance::kOffMap;
    }
    if (state == CellState::kBlocked) {
      return Clearance::kNotClear;
    }
  }
  return Clearance::kClear;
}

// The poses within `clearance` of path ahead of pose j, up to pose `end`.
Clearance clearanceAhead(const std::vector<PoseStamped>& poses, size_t j, size_t end,
                         double clearance, const CostProbe& probe) {
  double walked = 0.0;
  for (size_t k = j + 1; k <= end; ++k) {
    walked += segmentLength(poses[k - 1], poses[k]);
    if (walked >= clearance) {
      return Clearance::kClear;
    }
    const CellState state = probe.state(poses[k]);
    if (state == CellState::kOffMap) {
      return Clearance::kOffMap;
    }
    if (state == CellState::kBlocked) {
      return Clearance::kNotClear;
    }
  }
  return Clearance::kClear;
}

// The first pose at which the path length reaches the look-ahead, else the last.
size_t lookAheadEnd(const std::vector<PoseStamped>& poses, double look_ahead) {
  double walked = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    walked += segmentLength(poses[i - 1], poses[i]);
    if (walked >= look_ahead) {
      return i;
    }
  }
  return poses.size() - 1;
}

}  // namespace

bool PathProduct::redefineGoal(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                               PoseStamped goal, const nav_msgs::msg::Path& path,
                               unsigned char cost_threshold, double look_ahead, double clearance,
                               int& index) const {
  const auto& poses = path.poses;
  if (poses.empty()) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "redefineGoal", view)) {
    return false;
  }
  LOG_INFO("path.size is {}", poses.size());
  LOG_INFO("pose is {} {} frame_id is {}", goal.pose.position.x, goal.pose.position.y,
           goal.header.frame_id);

  const CostProbe probe(view, cost_threshold);
  size_t end = lookAheadEnd(poses, look_ahead);
  if (probe.state(poses[end]) == CellState::kOffMap) {
    LOG_INFO("end_index is not in gridmap_ros, take a step back");
    end = end > 0 ? end - 1 : 0;
  }

  bool seen_blocked = false;
  bool off_map = false;
  for (size_t j = 0; j <= end && !off_map; ++j) {
    // Both walks run for every pose, before any blocked pose is seen, so a pose
    // off the map near the path's start ends the search.
    Clearance clear = clearanceBehind(poses, j, clearance, probe);
    if (clear != Clearance::kOffMap && j < end) {
      const Clearance ahead = clearanceAhead(poses, j, end, clearance, probe);
      if (ahead != Clearance::kClear) {
        clear = ahead;
      }
    }
    const CellState here = clear == Clearance::kOffMap ? CellState::kOffMap : probe.state(poses[j]);
    if (here == CellState::kOffMap) {
      off_map = true;
    } else if (seen_blocked && here == CellState::kFree && clear == Clearance::kClear) {
      index = static_cast<int>(j);
      return true;
    } else if (here == CellState::kBlocked) {
      seen_blocked = true;
    }
  }

  if (off_map) {
    LOG_WARN("PathProduct::redefineGoal worldToMap failed!!!");
  } else {
    LOG_WARN("not found the free point !!!!");
  }
  index = static_cast<int>(end);
  return false;
}

std::optional<size_t> PathProduct::goalBeyondObstacle(
    const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map,
    const nav_msgs::msg::Path& path, size_t obstacle, unsigned char cost_threshold,
    double look_ahead, double clearance) const {
  const auto& poses = path.poses;
  geometry::MapView view;
  if (obstacle >= poses.size() ||
      !geometry::openMap(grid_map, "PathProduct", "goalBeyondObstacle", view)) {
    return std::nullopt;
  }
  const CostProbe probe(view, cost_threshold);
  size_t end = obstacle;
  while (end + 1 < poses.size() && probe.state(poses[end + 1]) != CellState::kOffMap) {
    ++end;
  }
  const size_t first = std::max(obstacle + 1, std::min(lookAheadEnd(poses, look_ahead), end));
  for (size_t j = first; j <= end; ++j) {
    if (probe.state(poses[j]) == CellState::kFree &&
        clearanceBehind(poses, j, clearance, probe) != Clearance::kNotClear &&
        clearanceAhead(poses, j, end, clearance, probe) != Clearance::kNotClear) {
      return j;
    }
  }
  return std::nullopt;
}

}  // namespace planning
