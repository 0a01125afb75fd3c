#include "vantrell_nav2_planner/astar2/grid_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr float kDiagonal = 1.41421356F;
constexpr float kOctileSaving = kDiagonal - 2.0F;

// Directions 0-3 are the four sides, 4-7 the diagonals; a diagonal needs both sides it passes.
constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1};
constexpr int kDy[8] = {0, 0, 1, -1, 1, 1, -1, -1};
constexpr int kSideX[8] = {0, 0, 0, 0, 0, 1, 0, 1};  // side direction along x of a diagonal
constexpr int kSideY[8] = {0, 0, 0, 0, 2, 2, 3, 3};  // side direction along y of a diagonal

// Lower priority first; on equal priority the deeper node first, which settles ties along one
// line instead of widening a front of equal cost.
// Priority and cost so far folded into one integer, lower first: the bits of a non-negative
// float order as the float does, and the complement of the cost puts the deeper of two equal
// priorities first. One integer comparison keeps the heap's sift loops free of hard-to-predict
// branches.
inline std::uint64_t orderKey(const AstarNode& node) {
  std::uint32_t priority = 0;
  std::uint32_t cost = 0;
  std::memcpy(&priority, &node.priority, sizeof(priority));
  std::memcpy(&cost, &node.cost, sizeof(cost));
  return (static_cast<std::uint64_t>(priority) << 32) | static_cast<std::uint32_t>(~cost);
}

// A function object, not a function, so that the heap operations inline it.
struct LaterThan {
  bool operator()(const AstarNode& a, const AstarNode& b) const {
    return orderKey(a) > orderKey(b);
  }
};
constexpr LaterThan laterThan{};

float octile(const GridCell& from, const GridCell& to) {
  const float dx = static_cast<float>(std::abs(from.x - to.x));
  const float dy = static_cast<float>(std::abs(from.y - to.y));
  return dx + dy + kOctileSaving * std::min(dx, dy);
}

std::int64_t squaredDistance(const GridCell& a, const GridCell& b) {
  const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
  const std::int64_t dy = static_cast<std::int64_t>(a.y) - b.y;
  return dx * dx + dy * dy;
}

}  // namespace

bool isBlockedFailure(SearchStatus status) {
  return status == SearchStatus::kStartBlocked || status == SearchStatus::kGoalBlocked ||
         status == SearchStatus::kNoRoute;
}

GridSearch::GridSearch(const GridView& view, SearchWorkspace& workspace)
    : view_(view), workspace_(workspace) {
  const std::int64_t row = static_cast<std::int64_t>(view_.size_x);
  for (int d = 0; d < 8; ++d) {
    offset_[d] = kDy[d] * row + kDx[d];
  }
}

SearchOutcome GridSearch::run(const GridCell& start, const GridCell& goal,
                              const SearchSettings& settings) {
  SearchOutcome outcome;
  workspace_.path().clear();
  workspace_.stepOut().clear();
  if (view_.cells() == 0U || view_.cost == nullptr || view_.danger == nullptr ||
      !view_.contains(start)) {
    outcome.status = SearchStatus::kStartOffMap;
    return outcome;
  }
  workspace_.prepare(view_.cells());
  prepareWeights(settings);
  corridor_ = settings.corridor;
  max_expansions_ = settings.max_expansions;

  std::uint32_t first = view_.index(start);
  if (!usable(first) && !stepOut(start, settings.start_radius, first)) {
    outcome.status = SearchStatus::kStartBlocked;
    return outcome;
  }
  std::uint32_t target = 0;
  outcome.status = pickTarget(goal, settings.goal_radius, target);
  if (outcome.status != SearchStatus::kFound) {
    return outcome;
  }
  if (astar(first, target, outcome)) {
    tracePath(target);
  } else if (outcome.status == SearchStatus::kNoRoute &&
             nearestReached(goal, settings.goal_radius, target)) {
    outcome.status = SearchStatus::kFound;
    tracePath(target);
  } else {
    return outcome;
  }
  outcome.cost = workspace_.costSoFar(target);
  outcome.goal_reached = view_.contains(goal) && target == view_.index(goal);
  return outcome;
}

void GridSearch::prepareWeights(const SearchSettings& settings) {
  const float tight = settings.keep_turning_room ? kCostWeight * kTurningRoomCost : 0.0F;
  for (int cost = 0; cost < 256; ++cost) {
    const bool passable = cost < nav2_costmap_2d::LETHAL_OBSTACLE;
    const float counted = settings.cost_aware ? static_cast<float>(cost) : 0.0F;
    weight_[cost] = passable ? 1.0F + kCostWeight * counted : 0.0F;
    tight_weight_[cost] = passable ? weight_[cost] + tight : 0.0F;
    crossable_[cost] =
        cost != nav2_costmap_2d::LETHAL_OBSTACLE && cost != nav2_costmap_2d::NO_INFORMATION;
  }
}

