#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "vantrell_nav2_planner/astar2/grid_view.hpp"
#include "vantrell_nav2_planner/astar2/landmark_table.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"
#include "vantrell_nav2_planner/astar2/search_workspace.hpp"
#include "vantrell_nav2_planner/astar2/step_table.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

enum class SearchStatus {
  kFound,
  kStartOffMap,
  kStartBlocked,     ///< the start is unusable and no usable cell lies within the step-out range
  kGoalOffMap,       ///< the goal and every cell of its tolerance lie beside the map
  kGoalBlocked,      ///< neither the goal nor a cell of its tolerance is usable
  kNoRoute,          ///< every reachable cell was searched without reaching the goal
  kBudgetExhausted,  ///< the expansion budget ran out first
};

/// True for the failures caused by blocked cells, which a new plan elsewhere may avoid.
bool isBlockedFailure(SearchStatus status);

struct SearchSettings {
  bool cost_aware{true};                       ///< steps into costly cells weigh more
  bool keep_turning_room{false};               ///< cells with danger bit 1 weigh more
  std::size_t max_expansions{0};               ///< 0: no limit
  double start_radius{0.0};                    ///< step-out range in cells
  double goal_radius{0.0};                     ///< goal tolerance in cells
  const ReferenceCorridor* corridor{nullptr};  ///< extra step costs, or none
  /// Lower bounds that hold on the map searched (LandmarkTable::boundsHold), or none.
  const LandmarkTable* landmarks{nullptr};
};

struct SearchOutcome {
  SearchStatus status{SearchStatus::kNoRoute};
  std::size_t expansions{0};
  /// Cost of the searched part of the path, from the first usable cell to the last cell.
  double cost{0.0};
  /// The last cell is the goal cell itself rather than a cell of its tolerance.
  bool goal_reached{false};
};

/// A* over an 8-connected grid.
///
/// A cell is usable when its danger bit 0 is clear and its cost is below LETHAL_OBSTACLE. A step
/// into a usable cell costs its length in cells (1 or sqrt 2) times 1 + kCostWeight * (cell cost
/// + turning-room cost + corridor penalty), where the cell cost counts only for cost-aware
/// searches and the turning-room cost kTurningRoomCost only for cells with danger bit 1 (too close
/// to an obstacle to turn on the spot) when `keep_turning_room` is set. A diagonal step needs both
/// cells beside it usable, so paths never cut a blocked corner.
///
/// The search adds step costs in whole units of 1/256 of a cell length, each step rounded, and
/// takes its open cells from a bucket queue; the heuristic is the octile distance in the same
/// units or, with landmark tables that hold on the map, the larger of it and their bound (both
/// consistent, neither overestimates), so the path found is a cheapest one up to the rounding:
/// at most 0.4 % dearer (0.8 % with a corridor's penalties), a few thousandths of a percent on
/// real floors. A search whose costs outgrow those units (a million cell lengths) starts again
/// in coarser ones.
///
/// With landmark tables, a target that they show to lie apart from the search's first cell
/// fails at once without a goal tolerance, and is searched for without them with one.
///
/// An unusable start may step out, through any cell that is neither a lethal obstacle nor
/// unknown, to the usable cell nearest along such cells within `start_radius`; the step-out
/// cells lead the path. With a goal tolerance, an unusable goal is replaced by the
/// usable cell nearest to it within `goal_radius`, and when the target proves unreachable the
/// search ends on the reachable usable cell nearest to the goal within the tolerance.
class GridSearch {
 public:
  /// Weight of one unit of cell cost: a step into a cell of cost 252 weighs about five steps in
  /// open space.
  static constexpr float kCostWeight = StepTable::kCostWeight;
  /// Extra cost, on the cell cost scale, of a cell without room to turn on the spot.
  static constexpr float kTurningRoomCost = StepTable::kTurningRoomCost;

  GridSearch(const GridView& view, SearchWorkspace& workspace);

  SearchOutcome run(const GridCell& start, const GridCell& goal, const SearchSettings& settings);

  /// Cells of the path found by the last successful run, start first.
  const std::vector<std::uint32_t>& path() const { return workspace_.path(); }

 private:
  std::uint32_t classOf(std::uint32_t index) const {
    return StepTable::cellClass(view_.cost[index], view_.danger[index]);
  }
  bool usable(std::uint32_t index) const { return steps_->straight()[classOf(index)] != 0U; }
  /// Exact step weight of a usable cell, for pricing the path found.
  double weight(std::uint32_t index) const;
  /// A cell a stepping-out start may cross: neither a lethal obstacle nor unknown.
  bool crossable(std::uint32_t index) const {
    return view_.cost[index] < nav2_costmap_2d::LETHAL_OBSTACLE;
  }

  bool stepOut(const GridCell& start, double radius, std::uint32_t& first);
  SearchStatus pickTarget(const GridCell& goal, double radius, std::uint32_t& target) const;
  /// Takes the step costs in `unit`, and the corridor's penalties in the same units.
  void useUnit(const SearchSettings& settings, std::uint32_t unit);
  /// Searches in ever coarser units while the costs overflow the finer ones.
  bool astar(std::uint32_t first, std::uint32_t target, const SearchSettings& settings,
             SearchOutcome& outcome);
  template <bool kCorridor, bool kLandmarks>
  bool expand(std::uint32_t first, std::uint32_t target, SearchOutcome& outcome);
  /// The settings' landmarks when they may price this search, else null.
  const LandmarkTable* usableLandmarks(const SearchSettings& settings) const;
  bool nearestReached(const GridCell& goal, double radius, std::uint32_t& end) const;
  /// Traces the path back from `end` and returns the exact cost of its searched part.
  double tracePath(std::uint32_t end);

  const GridView& view_;
  SearchWorkspace& workspace_;
  const ReferenceCorridor* corridor_{nullptr};
  const LandmarkTable* landmarks_{nullptr};
  std::size_t max_expansions_{0};
  bool overflow_{false};
  std::uint32_t first_{0};  ///< the cell the search began on
  std::uint32_t goal_x_{0};
  std::uint32_t goal_y_{0};
  const StepTable* steps_{nullptr};
  std::optional<StepTable> coarse_steps_;  ///< the steps of a search in coarser units
  std::uint32_t unit_{0};
  std::uint32_t diagonal_unit_{0};
  float corridor_straight_{0.0F};  ///< units per penalty point of a side step
  float corridor_diagonal_{0.0F};  ///< the same of a diagonal step
  std::array<std::int64_t, 8> offset_{};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_
