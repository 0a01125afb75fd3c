#include "global_planning_benchmark/reference_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <queue>
#include <tuple>

#include "nav2_costmap_2d/cost_values.hpp"

namespace global_planning_benchmark {

namespace {

constexpr double kCostWeight = 0.016;
constexpr double kTurningRoomCost = 50.0;
constexpr uint8_t kCentreBlocked = vantrell_nav2_gridmap::GridLayers::DANGER_LEVEL_0;
constexpr uint8_t kNoTurningRoom = vantrell_nav2_gridmap::GridLayers::DANGER_LEVEL_1;
constexpr uint32_t kNoParent = std::numeric_limits<uint32_t>::max();

constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1};
constexpr int kDy[8] = {0, 0, 1, -1, 1, 1, -1, -1};

double octile(int64_t x, int64_t y, int64_t gx, int64_t gy) {
  const double dx = static_cast<double>(std::llabs(x - gx));
  const double dy = static_cast<double>(std::llabs(y - gy));
  return std::max(dx, dy) + (std::sqrt(2.0) - 1.0) * std::min(dx, dy);
}

int64_t cellOf(double position, double origin, double resolution) {
  return static_cast<int64_t>(std::floor((position - origin) / resolution));
}

}  // namespace

StepCosts::StepCosts(const vantrell_nav2_gridmap::GridLayers& layers, bool cost_aware,
                     bool keep_turning_room)
    : layers_(layers), cost_aware_(cost_aware), keep_turning_room_(keep_turning_room) {}

bool StepCosts::usable(size_t index) const {
  return (layers_.danger[index] & kCentreBlocked) == 0 &&
         layers_.cost[index] < nav2_costmap_2d::LETHAL_OBSTACLE;
}

double StepCosts::weight(size_t index) const {
  double counted = cost_aware_ ? layers_.cost[index] : 0.0;
  if (keep_turning_room_ && (layers_.danger[index] & kNoTurningRoom) != 0) {
    counted += kTurningRoomCost;
  }
  return 1.0 + kCostWeight * counted;
}

std::optional<double> StepCosts::step(int64_t x, int64_t y, int64_t nx, int64_t ny) const {
  const auto inside = [this](int64_t cx, int64_t cy) {
    return cx >= 0 && cy >= 0 && cx < layers_.size_x && cy < layers_.size_y;
  };
  const int64_t dx = nx - x;
  const int64_t dy = ny - y;
  if (std::llabs(dx) > 1 || std::llabs(dy) > 1 || (dx == 0 && dy == 0) || !inside(x, y) ||
      !inside(nx, ny)) {
    return std::nullopt;
  }
  const auto index = [this](int64_t cx, int64_t cy) {
    return static_cast<size_t>(cy) * layers_.size_x + static_cast<size_t>(cx);
  };
  if (!usable(index(x, y)) || !usable(index(nx, ny))) {
    return std::nullopt;
  }
  const bool diagonal = dx != 0 && dy != 0;
  if (diagonal && (!usable(index(nx, y)) || !usable(index(x, ny)))) {
    return std::nullopt;
  }
  return (diagonal ? std::sqrt(2.0) : 1.0) * weight(index(nx, ny));
}

std::optional<double> StepCosts::pathCost(const nav_msgs::msg::Path& path) const {
  double total = 0.0;
  for (size_t i = 1; i < path.poses.size(); ++i) {
    const auto& from = path.poses[i - 1].pose.position;
    const auto& to = path.poses[i].pose.position;
    const auto cost = step(cellOf(from.x, layers_.origin_x, layers_.resolution),
                           cellOf(from.y, layers_.origin_y, layers_.resolution),
                           cellOf(to.x, layers_.origin_x, layers_.resolution),
                           cellOf(to.y, layers_.origin_y, layers_.resolution));
    if (!cost) {
      return std::nullopt;
    }
    total += *cost;
  }
  return total;
}

ReferenceSearch::ReferenceSearch(const StepCosts& costs)
    : costs_(costs),
      cost_so_far_(costs.layers().cost.size()),
      parent_(costs.layers().cost.size()),
      stamp_(costs.layers().cost.size(), 0U) {}

ReferenceSearch::Result ReferenceSearch::search(int64_t sx, int64_t sy, int64_t gx, int64_t gy) {
  const auto& layers = costs_.layers();
  const int64_t width = layers.size_x;
  const auto inside = [&](int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < width && y < layers.size_y;
  };
  Result result;
  if (!inside(sx, sy) || !inside(gx, gy)) {
    return result;
  }
  const auto start = static_cast<uint32_t>(sy * width + sx);
  const auto goal = static_cast<uint32_t>(gy * width + gx);
  if (!costs_.usable(start) || !costs_.usable(goal)) {
    return result;
  }
  round_ += 2;  // round_ marks a cell seen in this search, round_ + 1 a cell settled
  // (estimate, -cost so far, cell): cheapest estimate first, the deeper of two equal ones first.
  using Entry = std::tuple<double, double, uint32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  stamp_[start] = round_;
  cost_so_far_[start] = 0.0;
  parent_[start] = kNoParent;
  open.emplace(octile(sx, sy, gx, gy), -0.0, start);
  while (!open.empty()) {
    const auto [estimate, negative_cost, index] = open.top();
    open.pop();
    if (stamp_[index] == round_ + 1 || -negative_cost > cost_so_far_[index]) {
      continue;
    }
    stamp_[index] = round_ + 1;
    ++result.expanded;
    if (index == goal) {
      result.found = true;
      result.cost = cost_so_far_[index];
      result.path_cells = pathCells(goal);
      return result;
    }
    const int64_t x = index % width;
    const int64_t y = index / width;
    for (int d = 0; d < 8; ++d) {
      const int64_t nx = x + kDx[d];
      const int64_t ny = y + kDy[d];
      const auto step = costs_.step(x, y, nx, ny);
      if (!step) {
        continue;
      }
      const auto next = static_cast<uint32_t>(ny * width + nx);
      const double cost = cost_so_far_[index] + *step;
      if (stamp_[next] == round_ + 1 || (stamp_[next] == round_ && cost_so_far_[next] <= cost)) {
        continue;
      }
      stamp_[next] = round_;
      cost_so_far_[next] = cost;
      parent_[next] = index;
      open.emplace(cost + octile(nx, ny, gx, gy), -cost, next);
    }
  }
  return result;
}

size_t ReferenceSearch::pathCells(uint32_t goal) const {
  size_t cells = 0;
  for (uint32_t index = goal; index != kNoParent; index = parent_[index]) {
    ++cells;
  }
  return cells;
}

}  // namespace global_planning_benchmark
