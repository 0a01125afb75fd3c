#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "vantrell_nav2_planner/astar2/astar_node.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// The memory of a search, kept from one search to the next so that a search allocates nothing
/// once the arrays have grown to the map: per-cell round stamp, cost so far and arriving
/// direction, the open list, the found cells and the reference corridor.
///
/// A round stamp tells the cells touched in the current round from older ones, so starting a
/// round costs nothing however large the map. One workspace serves one thread at a time.
class SearchWorkspace {
 public:
  static constexpr std::uint8_t kNoParent = 8;

  /// Grows the per-cell arrays to at least `cells` cells.
  void prepare(std::size_t cells);
  /// Forgets every cell of the previous round and empties the open list.
  void beginRound();

  bool seen(std::uint32_t index) const { return cells_[index].stamp >= open_mark_; }
  bool closed(std::uint32_t index) const { return cells_[index].stamp == closed_mark_; }
  /// The cost so far of a cell seen in this round, or infinity.
  float costSoFar(std::uint32_t index) const {
    return seen(index) ? cells_[index].cost_so_far : kUnseen;
  }
  std::uint8_t parent(std::uint32_t index) const { return parent_[index]; }

  void open(std::uint32_t index, float cost_so_far, std::uint8_t parent) {
    cells_[index] = CellState{open_mark_, cost_so_far};
    parent_[index] = parent;
  }
  void close(std::uint32_t index) { cells_[index].stamp = closed_mark_; }

  std::vector<AstarNode>& heap() { return heap_; }
  std::vector<std::uint32_t>& path() { return path_; }
  std::vector<std::uint32_t>& stepOut() { return step_out_; }
  ReferenceCorridor& corridor() { return corridor_; }
  std::size_t capacity() const { return cells_.size(); }

 private:
  static constexpr float kUnseen = std::numeric_limits<float>::infinity();

  // Stamp and cost side by side: a neighbour test touches one cache line.
  struct CellState {
    std::uint32_t stamp;
    float cost_so_far;
  };

  std::vector<CellState> cells_;
  std::vector<std::uint8_t> parent_;
  std::uint32_t open_mark_{0};
  std::uint32_t closed_mark_{1};
  std::vector<AstarNode> heap_;
  std::vector<std::uint32_t> path_;
  std::vector<std::uint32_t> step_out_;
  ReferenceCorridor corridor_;
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_WORKSPACE_HPP_
