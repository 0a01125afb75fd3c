#include "vantrell_nav2_planner/astar2/landmark_table.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "vantrell_nav2_planner/astar2/bucket_queue.hpp"
#include "vantrell_nav2_planner/astar2/step_table.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
// Table units start at 1/64 of a cell length (4 search units) and double while the costs from
// the first landmark do not fit in 16 bits.
constexpr std::uint32_t kFirstUnit = 4;
// Twice the search units a diagonal's price is lowered by (see LandmarkBuild::price).
constexpr std::uint32_t kDiagonalMargin = 4;
// How often a build looks whether it should stop, in settled cells.
constexpr std::uint32_t kStopCheckInterval = 1U << 14;
// Landmarks pay where walls make routes much dearer than the octile distance. Where the octile
// distance from the first landmark makes up this share of the table's cost or more (open
// terrain between scattered obstacles, where it is nearly exact), reading a row of costs per
// expanded cell costs more than the few expansions it saves: a build told to skip open terrain
// keeps no costs.
constexpr double kOpenTerrainShare = 0.9;
// Every so many cells of the map are sampled for that share.
constexpr std::uint32_t kShareSampleStride = 97;

}  // namespace

/// One build of a table: the step prices, the choice of landmarks (the first far from a cell
/// of the largest connected part of the floor plan, each next one the cell farthest from those
/// chosen before) and a Dijkstra search from each, on a copy of the floor plan framed by a
/// border of unusable cells (no neighbour needs a bounds check).
///
/// Prices come from the search's own step costs in whole search units, S into a cell by a side
/// step and G by a diagonal: a side step between cells a and b costs (S_a + S_b) / 2, a
/// diagonal min(2 G_b - S_b + S_a, 2 G_a - S_a + S_b) / 2 less two units, rounded down to table
/// units. Either is at most what a search pays for the step, either way, less the difference
/// of the two cells' potentials S / 2, on the floor plan and on any dearer map (a dearer cell's
/// rounding may lower G - S / 2 by one and a half units, hence the two). Summed along a route,
/// the cost of every route from x to y is at least the table's distance between them plus
/// S_y / 2 - S_x / 2: the bound the search adds to the landmarks' difference.
class LandmarkBuild {
 public:
  LandmarkBuild(LandmarkTable& table, const std::atomic<bool>& stop, bool skip_open_terrain)
      : table_(table),
        stop_(stop),
        skip_open_terrain_(skip_open_terrain),
        width_(table.size_x_ + 2U) {}

  bool run() {
    price(kFirstUnit);
    std::uint32_t first = 0;
    if (!farEnd(first)) {
      return false;
    }
    distance_.assign(side_.size(), kUnreached);
    if (!settleFrom(first)) {
      return false;
    }
    // Units coarse enough for the costs from the first landmark, at the rim, to fit in 16 bits;
    // other landmarks' may reach farther and saturate.
    const std::uint32_t span = distance_[farthest(distance_)];
    while (span / (table_.unit_ / kFirstUnit) >= kFar - 1U) {
      table_.unit_ *= 2U;
    }
    if (table_.unit_ != kFirstUnit) {
      price(table_.unit_);
      if (!settleFrom(first)) {
        return false;
      }
    }
    table_.octile_share_ = octileShare(first);
    if (skip_open_terrain_ && table_.octile_share_ >= kOpenTerrainShare) {
      return true;  // open terrain: the floor plan alone is kept, to know when to look again
    }
    table_.costs_.assign(table_.floor_cost_.size() * LandmarkTable::kLandmarks, kFar);
    nearest_.assign(side_.size(), kUnreached);
    for (unsigned k = 0;; ++k) {
      table_.landmarks_[k] = unframed(first);
      store(k);
      if (k + 1 == LandmarkTable::kLandmarks) {
        return true;
      }
      first = farthest(nearest_);
      if (!settleFrom(first)) {
        return false;
      }
    }
  }

 private:
  static constexpr std::uint16_t kFar = LandmarkTable::kFar;

  std::uint32_t framed(std::uint32_t x, std::uint32_t y) const {
    return (y + 1U) * width_ + x + 1U;
  }
  std::uint32_t unframed(std::uint32_t index) const {
    return (index / width_ - 1U) * table_.size_x_ + index % width_ - 1U;
  }

