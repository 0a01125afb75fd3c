#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_NODE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_NODE_HPP_

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vantrell_nav2_planner {
namespace astar2 {

/// One entry of the search's open list: a cell with its estimated total cost and its cost so far.
struct AstarNode {
  float priority;  ///< cost so far plus the heuristic to the target
  std::int32_t x;  ///< cell column
  std::int32_t y;  ///< cell row
  float cost;      ///< cost so far
};

static_assert(sizeof(AstarNode) == 16, "AstarNode is a 16-byte record");
static_assert(std::is_standard_layout<AstarNode>::value, "AstarNode must be standard layout");
static_assert(offsetof(AstarNode, x) == 4, "column at byte 4");
static_assert(offsetof(AstarNode, y) == 8, "row at byte 8");

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_NODE_HPP_
