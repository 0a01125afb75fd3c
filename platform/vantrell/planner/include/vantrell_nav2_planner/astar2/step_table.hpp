#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__STEP_TABLE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__STEP_TABLE_HPP_

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantrell_nav2_planner {
namespace astar2 {

/// What a step into a cell costs under one cost model, by the cell's class (its cost and danger
/// bits 0-1): the exact weight per cell length, and the costs of a side and of a diagonal step
/// in whole units (a side step into open space costs `unit`), 0 for a cell that is not usable.
///
/// Usable: danger bit 0 clear and cost below LETHAL_OBSTACLE. Weight: 1 + kCostWeight * (the
/// cost when cost-aware, plus kTurningRoomCost for danger bit 1 when turning room is kept).
class StepTable {
 public:
  static constexpr std::size_t kClasses = 1024;
  /// Units per cell length of the tables searches start with: rounding a step costs at most
  /// 1/512 of its weight.
  static constexpr std::uint32_t kFineUnit = 256;
  static constexpr float kCostWeight = 0.016F;
  static constexpr float kTurningRoomCost = 50.0F;

  static std::uint32_t cellClass(std::uint8_t cost, std::uint8_t danger) {
    return cost | (danger & 3U) << 8;
  }

  /// The table of a model in kFineUnit, built once and shared by every search.
  static const StepTable& fine(bool cost_aware, bool keep_turning_room);

  StepTable(bool cost_aware, bool keep_turning_room, std::uint32_t unit);

  std::uint32_t unit() const { return unit_; }
  /// floor(sqrt 2 * unit): the heuristic's diagonal, never above a diagonal step.
  std::uint32_t diagonalUnit() const { return diagonal_unit_; }
  std::uint32_t largestDiagonal() const { return largest_diagonal_; }
  const std::uint32_t* straight() const { return straight_.data(); }
  const std::uint32_t* diagonal() const { return diagonal_.data(); }
  float weight(std::uint32_t cls) const { return weight_[cls]; }

 private:
  std::uint32_t unit_;
  std::uint32_t diagonal_unit_;
  std::uint32_t largest_diagonal_{0};
  std::array<std::uint32_t, kClasses> straight_{};
  std::array<std::uint32_t, kClasses> diagonal_{};
  std::array<float, kClasses> weight_{};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__STEP_TABLE_HPP_
