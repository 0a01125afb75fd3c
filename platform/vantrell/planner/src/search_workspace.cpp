#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

void SearchWorkspace::prepare(std::size_t cells) {
  if (states_.size() < cells) {
    states_.resize(cells, kUnseen);
  }
}

void SearchWorkspace::beginRound(std::uint32_t span) {
  for (const std::uint32_t index : touched_) {
    states_[index] = kUnseen;
  }
  touched_.clear();
  queue_.reset(span);
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
