#ifndef VANTRELL_NAV2_GRIDMAP__OBSTACLE_EDIT_HPP_
#define VANTRELL_NAV2_GRIDMAP__OBSTACLE_EDIT_HPP_

#include <cstdint>
#include <vector>

namespace vantrell_nav2_gridmap {

// One change to the obstacle layer, applied at the next updateMap.
struct ObstacleEdit {
  enum class Action {
    // Blocking cells become lethal; every cell gains the type bits.
    MARK,
    // The cells lose their obstacle and all their type bits.
    CLEAR,
    // Every cell of the layer is cleared.
    CLEAR_ALL
  };

  struct Cell {
    unsigned int x;
    unsigned int y;
  };

  struct WorldPoint {
    double x;
    double y;
  };

  Action action{Action::MARK};
  // Map cells; cells off the map are ignored.
  std::vector<Cell> cells;
  // A polygon in the map's frame: the cells whose centre lies inside it.
  std::vector<WorldPoint> polygon;
  uint32_t types{0};
  // False for markings the robot may drive over (carpet, milk).
  bool blocking{true};
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__OBSTACLE_EDIT_HPP_