bool GridSearch::stepOut(const GridCell& start, double radius, std::uint32_t& first) {
  // Dijkstra by step length from the start, over crossable cells within the radius; the first
  // usable cell settled is the nearest way out.
  if (!(radius > 0.0)) {
    return false;
  }
  const double radius_squared = std::min(radius * radius, 1e18);
  workspace_.beginRound();
  auto& heap = workspace_.heap();
  const std::uint32_t origin = view_.index(start);
  workspace_.open(origin, 0.0F, SearchWorkspace::kNoParent);
  heap.push_back(AstarNode{0.0F, start.x, start.y, 0.0F});
  bool found = false;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), laterThan);
    const AstarNode node = heap.back();
    heap.pop_back();
    const GridCell cell{node.x, node.y};
    const std::uint32_t index = view_.index(cell);
    if (workspace_.closed(index)) {
      continue;
    }
    workspace_.close(index);
    if (usable(index)) {
      first = index;
      found = true;
      break;
    }
    for (int d = 0; d < 8; ++d) {
      const GridCell next{cell.x + kDx[d], cell.y + kDy[d]};
      if (!view_.contains(next) ||
          static_cast<double>(squaredDistance(next, start)) > radius_squared) {
        continue;
      }
      const std::uint32_t next_index = view_.index(next);
      if (!crossable(next_index) || workspace_.closed(next_index)) {
        continue;
      }
      if (d >= 4 && (!crossable(static_cast<std::uint32_t>(index + offset_[kSideX[d]])) ||
                     !crossable(static_cast<std::uint32_t>(index + offset_[kSideY[d]])))) {
        continue;
      }
      const float cost = node.cost + (d < 4 ? 1.0F : kDiagonal);
      if (workspace_.costSoFar(next_index) <= cost) {
        continue;
      }
      workspace_.open(next_index, cost, static_cast<std::uint8_t>(d));
      heap.push_back(AstarNode{cost, next.x, next.y, cost});
      std::push_heap(heap.begin(), heap.end(), laterThan);
    }
  }
  if (!found) {
    return false;
  }
  auto& cells = workspace_.stepOut();
  for (std::uint32_t index = first; index != origin;
       index = static_cast<std::uint32_t>(index - offset_[workspace_.parent(index)])) {
    cells.push_back(index);
  }
  cells.push_back(origin);
  std::reverse(cells.begin(), cells.end());
  return true;
}

SearchStatus GridSearch::pickTarget(const GridCell& goal, double radius,
                                    std::uint32_t& target) const {
  const bool on_map = view_.contains(goal);
  if (on_map && usable(view_.index(goal))) {
    target = view_.index(goal);
    return SearchStatus::kFound;
  }
  if (!(radius > 0.0)) {
    return on_map ? SearchStatus::kGoalBlocked : SearchStatus::kGoalOffMap;
  }
  // Nearest usable cell of the tolerance disc; row-major order settles ties.
  const double reach = std::min(radius, 1e9);
  const std::int64_t span = static_cast<std::int64_t>(std::floor(reach));
  const double radius_squared = reach * reach;
  const std::int64_t min_y = std::max<std::int64_t>(0, goal.y - span);
  const std::int64_t max_y = std::min<std::int64_t>(view_.size_y - 1LL, goal.y + span);
  const std::int64_t min_x = std::max<std::int64_t>(0, goal.x - span);
  const std::int64_t max_x = std::min<std::int64_t>(view_.size_x - 1LL, goal.x + span);
  bool touches_map = false;
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  for (std::int64_t y = min_y; y <= max_y; ++y) {
    for (std::int64_t x = min_x; x <= max_x; ++x) {
      const GridCell cell{static_cast<int>(x), static_cast<int>(y)};
      const std::int64_t distance = squaredDistance(cell, goal);
      if (static_cast<double>(distance) > radius_squared) {
        continue;
      }
      touches_map = true;
      if (distance < best && usable(view_.index(cell))) {
        best = distance;
        target = view_.index(cell);
      }
    }
  }
  if (best != std::numeric_limits<std::int64_t>::max()) {
    return SearchStatus::kFound;
  }
  return on_map || touches_map ? SearchStatus::kGoalBlocked : SearchStatus::kGoalOffMap;
}

