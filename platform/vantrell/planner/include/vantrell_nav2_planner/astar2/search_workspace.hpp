#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantrell_nav2_planner/astar2/bucket_queue.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// The memory of a search, kept from one search to the next so that a search allocates nothing
/// once the arrays have grown to the map: one 32-bit state per cell, the open list, the found
/// cells and the reference corridor.
///
/// A cell's state holds its cost so far (whole units) above bit 4, whether it is settled at
/// bit 3 and the direction it was reached from in bits 0-2; all ones while the cell is unseen.
/// The cells a round opens are noted and made unseen again when the next round begins, so a
/// round costs what it touches however large the map. One workspace serves one thread at a
/// time.
class SearchWorkspace {
 public:
  static constexpr std::uint32_t kUnseen = 0xFFFFFFFFU;
  static constexpr unsigned kCostShift = 4;
  static constexpr std::uint32_t kSettled = 1U << 3;
  static constexpr std::uint32_t kParentMask = 7U;
  /// The largest cost so far a state can hold.
  static constexpr std::uint32_t kMaxCost = (kUnseen >> kCostShift) - 1U;

  /// Grows the per-cell states to at least `cells` cells.
  void prepare(std::size_t cells);
  /// Forgets every cell of the previous round and empties the open list for priorities that
  /// rise by at most `span` per step.
  void beginRound(std::uint32_t span);

  bool seen(std::uint32_t index) const { return states_[index] != kUnseen; }
  bool settled(std::uint32_t index) const {
    return seen(index) && (states_[index] & kSettled) != 0U;
  }
  /// The cost so far of a seen cell.
  std::uint32_t costSoFar(std::uint32_t index) const { return states_[index] >> kCostShift; }
  std::uint8_t parent(std::uint32_t index) const {
    return static_cast<std::uint8_t>(states_[index] & kParentMask);
  }

  /// Opens a cell at `cost` (at most kMaxCost) reached from direction `parent`.
  void open(std::uint32_t index, std::uint32_t cost, std::uint32_t parent) {
    if (states_[index] == kUnseen) {
      touched_.push_back(index);
    }
    states_[index] = cost << kCostShift | parent;
  }
  void settle(std::uint32_t index) { states_[index] |= kSettled; }

  /// The states and the touched list, for a search's inner loop: a cell opened there must be
  /// noted in `touched()` when it was unseen.
  std::uint32_t* states() { return states_.data(); }
  std::vector<std::uint32_t>& touched() { return touched_; }

  BucketQueue& queue() { return queue_; }
  std::vector<std::uint32_t>& path() { return path_; }
  std::vector<std::uint32_t>& stepOut() { return step_out_; }
  ReferenceCorridor& corridor() { return corridor_; }
  std::size_t capacity() const { return states_.size(); }

 private:
  std::vector<std::uint32_t> states_;
  std::vector<std::uint32_t> touched_;
  BucketQueue queue_;
  std::vector<std::uint32_t> path_;
  std::vector<std::uint32_t> step_out_;
  ReferenceCorridor corridor_;
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_
