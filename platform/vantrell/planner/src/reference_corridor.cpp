#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr float kDiagonal = 1.41421356F;

struct FartherThan {
  bool operator()(const AstarNode& a, const AstarNode& b) const { return a.priority > b.priority; }
};
constexpr FartherThan fartherThan{};

}  // namespace

bool ReferenceCorridor::build(const GridView& view, const std::vector<GridCell>& points,
                              double band, double ramp, float full_penalty) {
  prepare(view.cells());
  if (mark_ == std::numeric_limits<std::uint32_t>::max()) {
    std::fill(stamp_.begin(), stamp_.end(), 0U);
    mark_ = 0U;
  }
  ++mark_;
  queue_.clear();
  band_ = static_cast<float>(std::max(0.0, band));
  ramp_ = static_cast<float>(std::max(0.0, ramp));
  full_penalty_ = std::max(0.0F, full_penalty);

  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!view.contains(points[i])) {
      continue;
    }
    if (i + 1 < points.size() && view.contains(points[i + 1])) {
      seedLine(view, points[i], points[i + 1]);
    } else {
      seed(view.index(points[i]), view);
    }
  }
  if (queue_.empty()) {
    // Nothing to keep close to: every cell would pay the full penalty, which changes no
    // choice, so leave the corridor without effect.
    full_penalty_ = 0.0F;
    return false;
  }
  spread(view, band_ + ramp_);
  return true;
}

void ReferenceCorridor::prepare(std::size_t cells) {
  if (stamp_.size() >= cells) {
    return;
  }
  distance_.resize(cells);
  penalty_.resize(cells);
  stamp_.resize(cells, 0U);
}

void ReferenceCorridor::seedLine(const GridView& view, const GridCell& from, const GridCell& to) {
  // Bresenham: every cell the segment passes gets distance 0.
  int x = from.x;
  int y = from.y;
  const int dx = std::abs(to.x - from.x);
  const int dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1;
  const int sy = from.y < to.y ? 1 : -1;
  int error = dx + dy;
  while (true) {
    seed(view.index(GridCell{x, y}), view);
    if (x == to.x && y == to.y) {
      break;
    }
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

void ReferenceCorridor::seed(std::uint32_t index, const GridView& view) {
  if (stamp_[index] == mark_ && distance_[index] == 0.0F) {
    return;
  }
  stamp_[index] = mark_;
  distance_[index] = 0.0F;
  penalty_[index] = penaltyAt(0.0F);
  const GridCell cell = view.cell(index);
  queue_.push_back(AstarNode{0.0F, cell.x, cell.y, 0.0F});
  std::push_heap(queue_.begin(), queue_.end(), fartherThan);
}

void ReferenceCorridor::spread(const GridView& view, float limit) {
  static constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1};
  static constexpr int kDy[8] = {0, 0, 1, -1, 1, 1, -1, -1};
  while (!queue_.empty()) {
    std::pop_heap(queue_.begin(), queue_.end(), fartherThan);
    const AstarNode node = queue_.back();
    queue_.pop_back();
    const std::uint32_t index = view.index(GridCell{node.x, node.y});
    if (node.cost > distance_[index]) {
      continue;
    }
    for (int d = 0; d < 8; ++d) {
      const GridCell next{node.x + kDx[d], node.y + kDy[d]};
      if (!view.contains(next)) {
        continue;
      }
      const float distance = node.cost + (d < 4 ? 1.0F : kDiagonal);
      if (distance >= limit) {
        continue;
      }
      const std::uint32_t next_index = view.index(next);
      if (stamp_[next_index] == mark_ && distance_[next_index] <= distance) {
        continue;
      }
      stamp_[next_index] = mark_;
      distance_[next_index] = distance;
      penalty_[next_index] = penaltyAt(distance);
      queue_.push_back(AstarNode{distance, next.x, next.y, distance});
      std::push_heap(queue_.begin(), queue_.end(), fartherThan);
    }
  }
}

float ReferenceCorridor::penaltyAt(float distance) const {
  if (distance <= band_) {
    return 0.0F;
  }
  if (ramp_ <= 0.0F) {
    return full_penalty_;
  }
  return full_penalty_ * std::min(1.0F, (distance - band_) / ramp_);
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
