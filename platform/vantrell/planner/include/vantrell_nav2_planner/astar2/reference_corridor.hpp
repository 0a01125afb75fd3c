#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__REFERENCE_CORRIDOR_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__REFERENCE_CORRIDOR_HPP_

#include <cstdint>
#include <vector>

#include "vantrell_nav2_planner/astar2/astar_node.hpp"
#include "vantrell_nav2_planner/astar2/grid_view.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// Extra step cost of every cell for keeping a search close to a reference path.
///
/// Distances are octile distances in cells to the nearest cell of the reference polyline,
/// measured through every cell whether blocked or not. Cells within `band` cost nothing extra;
/// beyond it the extra cost grows linearly over `ramp` cells up to `full_penalty`, which every
/// farther cell pays. Only cells closer than band + ramp are visited, so the work follows the
/// size of the corridor, not of the map. The arrays are kept for the next build.
class ReferenceCorridor {
 public:
  /// Builds the corridor around the polyline through `points` (cells, possibly off the map; a
  /// point off the map breaks the line). Returns false, leaving no corridor, when no point of
  /// the polyline lies on the map.
  bool build(const GridView& view, const std::vector<GridCell>& points, double band, double ramp,
             float full_penalty);

  float penalty(std::uint32_t index) const {
    return stamp_[index] == mark_ ? penalty_[index] : full_penalty_;
  }
  /// The largest penalty of any cell.
  float fullPenalty() const { return full_penalty_; }

 private:
  void prepare(std::size_t cells);
  void seedLine(const GridView& view, const GridCell& from, const GridCell& to);
  void seed(std::uint32_t index, const GridView& view);
  void spread(const GridView& view, float limit);
  float penaltyAt(float distance) const;

  std::vector<float> distance_;
  std::vector<float> penalty_;
  std::vector<std::uint32_t> stamp_;
  std::vector<AstarNode> queue_;
  std::uint32_t mark_{0};
  float band_{0.0F};
  float ramp_{0.0F};
  float full_penalty_{0.0F};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__REFERENCE_CORRIDOR_HPP_
