#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__GRID_VIEW_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__GRID_VIEW_HPP_

#include <cstddef>
#include <cstdint>

namespace vantrell_nav2_planner {
namespace astar2 {

/// A cell by signed column and row, so that cells beside the map can be named too.
struct GridCell {
  int x{0};
  int y{0};
};

/// What one search reads of a grid map: the inflated cost and the danger bits of every cell,
/// row-major (index = y * size_x + x). The arrays belong to a map snapshot that the caller keeps
/// alive for the whole search.
struct GridView {
  unsigned size_x{0};
  unsigned size_y{0};
  const std::uint8_t* cost{nullptr};
  const std::uint8_t* danger{nullptr};

  std::size_t cells() const { return static_cast<std::size_t>(size_x) * size_y; }

  bool contains(const GridCell& cell) const {
    return cell.x >= 0 && cell.y >= 0 && static_cast<unsigned>(cell.x) < size_x &&
           static_cast<unsigned>(cell.y) < size_y;
  }

  std::uint32_t index(const GridCell& cell) const {
    return static_cast<std::uint32_t>(cell.y) * size_x + static_cast<std::uint32_t>(cell.x);
  }

  GridCell cell(std::uint32_t index) const {
    return GridCell{static_cast<int>(index % size_x), static_cast<int>(index / size_x)};
  }
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__GRID_VIEW_HPP_