  // S and 2 G - S of every cell in search units (S = 0: not usable, as is the border), and the
  // shift that turns twice a price in search units into table units.
  void price(std::uint32_t unit) {
    const StepTable& steps = StepTable::fine(table_.cost_aware_, table_.keep_turning_room_);
    side_.assign(static_cast<std::size_t>(width_) * (table_.size_y_ + 2U), 0U);
    turn_.assign(side_.size(), 0U);
    for (std::uint32_t y = 0; y < table_.size_y_; ++y) {
      for (std::uint32_t x = 0; x < table_.size_x_; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * table_.size_x_ + x;
        const std::uint32_t cls =
            StepTable::cellClass(table_.floor_cost_[i], table_.floor_danger_[i]);
        side_[framed(x, y)] = static_cast<std::uint16_t>(steps.straight()[cls]);
        turn_[framed(x, y)] =
            static_cast<std::uint16_t>(2U * steps.diagonal()[cls] - steps.straight()[cls]);
      }
    }
    shift_ = 1U;
    while ((1U << shift_) < 2U * unit) {
      ++shift_;
    }
    // No price exceeds 2 G + S of the dearest class.
    largest_ = ((3U * steps.largestDiagonal()) >> shift_) + 1U;
  }

  bool usable(std::uint32_t index) const { return side_[index] != 0U; }

  // Calls visit(next, price) for every allowed step out of usable cell `index`; a diagonal
  // needs both cells beside it usable.
  template <typename Visit>
  void forEachStep(std::uint32_t index, Visit&& visit) const {
    const std::uint32_t sides[4] = {index + 1, index - 1, index + width_, index - width_};
    const bool open[4] = {usable(sides[0]), usable(sides[1]), usable(sides[2]), usable(sides[3])};
    for (int d = 0; d < 4; ++d) {
      if (open[d]) {
        visit(sides[d], (side_[index] + side_[sides[d]]) >> shift_);
      }
    }
    const auto corner = [&](bool a, bool b, std::uint32_t next) {
      if (a && b && usable(next)) {
        const std::uint32_t twice =
            std::min(turn_[next] + side_[index], turn_[index] + side_[next]);
        visit(next, (twice - kDiagonalMargin) >> shift_);
      }
    };
    corner(open[0], open[2], sides[2] + 1);
    corner(open[1], open[2], sides[2] - 1);
    corner(open[0], open[3], sides[3] + 1);
    corner(open[1], open[3], sides[3] - 1);
  }

  // A cell far, in steps, from some cell of the largest part of usable cells joined by allowed
  // steps: the last that a breadth-first walk through that part reaches.
  bool farEnd(std::uint32_t& end) {
    std::vector<bool> seen(side_.size(), false);
    std::vector<std::uint32_t> walk;
    std::size_t best = 0;
    for (std::uint32_t origin = 0; origin < side_.size(); ++origin) {
      if (seen[origin] || !usable(origin)) {
        continue;
      }
      walk.clear();
      walk.push_back(origin);
      seen[origin] = true;
      for (std::size_t next = 0; next < walk.size(); ++next) {
        forEachStep(walk[next], [&](std::uint32_t cell, std::uint32_t) {
          if (!seen[cell]) {
            seen[cell] = true;
            walk.push_back(cell);
          }
        });
      }
      if (walk.size() > best) {
        best = walk.size();
        end = walk.back();
      }
      if (stop_.load(std::memory_order_relaxed)) {
        return false;
      }
    }
    return best > 0U;
  }

  // Dijkstra from `source` over the floor plan into distance_.
  bool settleFrom(std::uint32_t source) {
    std::fill(distance_.begin(), distance_.end(), kUnreached);
    queue_.reset(largest_);
    distance_[source] = 0U;
    queue_.push(0U, source);
    std::uint32_t until_check = kStopCheckInterval;
    while (!queue_.empty()) {
      const std::uint32_t index = queue_.pop();
      const std::uint32_t here = queue_.lastKey();
      if (here != distance_[index]) {
        continue;  // reached again more cheaply since
      }
      if (--until_check == 0U) {
        if (stop_.load(std::memory_order_relaxed)) {
          return false;
        }
        until_check = kStopCheckInterval;
      }
      forEachStep(index, [&](std::uint32_t next, std::uint32_t price) {
        const std::uint32_t reached = here + price;
        if (reached < distance_[next]) {
          distance_[next] = reached;
          queue_.push(reached, next);
        }
      });
    }
    return true;
  }

