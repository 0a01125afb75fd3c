#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_KEEPER_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_KEEPER_HPP_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_planner/astar2/landmark_table.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// The landmark tables of one engine, for its cost-aware searches (those the tables speed up
/// most; a search by distance alone has the octile distance, nearly exact in open space).
///
/// Built by prepare() on its caller's thread, or else off the search path, on a thread of their
/// own, the first time a search could use them; checked against every new state of the map before a
/// search relies on them; dropped and built again once the map undercuts them (a static map or
/// footprint changed, an obstacle that was there when they were built went away from a cell farther
/// than its inflation reaches). Searches go on with the octile distance meanwhile.
class LandmarkKeeper {
 public:
  /// Maps of fewer cells get no tables: their searches are short, and small maps (a local
  /// planner's window) are searched once per cycle on ever new layers.
  static constexpr std::size_t kMinCells = std::size_t{1} << 17;
  /// Nor do maps of more cells than this: 16.8 million, a floor of 100 m x 100 m in 2.5 cm cells
  /// or 200 m x 200 m in 5 cm cells. Their tables take LandmarkTable::kBytesPerCell, 18 bytes a
  /// cell (at most 288 MiB, half again the grid map's own 12 bytes a cell), and about 16 more
  /// while a build runs; a build takes a second or more per 2 million cells.
  static constexpr std::size_t kMaxCells = std::size_t{1} << 24;

  LandmarkKeeper() = default;
  ~LandmarkKeeper();
  LandmarkKeeper(const LandmarkKeeper&) = delete;
  LandmarkKeeper& operator=(const LandmarkKeeper&) = delete;

  /// Tables whose bounds hold on `layers` for a search with these steps, or null; then a build
  /// is started unless one is running.
  std::shared_ptr<const LandmarkTable> tablesFor(
      const std::shared_ptr<const vantrell_nav2_gridmap::GridLayers>& layers, bool cost_aware);

  /// Makes sure that tables whose bounds hold on `layers` are there when this returns, building
  /// them on the calling thread's behalf (and waiting for a build already running) when the map
  /// would get tables at all; no build when they already hold.
  void prepare(const std::shared_ptr<const vantrell_nav2_gridmap::GridLayers>& layers);

  /// Returns once no build is running.
  void waitForBuild();

 private:
  /// Whether searches on maps of this size and make get tables at all.
  static bool eligible(const vantrell_nav2_gridmap::GridLayers& layers);
  /// Whether the table still bounds `layers`, checked once per state of the map.
  bool holdsOn(std::unique_lock<std::mutex>& lock,
               const std::shared_ptr<const vantrell_nav2_gridmap::GridLayers>& layers);
  void startBuild(std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers);
  void build(const std::shared_ptr<const vantrell_nav2_gridmap::GridLayers>& layers);

  std::mutex mutex_;
  std::condition_variable built_;
  std::shared_ptr<const LandmarkTable> table_;
  /// The state of the map the table was last checked against.
  std::weak_ptr<const vantrell_nav2_gridmap::GridLayers> checked_;
  /// The state of the map the last build started from: never built from twice.
  std::weak_ptr<const vantrell_nav2_gridmap::GridLayers> source_;
  bool building_{false};
  bool given_up_{false};  ///< a build ran out of memory or threads: none again
  std::atomic<bool> stop_{false};
  std::thread builder_;
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_KEEPER_HPP_
