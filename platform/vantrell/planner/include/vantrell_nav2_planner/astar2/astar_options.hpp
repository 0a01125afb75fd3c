#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_OPTIONS_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_OPTIONS_HPP_

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "vantrell_nav2_planner/astar2/astar_reference_path.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// Option record of one search, exchanged byte for byte with the callers: they zero all 88
/// bytes (memset or value-initialisation) and then set the fields they need, so a zero in every
/// field must stay a sensible choice.
struct AstarOptions {
  /// Cost-aware steps: a step into a cell costs more the higher the cell's inflated cost, so
  /// paths keep off walls. Off: the geometrically shortest path over the usable cells.
  bool byte_0;
  /// Not read.
  bool byte_1;
  /// Keep turning room: cells where the robot cannot be sure to turn on the spot (danger
  /// level 1) weigh more, so paths pass where it can turn when that costs little detour.
  bool byte_2;
  /// Not read.
  bool byte_3;
  std::uint8_t unused_4[4];
  /// Start-side tolerance in metres: a start on an unusable cell (inside inflation) may step out
  /// to the nearest usable cell within this distance, crossing no obstacle. 0: no step-out.
  double fuzzy_range;
  /// Goal-side tolerance in metres: 0 means the goal cell itself must be reached; otherwise,
  /// when the goal cell is unusable or unreachable, the search ends on the reachable usable cell
  /// nearest to the goal within this distance.
  double goal_fuzzy_range;
  /// Not read.
  double unused_24;
  /// Not read.
  double unused_32;
  /// Not read.
  double unused_40;
  /// Copied into the found path's `tolerance`: how close the follower must come to its end.
  double tolerance;
  std::uint8_t unused_56[4];
  /// Search budget in units of 10000 expanded cells (400 lets a search sweep a whole 2000 x 2000
  /// map); 0 means no limit. A negative budget is refused.
  std::int32_t int_60;
  /// Keep close to `reference_path` (see AstarReferencePath).
  bool use_reference_path;
  std::uint8_t unused_65[7];
  /// Owned by the caller for the duration of the call; may be null.
  AstarReferencePath* reference_path;
  /// Widens the free band around the reference path by this many cells.
  std::int32_t offset_cells;
  std::uint8_t unused_84[4];
};

static_assert(sizeof(AstarOptions) == 88, "AstarOptions is exchanged as an 88-byte record");
static_assert(std::is_standard_layout<AstarOptions>::value, "AstarOptions must be standard layout");
static_assert(std::is_trivially_copyable<AstarOptions>::value,
              "AstarOptions must be trivially copyable");
static_assert(offsetof(AstarOptions, byte_0) == 0, "byte_0 at 0");
static_assert(offsetof(AstarOptions, byte_1) == 1, "byte_1 at 1");
static_assert(offsetof(AstarOptions, byte_2) == 2, "byte_2 at 2");
static_assert(offsetof(AstarOptions, byte_3) == 3, "byte_3 at 3");
static_assert(offsetof(AstarOptions, fuzzy_range) == 8, "fuzzy_range at 8");
static_assert(offsetof(AstarOptions, goal_fuzzy_range) == 16, "goal_fuzzy_range at 16");
static_assert(offsetof(AstarOptions, unused_24) == 24, "unused_24 at 24");
static_assert(offsetof(AstarOptions, unused_32) == 32, "unused_32 at 32");
static_assert(offsetof(AstarOptions, unused_40) == 40, "unused_40 at 40");
static_assert(offsetof(AstarOptions, tolerance) == 48, "tolerance at 48");
static_assert(offsetof(AstarOptions, unused_56) == 56, "unused_56 at 56");
static_assert(offsetof(AstarOptions, int_60) == 60, "int_60 at 60");
static_assert(offsetof(AstarOptions, use_reference_path) == 64, "use_reference_path at 64");
static_assert(offsetof(AstarOptions, reference_path) == 72, "reference_path at 72");
static_assert(offsetof(AstarOptions, offset_cells) == 80, "offset_cells at 80");

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_OPTIONS_HPP_
