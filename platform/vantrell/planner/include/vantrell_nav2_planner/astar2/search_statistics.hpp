#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_STATISTICS_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_STATISTICS_HPP_

#include <cstddef>

namespace vantrell_nav2_planner {
namespace astar2 {

/// What one search of the engine did, for whoever measures it.
struct SearchStatistics {
  /// Cells the search expanded; 0 for a request refused before searching.
  std::size_t expanded_cells{0};
  bool found{false};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__SEARCH_STATISTICS_HPP_
