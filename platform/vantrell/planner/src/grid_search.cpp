#include "vantrell_nav2_planner/astar2/grid_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr double kSqrt2 = 1.4142135623730951;
// Costs stay within what a cell's state holds and priorities below this; a search that would
// pass either starts again in coarser units (only paths of a million cell lengths or more get
// there, such as long detours through a reference corridor's full penalty).
constexpr std::uint64_t kCostLimit = SearchWorkspace::kMaxCost;
constexpr std::uint64_t kKeyLimit = 0xFFFF0000ULL;

// Directions 0-3 are the four sides, 4-7 the diagonals; a diagonal needs both sides it passes.
constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1};
constexpr int kDy[8] = {0, 0, 1, -1, 1, 1, -1, -1};
constexpr int kSideX[8] = {0, 0, 0, 0, 0, 1, 0, 1};  // side direction along x of a diagonal
constexpr int kSideY[8] = {0, 0, 0, 0, 2, 2, 3, 3};  // side direction along y of a diagonal

std::int64_t squaredDistance(const GridCell& a, const GridCell& b) {
  const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
  const std::int64_t dy = static_cast<std::int64_t>(a.y) - b.y;
  return dx * dx + dy * dy;
}

// What the inner loop of a search reads, in one record the compiler can keep in registers
// once everything is inlined (members of the search itself it would reload after every store
// into the states).
struct Frame {
  std::uint32_t* states;
  std::vector<std::uint32_t>* touched;
  BucketQueue* queue;
  const std::uint8_t* cost;
  const std::uint8_t* danger;
  const std::uint32_t* straight;
  const std::uint32_t* diagonal;
  const ReferenceCorridor* corridor;
  float corridor_scale[2];  ///< units per penalty point of a side and of a diagonal step
  std::uint32_t width;
  std::uint32_t last_x;
  std::uint32_t last_y;
  std::int64_t goal_x;
  std::int64_t goal_y;
  std::uint64_t unit;
  std::uint64_t diagonal_extra;  ///< a diagonal's units beyond a side's
  bool overflow;
  const std::uint16_t* landmark_costs;  ///< LandmarkTable::costs(), when searching with them
  std::uint32_t landmark_unit;
  std::uint32_t goal_side;  ///< a side step into the goal
  std::uint16_t goal_costs[LandmarkTable::kLandmarks];

  /// Octile distance to the goal from a cell dx, dy away from it.
  std::uint64_t octile(std::int64_t dx, std::int64_t dy) const {
    const auto ax = static_cast<std::uint64_t>(dx < 0 ? -dx : dx);
    const auto ay = static_cast<std::uint64_t>(dy < 0 ? -dy : dy);
    return ax > ay ? ax * unit + ay * diagonal_extra : ay * unit + ax * diagonal_extra;
  }
  /// The landmarks' bound on the cost from a cell to the goal (LandmarkTable::bound).
  std::uint64_t landmarkBound(std::uint32_t index) const {
    const std::uint16_t* row =
        landmark_costs + static_cast<std::size_t>(index) * LandmarkTable::kLandmarks;
    return LandmarkTable::boundOf(LandmarkTable::largestGap(row, goal_costs), landmark_unit,
                                  straight[StepTable::cellClass(cost[index], danger[index])],
                                  goal_side);
  }
  template <bool kLandmarks>
  std::uint64_t estimate(std::uint32_t index, std::int64_t dx, std::int64_t dy) const {
    const std::uint64_t plain = octile(dx, dy);
    return kLandmarks ? std::max(plain, landmarkBound(index)) : plain;
  }
  template <bool kLandmarks>
  std::uint64_t estimate(std::uint32_t index) const {
    return estimate<kLandmarks>(index, static_cast<std::int64_t>(index % width) - goal_x,
                                static_cast<std::int64_t>(index / width) - goal_y);
  }
};

