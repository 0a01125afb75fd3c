#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_TABLE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_TABLE_HPP_

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "vantrell_nav2_planner/astar2/grid_view.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#endif

namespace vantrell_nav2_planner {
namespace astar2 {

/// Lower bounds on the cost of the cheapest route between two cells, for a search's heuristic:
/// the costs from a few landmark cells to every cell of a floor plan.
///
/// The floor plan gives every cell a cost and danger bits that the map searched must not
/// undercut (`boundsHold`). The tables are built for one cost model; they bound the searches
/// whose model prices every cell at least as high (`serves`). On such a map, every route from
/// cell x to cell y costs, in search units, at least unit * |D_k(y) - D_k(x)| + (S_y - S_x) / 2
/// for every landmark k, where D_k are the table's costs and S a side step into a cell as the
/// search prices it (see LandmarkBuild): `bound` gives the largest of these, rounded down. It
/// changes from one cell to the next by no more than the step between them costs, so that A*
/// with it (or with the larger of it and the octile distance) stays consistent and exact.
///
/// Costs are held in 16 bits per landmark and cell, the landmarks of a cell side by side (one
/// read per cell). A cost too large for 16 bits reads as kFar - 1, and a cell that the
/// landmarks cannot reach as kFar: differences to them only get smaller, so they still bound.
/// All landmarks lie in the largest connected part of the floor plan, so a cell that the
/// landmarks reach and one that they do not are not connected on the map either.
class LandmarkTable {
 public:
  static constexpr unsigned kLandmarks = 8;
  static constexpr std::uint16_t kFar = 0xFFFFU;
  /// Bytes held per cell: the costs and the floor plan's cost and danger (2 on open terrain).
  static constexpr std::size_t kBytesPerCell = kLandmarks * sizeof(std::uint16_t) + 2U;

  /// Builds the tables on `floor` for steps priced as a search with these flags prices them.
  /// Returns null when `stop` was raised or the floor has no usable cell. With
  /// `skip_open_terrain`, a floor on which the octile distance is nearly as tight gets tables
  /// without costs (guides() false), built in a ninth of the time.
  static std::shared_ptr<const LandmarkTable> build(const GridView& floor, bool cost_aware,
                                                    bool keep_turning_room,
                                                    const std::atomic<bool>& stop,
                                                    bool skip_open_terrain = false);

  /// Only build() makes tables.
  class Key {
    friend class LandmarkTable;
    Key() = default;
  };
  LandmarkTable(Key key, const GridView& floor, bool cost_aware, bool keep_turning_room);

  /// The mean share, over a sample of cells, of the octile distance from the first landmark in
  /// the table's cost from there: near 1 on open terrain, lower the more walls force detours.
  double octileShare() const { return octile_share_; }

  /// True when every cell of `view` costs at least what the floor plan assumed, so that the
  /// bounds hold on it: the same size, a cost at least the floor's, the floor's danger bits set.
  bool boundsHold(const GridView& view) const;

  /// True when a search with these flags prices every step at least as the tables do. False
  /// for a floor plan found to be open terrain, where the build kept no costs (guides()).
  bool serves(bool cost_aware, bool keep_turning_room) const {
    return guides() && (cost_aware || !cost_aware_) && (keep_turning_room || !keep_turning_room_);
  }
  /// False on open terrain, where the octile distance is nearly as tight as landmarks: then only
  /// the floor plan is kept, so that its owner knows when the map changed enough to look again.
  bool guides() const { return !costs_.empty(); }

  /// True when no route joins the two cells on any map the bounds hold on.
  bool separated(std::uint32_t a, std::uint32_t b) const {
    return (costs_[static_cast<std::size_t>(a) * kLandmarks] == kFar) !=
           (costs_[static_cast<std::size_t>(b) * kLandmarks] == kFar);
  }

  /// The bound from `cell` to `goal` in search units, given a side step into each as the
  /// search prices it.
  std::uint64_t bound(std::uint32_t cell, std::uint32_t goal, std::uint32_t cell_side,
                      std::uint32_t goal_side) const {
    return boundOf(largestGap(row(cell), row(goal)), unit_, cell_side, goal_side);
  }
  /// The same from the cells' largest gap.
  static std::uint64_t boundOf(std::uint32_t gap, std::uint32_t unit, std::uint32_t cell_side,
                               std::uint32_t goal_side) {
    const std::uint64_t twice = 2ULL * gap * unit + goal_side;
    return twice > cell_side ? (twice - cell_side) >> 1U : 0U;
  }

  /// The largest difference between two cells' rows of costs.
  static std::uint32_t largestGap(const std::uint16_t* a, const std::uint16_t* b);

  /// Search units (1/256 of a cell length) per table unit.
  std::uint32_t unit() const { return unit_; }
  /// kLandmarks costs per cell, cell by cell.
  const std::uint16_t* costs() const { return costs_.data(); }
  const std::uint16_t* row(std::uint32_t cell) const {
    return costs_.data() + static_cast<std::size_t>(cell) * kLandmarks;
  }
  std::size_t cells() const { return floor_cost_.size(); }
  const std::array<std::uint32_t, kLandmarks>& landmarks() const { return landmarks_; }

 private:
  friend class LandmarkBuild;

  bool cost_aware_;
  bool keep_turning_room_;
  unsigned size_x_;
  unsigned size_y_;
  std::uint32_t unit_{4};
  double octile_share_{1.0};
  std::array<std::uint32_t, kLandmarks> landmarks_{};
  std::vector<std::uint16_t> costs_;
  std::vector<std::uint8_t> floor_cost_;
  std::vector<std::uint8_t> floor_danger_;
};

inline std::uint32_t LandmarkTable::largestGap(const std::uint16_t* a, const std::uint16_t* b) {
  static_assert(kLandmarks == 8, "one 128-bit row per cell");
#if defined(__SSE2__)
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  // |x - y| from two saturating differences; the largest through signed lanes, sign flipped.
  const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
  __m128i gap = _mm_xor_si128(_mm_or_si128(_mm_subs_epu16(x, y), _mm_subs_epu16(y, x)), flip);
  gap = _mm_max_epi16(gap, _mm_srli_si128(gap, 8));
  gap = _mm_max_epi16(gap, _mm_srli_si128(gap, 4));
  gap = _mm_max_epi16(gap, _mm_srli_si128(gap, 2));
  return (static_cast<std::uint32_t>(_mm_cvtsi128_si32(gap)) & 0xFFFFU) ^ 0x8000U;
#elif defined(__ARM_NEON)
  return vmaxvq_u16(vabdq_u16(vld1q_u16(a), vld1q_u16(b)));
#else
  std::uint32_t largest = 0;
  for (unsigned k = 0; k < kLandmarks; ++k) {
    largest = std::max<std::uint32_t>(largest, a[k] > b[k] ? a[k] - b[k] : b[k] - a[k]);
  }
  return largest;
#endif
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__LANDMARK_TABLE_HPP_
