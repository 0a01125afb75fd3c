#include "vantrell_nav2_planner/astar2/workspace_pool.hpp"

#include <algorithm>
#include <utility>

namespace vantrell_nav2_planner {
namespace astar2 {

WorkspacePool::Lease WorkspacePool::take() {
  std::unique_ptr<SearchWorkspace> workspace;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      workspace = std::move(idle_.back());
      idle_.pop_back();
    }
  }
  if (!workspace) {
    workspace = std::make_unique<SearchWorkspace>();
  }
  return Lease(*this, std::move(workspace));
}

void WorkspacePool::giveBack(std::unique_ptr<SearchWorkspace> workspace) {
  if (!workspace) {
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(workspace));
  // The largest last, so that the next search on a large map finds it grown.
  std::sort(idle_.begin(), idle_.end(),
            [](const auto& a, const auto& b) { return a->capacity() < b->capacity(); });
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
