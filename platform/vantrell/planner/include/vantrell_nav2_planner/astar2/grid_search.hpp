#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantrell_nav2_planner/astar2/grid_view.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"
#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

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
/// cells beside it usable, so paths never cut a blocked corner. The octile distance is the
/// heuristic: it never overestimates, so the path found is a cheapest one.
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
  static constexpr float kCostWeight = 0.016F;
  /// Extra cost, on the cell cost scale, of a cell without room to turn on the spot.
  static constexpr float kTurningRoomCost = 50.0F;

  GridSearch(const GridView& view, SearchWorkspace& workspace);

  SearchOutcome run(const GridCell& start, const GridCell& goal, const SearchSettings& settings);

  /// Cells of the path found by the last successful run, start first.
  const std::vector<std::uint32_t>& path() const { return workspace_.path(); }

 private:
  void prepareWeights(const SearchSettings& settings);
  bool usable(std::uint32_t index) const {
    return weight_[view_.cost[index]] > 0.0F && (view_.danger[index] & 1U) == 0U;
  }
  float weight(std::uint32_t index) const {
    const float base = (view_.danger[index] & 2U) != 0U ? tight_weight_[view_.cost[index]]
                                                        : weight_[view_.cost[index]];
    return corridor_ == nullptr ? base : base + kCostWeight * corridor_->penalty(index);
  }
  bool crossable(std::uint32_t index) const { return crossable_[view_.cost[index]]; }

  bool stepOut(const GridCell& start, double radius, std::uint32_t& first);
  SearchStatus pickTarget(const GridCell& goal, double radius, std::uint32_t& target) const;
  bool astar(std::uint32_t first, std::uint32_t target, SearchOutcome& outcome);
  void push(std::uint32_t index, const GridCell& cell, float cost_so_far, std::uint8_t parent,
            const GridCell& target);
  bool nearestReached(const GridCell& goal, double radius, std::uint32_t& end) const;
  void tracePath(std::uint32_t end);

  const GridView& view_;
  SearchWorkspace& workspace_;
  const ReferenceCorridor* corridor_{nullptr};
  std::size_t max_expansions_{0};
  std::array<float, 256> weight_{};        ///< step weight per cost value; 0 marks a blocked cost
  std::array<float, 256> tight_weight_{};  ///< the same for cells without turning room
  std::array<bool, 256> crossable_{};      ///< costs a stepping-out start may cross
  std::array<std::int64_t, 8> offset_{};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__GRID_SEARCH_HPP_