  // Keeps the costs from landmark k, kFar - 1 at most, kFar where it did not reach.
  void store(unsigned k) {
    std::uint16_t* costs = table_.costs_.data() + k;
    for (std::uint32_t y = 0; y < table_.size_y_; ++y) {
      for (std::uint32_t x = 0; x < table_.size_x_; ++x) {
        const std::uint32_t d = distance_[framed(x, y)];
        *costs = d == kUnreached ? kFar : static_cast<std::uint16_t>(std::min(d, kFar - 1U));
        costs += LandmarkTable::kLandmarks;
        nearest_[framed(x, y)] = std::min(nearest_[framed(x, y)], d);
      }
    }
  }

  // The mean share of the octile distance from `source` in the table's cost from there, over a
  // sample of the cells reached; 1 when none is.
  double octileShare(std::uint32_t source) const {
    const double sx = source % width_;
    const double sy = source / width_;
    double sum = 0.0;
    std::size_t count = 0;
    for (std::uint32_t i = 0; i < distance_.size(); i += kShareSampleStride) {
      const std::uint32_t d = distance_[i];
      if (d == kUnreached || d == 0U) {
        continue;
      }
      const double dx = std::abs(static_cast<double>(i % width_) - sx);
      const double dy = std::abs(static_cast<double>(i / width_) - sy);
      const double octile = std::max(dx, dy) + (std::sqrt(2.0) - 1.0) * std::min(dx, dy);
      sum += octile * StepTable::kFineUnit / (static_cast<double>(d) * table_.unit_);
      ++count;
    }
    return count == 0U ? 1.0 : sum / static_cast<double>(count);
  }

  // The reached cell with the largest value.
  static std::uint32_t farthest(const std::vector<std::uint32_t>& values) {
    std::uint32_t best = 0;
    std::uint32_t best_value = 0;
    for (std::uint32_t i = 0; i < values.size(); ++i) {
      if (values[i] != kUnreached && values[i] >= best_value) {
        best_value = values[i];
        best = i;
      }
    }
    return best;
  }

  LandmarkTable& table_;
  const std::atomic<bool>& stop_;
  const bool skip_open_terrain_;
  const std::uint32_t width_;  ///< of the framed copy
  std::vector<std::uint16_t> side_;
  std::vector<std::uint16_t> turn_;
  unsigned shift_{1};
  std::uint32_t largest_{0};
  std::vector<std::uint32_t> distance_;
  std::vector<std::uint32_t> nearest_;
  BucketQueue queue_;
};

LandmarkTable::LandmarkTable(Key /*key*/, const GridView& floor, bool cost_aware,
                             bool keep_turning_room)
    : cost_aware_(cost_aware),
      keep_turning_room_(keep_turning_room),
      size_x_(floor.size_x),
      size_y_(floor.size_y),
      floor_cost_(floor.cost, floor.cost + floor.cells()),
      floor_danger_(floor.danger, floor.danger + floor.cells()) {
  for (auto& bits : floor_danger_) {
    bits &= 3U;
  }
}

std::shared_ptr<const LandmarkTable> LandmarkTable::build(const GridView& floor, bool cost_aware,
                                                          bool keep_turning_room,
                                                          const std::atomic<bool>& stop,
                                                          bool skip_open_terrain) {
  // The framed copy must be indexable in 32 bits too.
  if (floor.cells() == 0U ||
      (static_cast<std::size_t>(floor.size_x) + 2U) * (floor.size_y + 2U) >= kUnreached) {
    return nullptr;
  }
  auto table = std::make_shared<LandmarkTable>(Key{}, floor, cost_aware, keep_turning_room);
  LandmarkBuild build(*table, stop, skip_open_terrain);
  if (!build.run()) {
    return nullptr;
  }
  return table;
}

bool LandmarkTable::boundsHold(const GridView& view) const {
  if (view.size_x != size_x_ || view.size_y != size_y_) {
    return false;
  }
  // In blocks, so that a map that fails stops early and one that holds runs vectorised.
  constexpr std::size_t kBlock = 4096;
  const std::size_t cells = floor_cost_.size();
  for (std::size_t begin = 0; begin < cells; begin += kBlock) {
    const std::size_t end = std::min(cells, begin + kBlock);
    unsigned undercut = 0;
    for (std::size_t i = begin; i < end; ++i) {
      undercut |= static_cast<unsigned>(view.cost[i] < floor_cost_[i]) |
                  (floor_danger_[i] & ~static_cast<unsigned>(view.danger[i]));
    }
    if (undercut != 0U) {
      return false;
    }
  }
  return true;
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
