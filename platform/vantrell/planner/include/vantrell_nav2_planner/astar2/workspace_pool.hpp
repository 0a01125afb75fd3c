#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__WORKSPACE_POOL_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__WORKSPACE_POOL_HPP_

#include <memory>
#include <mutex>
#include <vector>

#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// The search memory of one engine: one workspace per search running at once, each kept for
/// a later search when its search ends. Held by the engine rather than by the searching threads,
/// so that the memory can be grown before the first search (on whichever thread that comes).
class WorkspacePool {
 public:
  /// A workspace for the holder alone, given back to the pool when the lease goes.
  class Lease {
   public:
    Lease(WorkspacePool& pool, std::unique_ptr<SearchWorkspace> workspace)
        : pool_(pool), workspace_(std::move(workspace)) {}
    ~Lease() { pool_.giveBack(std::move(workspace_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    SearchWorkspace& operator*() const { return *workspace_; }
    SearchWorkspace* operator->() const { return workspace_.get(); }

   private:
    WorkspacePool& pool_;
    std::unique_ptr<SearchWorkspace> workspace_;
  };

  /// The largest idle workspace, or a new one when none is idle.
  Lease take();

 private:
  void giveBack(std::unique_ptr<SearchWorkspace> workspace);

  std::mutex mutex_;
  std::vector<std::unique_ptr<SearchWorkspace>> idle_;
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__WORKSPACE_POOL_HPP_