// Opens the neighbour `next` of a cell reached at `so_far`, `step` units away in direction
// `d`, when that is the cheapest way to it yet. A seen cell keeps its cost unless this one is
// lower (an unseen cell's state reads as a cost above any); a settled cell's cost is already
// the lowest, as the heuristic is consistent.
template <bool kCorridor, bool kLandmarks>
inline void relax(Frame& frame, std::uint32_t d, std::uint32_t next, std::uint64_t step,
                  std::uint64_t so_far, std::int64_t dx, std::int64_t dy) {
  if (kCorridor) {
    step += static_cast<std::uint64_t>(
        frame.corridor->penalty(next) * frame.corridor_scale[d >> 2] + 0.5F);
  }
  std::uint32_t& there = frame.states[next];
  const std::uint64_t reached = so_far + step;
  if ((there >> SearchWorkspace::kCostShift) <= reached) {
    return;
  }
  const std::uint64_t key = reached + frame.estimate<kLandmarks>(next, dx + kDx[d], dy + kDy[d]);
  if (key > kKeyLimit) {
    frame.overflow = true;
    return;
  }
  if (there == SearchWorkspace::kUnseen) {
    frame.touched->push_back(next);
  }
  there = static_cast<std::uint32_t>(reached) << SearchWorkspace::kCostShift | d;
  frame.queue->push(static_cast<std::uint32_t>(key), next);
}

// Relaxes the usable neighbours of a cell reached at `so_far`: sides first, as a diagonal may
// only be taken past two usable sides.
template <bool kCorridor, bool kLandmarks>
inline void relaxNeighbours(Frame& frame, std::uint32_t index, std::uint64_t so_far) {
  const std::uint32_t width = frame.width;
  const std::uint32_t y = index / width;
  const std::uint32_t x = index - y * width;
  const std::int64_t dx = static_cast<std::int64_t>(x) - frame.goal_x;
  const std::int64_t dy = static_cast<std::int64_t>(y) - frame.goal_y;
  const auto step = [&frame](const std::uint32_t* table, std::uint32_t cell) {
    return table[StepTable::cellClass(frame.cost[cell], frame.danger[cell])];
  };
  const std::uint32_t right = x < frame.last_x ? step(frame.straight, index + 1) : 0U;
  const std::uint32_t left = x > 0 ? step(frame.straight, index - 1) : 0U;
  const std::uint32_t up = y < frame.last_y ? step(frame.straight, index + width) : 0U;
  const std::uint32_t down = y > 0 ? step(frame.straight, index - width) : 0U;
  if (right != 0U) relax<kCorridor, kLandmarks>(frame, 0, index + 1, right, so_far, dx, dy);
  if (left != 0U) relax<kCorridor, kLandmarks>(frame, 1, index - 1, left, so_far, dx, dy);
  if (up != 0U) relax<kCorridor, kLandmarks>(frame, 2, index + width, up, so_far, dx, dy);
  if (down != 0U) relax<kCorridor, kLandmarks>(frame, 3, index - width, down, so_far, dx, dy);
  const auto corner = [&](std::uint32_t d, std::uint32_t next) {
    const std::uint32_t diagonal = step(frame.diagonal, next);
    if (diagonal != 0U) {
      relax<kCorridor, kLandmarks>(frame, d, next, diagonal, so_far, dx, dy);
    }
  };
  if (right != 0U && up != 0U) corner(4, index + width + 1);
  if (left != 0U && up != 0U) corner(5, index + width - 1);
  if (right != 0U && down != 0U) corner(6, index - width + 1);
  if (left != 0U && down != 0U) corner(7, index - width - 1);
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
  corridor_ = settings.corridor;
  max_expansions_ = settings.max_expansions;
  useUnit(settings, StepTable::kFineUnit);

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
  first_ = first;
  if (astar(first, target, settings, outcome)) {
    outcome.cost = tracePath(target);
  } else if (outcome.status == SearchStatus::kNoRoute &&
             nearestReached(goal, settings.goal_radius, target)) {
    outcome.status = SearchStatus::kFound;
    outcome.cost = tracePath(target);
  } else {
    return outcome;
  }
  outcome.goal_reached = view_.contains(goal) && target == view_.index(goal);
  return outcome;
}

void GridSearch::useUnit(const SearchSettings& settings, std::uint32_t unit) {
  if (unit == StepTable::kFineUnit) {
    steps_ = &StepTable::fine(settings.cost_aware, settings.keep_turning_room);
  } else {
    coarse_steps_.emplace(settings.cost_aware, settings.keep_turning_room, unit);
    steps_ = &*coarse_steps_;
  }
  unit_ = unit;
  diagonal_unit_ = steps_->diagonalUnit();
  corridor_straight_ = kCostWeight * static_cast<float>(unit);
  corridor_diagonal_ = static_cast<float>(kCostWeight * kSqrt2 * unit);
}

