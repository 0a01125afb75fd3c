#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

#include <algorithm>
#include <limits>

namespace vantrell_nav2_planner {
namespace astar2 {

void SearchWorkspace::prepare(std::size_t cells) {
  if (cells_.size() >= cells) {
    return;
  }
  // New cells start at stamp 0, older than any round.
  cells_.resize(cells, CellState{0U, 0.0F});
  parent_.resize(cells, kNoParent);
}

void SearchWorkspace::beginRound() {
  if (open_mark_ >= std::numeric_limits<std::uint32_t>::max() - 2U) {
    for (auto& cell : cells_) {
      cell.stamp = 0U;
    }
    open_mark_ = 0U;
  }
  open_mark_ += 2U;
  closed_mark_ = open_mark_ + 1U;
  heap_.clear();
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
