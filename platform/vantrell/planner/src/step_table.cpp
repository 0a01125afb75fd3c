#include "vantrell_nav2_planner/astar2/step_table.hpp"

#include <algorithm>
#include <cmath>

#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr double kSqrt2 = 1.4142135623730951;

std::uint32_t roundedUnits(double cost) {
  return static_cast<std::uint32_t>(std::min(std::llround(cost), 0x7FFFFFFFLL));
}

}  // namespace

const StepTable& StepTable::fine(bool cost_aware, bool keep_turning_room) {
  // Immutable once built; C++ builds a function's statics once, whichever thread comes first.
  static const std::array<StepTable, 4> tables{
      StepTable(false, false, kFineUnit), StepTable(false, true, kFineUnit),
      StepTable(true, false, kFineUnit), StepTable(true, true, kFineUnit)};
  return tables[(cost_aware ? 2U : 0U) + (keep_turning_room ? 1U : 0U)];
}

StepTable::StepTable(bool cost_aware, bool keep_turning_room, std::uint32_t unit)
    : unit_(unit), diagonal_unit_(static_cast<std::uint32_t>(std::floor(kSqrt2 * unit))) {
  const float tight = keep_turning_room ? kCostWeight * kTurningRoomCost : 0.0F;
  for (std::size_t cls = 0; cls < kClasses; ++cls) {
    const std::uint32_t cost = cls & 0xFFU;
    const auto danger = static_cast<std::uint32_t>(cls >> 8);
    const bool usable = cost < nav2_costmap_2d::LETHAL_OBSTACLE && (danger & 1U) == 0U;
    const float counted = cost_aware ? static_cast<float>(cost) : 0.0F;
    const float weight = 1.0F + kCostWeight * counted + ((danger & 2U) != 0U ? tight : 0.0F);
    weight_[cls] = usable ? weight : 0.0F;
    straight_[cls] = usable ? roundedUnits(static_cast<double>(weight) * unit) : 0U;
    diagonal_[cls] = usable ? roundedUnits(static_cast<double>(weight) * kSqrt2 * unit) : 0U;
    largest_diagonal_ = std::max(largest_diagonal_, diagonal_[cls]);
  }
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