bool GridSearch::astar(std::uint32_t first, std::uint32_t target, SearchOutcome& outcome) {
  workspace_.beginRound();
  auto& heap = workspace_.heap();
  const GridCell goal_cell = view_.cell(target);
  workspace_.open(first, 0.0F, SearchWorkspace::kNoParent);
  const GridCell first_cell = view_.cell(first);
  heap.push_back(AstarNode{octile(first_cell, goal_cell), first_cell.x, first_cell.y, 0.0F});
  const int last_x = static_cast<int>(view_.size_x) - 1;
  const int last_y = static_cast<int>(view_.size_y) - 1;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), laterThan);
    const AstarNode node = heap.back();
    heap.pop_back();
    const std::uint32_t index =
        static_cast<std::uint32_t>(node.y) * view_.size_x + static_cast<std::uint32_t>(node.x);
    if (workspace_.closed(index)) {
      continue;
    }
    if (max_expansions_ != 0U && outcome.expansions >= max_expansions_) {
      outcome.status = SearchStatus::kBudgetExhausted;
      return false;
    }
    workspace_.close(index);
    ++outcome.expansions;
    if (index == target) {
      outcome.status = SearchStatus::kFound;
      return true;
    }
    // Sides first: a diagonal may only be taken past two usable sides.
    bool side_usable[4];
    side_usable[0] = node.x < last_x && usable(index + 1U);
    side_usable[1] = node.x > 0 && usable(index - 1U);
    side_usable[2] = node.y < last_y && usable(index + view_.size_x);
    side_usable[3] = node.y > 0 && usable(index - view_.size_x);
    for (int d = 0; d < 8; ++d) {
      if (d < 4 ? !side_usable[d] : !(side_usable[kSideX[d]] && side_usable[kSideY[d]])) {
        continue;
      }
      const std::uint32_t next = static_cast<std::uint32_t>(index + offset_[d]);
      if (d >= 4 && !usable(next)) {
        continue;
      }
      if (workspace_.closed(next)) {
        continue;
      }
      const float cost = node.cost + (d < 4 ? 1.0F : kDiagonal) * weight(next);
      if (workspace_.costSoFar(next) <= cost) {
        continue;
      }
      push(next, GridCell{node.x + kDx[d], node.y + kDy[d]}, cost, static_cast<std::uint8_t>(d),
           goal_cell);
    }
  }
  outcome.status = SearchStatus::kNoRoute;
  return false;
}

void GridSearch::push(std::uint32_t index, const GridCell& cell, float cost_so_far,
                      std::uint8_t parent, const GridCell& target) {
  workspace_.open(index, cost_so_far, parent);
  auto& heap = workspace_.heap();
  heap.push_back(AstarNode{cost_so_far + octile(cell, target), cell.x, cell.y, cost_so_far});
  std::push_heap(heap.begin(), heap.end(), laterThan);
}

bool GridSearch::nearestReached(const GridCell& goal, double radius, std::uint32_t& end) const {
  // Only called after the open list ran dry, when every reachable cell has been settled.
  if (!(radius > 0.0)) {
    return false;
  }
  const double reach = std::min(radius, 1e9);
  const std::int64_t span = static_cast<std::int64_t>(std::floor(reach));
  const double radius_squared = reach * reach;
  const std::int64_t min_y = std::max<std::int64_t>(0, goal.y - span);
  const std::int64_t max_y = std::min<std::int64_t>(view_.size_y - 1LL, goal.y + span);
  const std::int64_t min_x = std::max<std::int64_t>(0, goal.x - span);
  const std::int64_t max_x = std::min<std::int64_t>(view_.size_x - 1LL, goal.x + span);
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  float best_cost = 0.0F;
  for (std::int64_t y = min_y; y <= max_y; ++y) {
    for (std::int64_t x = min_x; x <= max_x; ++x) {
      const GridCell cell{static_cast<int>(x), static_cast<int>(y)};
      const std::int64_t distance = squaredDistance(cell, goal);
      const std::uint32_t index = view_.index(cell);
      if (static_cast<double>(distance) > radius_squared || !workspace_.closed(index)) {
        continue;
      }
      const float cost = workspace_.costSoFar(index);
      if (distance < best || (distance == best && cost < best_cost)) {
        best = distance;
        best_cost = cost;
        end = index;
      }
    }
  }
  return best != std::numeric_limits<std::int64_t>::max();
}

void GridSearch::tracePath(std::uint32_t end) {
  auto& cells = workspace_.path();
  cells.clear();
  for (std::uint32_t index = end;;) {
    cells.push_back(index);
    const std::uint8_t parent = workspace_.parent(index);
    if (parent == SearchWorkspace::kNoParent) {
      break;
    }
    index = static_cast<std::uint32_t>(index - offset_[parent]);
  }
  // The step-out cells lead; its last cell is where the search began.
  const auto& step_out = workspace_.stepOut();
  if (!step_out.empty()) {
    cells.insert(cells.end(), step_out.rbegin() + 1, step_out.rend());
  }
  std::reverse(cells.begin(), cells.end());
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