double GridSearch::weight(std::uint32_t index) const {
  const double base = steps_->weight(classOf(index));
  return corridor_ == nullptr ? base : base + kCostWeight * corridor_->penalty(index);
}

bool GridSearch::stepOut(const GridCell& start, double radius, std::uint32_t& first) {
  // Dijkstra by step length from the start, over crossable cells within the radius; the first
  // usable cell settled is the nearest way out.
  if (!(radius > 0.0)) {
    return false;
  }
  const double radius_squared = std::min(radius * radius, 1e18);
  workspace_.beginRound(diagonal_unit_);
  auto& queue = workspace_.queue();
  const std::uint32_t origin = view_.index(start);
  workspace_.open(origin, 0U, 0U);
  queue.push(0U, origin);
  bool found = false;
  while (!queue.empty()) {
    const std::uint32_t index = queue.pop();
    if (workspace_.settled(index)) {
      continue;
    }
    workspace_.settle(index);
    if (usable(index)) {
      first = index;
      found = true;
      break;
    }
    const GridCell cell = view_.cell(index);
    const std::uint32_t length = workspace_.costSoFar(index);
    for (std::uint32_t d = 0; d < 8; ++d) {
      const GridCell next{cell.x + kDx[d], cell.y + kDy[d]};
      if (!view_.contains(next) ||
          static_cast<double>(squaredDistance(next, start)) > radius_squared) {
        continue;
      }
      const std::uint32_t next_index = view_.index(next);
      if (!crossable(next_index)) {
        continue;
      }
      if (d >= 4 && (!crossable(static_cast<std::uint32_t>(index + offset_[kSideX[d]])) ||
                     !crossable(static_cast<std::uint32_t>(index + offset_[kSideY[d]])))) {
        continue;
      }
      const std::uint32_t cost = length + (d < 4 ? unit_ : diagonal_unit_);
      if (!workspace_.seen(next_index) || workspace_.costSoFar(next_index) > cost) {
        workspace_.open(next_index, cost, d);
        queue.push(cost, next_index);
      }
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

bool GridSearch::astar(std::uint32_t first, std::uint32_t target, const SearchSettings& settings,
                       SearchOutcome& outcome) {
  const GridCell goal = view_.cell(target);
  goal_x_ = static_cast<std::uint32_t>(goal.x);
  goal_y_ = static_cast<std::uint32_t>(goal.y);
  const LandmarkTable* landmarks = usableLandmarks(settings);
  if (landmarks != nullptr && landmarks->separated(first, target)) {
    if (!(settings.goal_radius > 0.0)) {
      outcome.status = SearchStatus::kNoRoute;
      return false;
    }
    // Every reachable cell is searched for the one nearest to the goal: bounds cannot help.
    landmarks = nullptr;
  }
  for (std::uint32_t unit = StepTable::kFineUnit;; unit /= 4) {
    useUnit(settings, unit);
    overflow_ = false;
    landmarks_ = unit == StepTable::kFineUnit ? landmarks : nullptr;
    bool found = false;
    if (landmarks_ != nullptr) {
      found = corridor_ != nullptr ? expand<true, true>(first, target, outcome)
                                   : expand<false, true>(first, target, outcome);
    } else {
      found = corridor_ != nullptr ? expand<true, false>(first, target, outcome)
                                   : expand<false, false>(first, target, outcome);
    }
    if (!overflow_ || unit == 1U) {
      if (overflow_) {
        // Even whole cell lengths overflow: the search cannot be completed.
        outcome.status = SearchStatus::kBudgetExhausted;
      }
      return found && !overflow_;
    }
  }
}

template <bool kCorridor, bool kLandmarks>
bool GridSearch::expand(std::uint32_t first, std::uint32_t target, SearchOutcome& outcome) {
  const double corridor_step =
      kCorridor ? static_cast<double>(corridor_diagonal_) * corridor_->fullPenalty() : 0.0;
  const std::uint32_t largest_step =
      steps_->largestDiagonal() + static_cast<std::uint32_t>(std::min(corridor_step, 1e9));
  // A step raises the priority by its cost plus the heuristic's change, at most a diagonal
  // (octile) or a step without the corridor's part (landmarks).
  workspace_.beginRound(largest_step + (kLandmarks ? steps_->largestDiagonal() : diagonal_unit_));
  Frame frame{workspace_.states(),
              &workspace_.touched(),
              &workspace_.queue(),
              view_.cost,
              view_.danger,
              steps_->straight(),
              steps_->diagonal(),
              corridor_,
              {corridor_straight_, corridor_diagonal_},
              view_.size_x,
              view_.size_x - 1U,
              view_.size_y - 1U,
              goal_x_,
              goal_y_,
              unit_,
              diagonal_unit_ - unit_,
              false,
              kLandmarks ? landmarks_->costs() : nullptr,
              kLandmarks ? landmarks_->unit() : 0U,
              steps_->straight()[classOf(target)],
              {}};
  if (kLandmarks) {
    std::copy_n(landmarks_->row(target), LandmarkTable::kLandmarks, frame.goal_costs);
  }
  const std::size_t budget = max_expansions_ != 0U ? max_expansions_ : SIZE_MAX;
  std::size_t expansions = outcome.expansions;
  BucketQueue& queue = workspace_.queue();
  workspace_.open(first, 0U, 0U);
  queue.push(static_cast<std::uint32_t>(std::min(frame.estimate<kLandmarks>(first), kKeyLimit)),
             first);

  bool found = false;
  outcome.status = SearchStatus::kNoRoute;
  while (!queue.empty()) {
    const std::uint32_t index = queue.pop();
    std::uint32_t& here = frame.states[index];
    if ((here & SearchWorkspace::kSettled) != 0U) {
      continue;  // reached again more cheaply and settled since
    }
    if (expansions >= budget) {
      outcome.status = SearchStatus::kBudgetExhausted;
      break;
    }
    here |= SearchWorkspace::kSettled;
    ++expansions;
    if (index == target) {
      outcome.status = SearchStatus::kFound;
      found = true;
      break;
    }
    const std::uint64_t so_far = here >> SearchWorkspace::kCostShift;
    if (so_far + largest_step > kCostLimit) {
      frame.overflow = true;  // a step from here might not fit in a state
      break;
    }
    relaxNeighbours<kCorridor, kLandmarks>(frame, index, so_far);
    if (frame.overflow) {
      break;
    }
  }
  outcome.expansions = expansions;
  overflow_ = frame.overflow;
  return found;
}

const LandmarkTable* GridSearch::usableLandmarks(const SearchSettings& settings) const {
  const LandmarkTable* table = settings.landmarks;
  return table != nullptr && table->cells() == view_.cells() &&
                 table->serves(settings.cost_aware, settings.keep_turning_room)
             ? table
             : nullptr;
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
  std::uint32_t best_cost = 0;
  for (std::int64_t y = min_y; y <= max_y; ++y) {
    for (std::int64_t x = min_x; x <= max_x; ++x) {
      const GridCell cell{static_cast<int>(x), static_cast<int>(y)};
      const std::int64_t distance = squaredDistance(cell, goal);
      const std::uint32_t index = view_.index(cell);
      if (static_cast<double>(distance) > radius_squared || !workspace_.settled(index)) {
        continue;
      }
      const std::uint32_t cost = workspace_.costSoFar(index);
      if (distance < best || (distance == best && cost < best_cost)) {
        best = distance;
        best_cost = cost;
        end = index;
      }
    }
  }
  return best != std::numeric_limits<std::int64_t>::max();
}

double GridSearch::tracePath(std::uint32_t end) {
  auto& cells = workspace_.path();
  cells.clear();
  double cost = 0.0;
  for (std::uint32_t index = end;;) {
    cells.push_back(index);
    if (index == first_) {
      break;
    }
    const std::uint8_t parent = workspace_.parent(index);
    cost += (parent < 4 ? 1.0 : kSqrt2) * weight(index);
    index = static_cast<std::uint32_t>(index - offset_[parent]);
  }
  // The step-out cells lead; its last cell is where the search began.
  const auto& step_out = workspace_.stepOut();
  if (!step_out.empty()) {
    cells.insert(cells.end(), step_out.rbegin() + 1, step_out.rend());
  }
  std::reverse(cells.begin(), cells.end());
  return cost;
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
