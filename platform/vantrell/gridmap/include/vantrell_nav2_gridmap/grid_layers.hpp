#ifndef VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_HPP_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantrell_nav2_gridmap {

// Every layer of a grid map as one updateMap left them. A snapshot never
// changes once published: readers hold a shared pointer and see one
// consistent state while the map moves on. Grid maps of one floor whose
// inputs are the same (static map, obstacles, footprint, parameters) share
// one snapshot. All layers are row-major, index = my * size_x + mx.
struct GridLayers {
  static constexpr uint8_t DANGER_LEVEL_0 = 0x1;
  static constexpr uint8_t DANGER_LEVEL_1 = 0x2;
  static constexpr uint8_t NARROW_MODE_0 = 0x1;
  static constexpr uint16_t OBSTACLE_TYPE_BITS = 0x7fff;
  static constexpr uint16_t OBSTACLE_BLOCKING = 0x8000;

  unsigned int size_x{0};
  unsigned int size_y{0};
  double resolution{0.0};
  double origin_x{0.0};
  double origin_y{0.0};
  // Footprint radii the inflation and danger layers were built with.
  double inscribed_radius{0.0};
  double circumscribed_radius{0.0};

  // Inflated cost, as the master costmap holds it.
  std::vector<uint8_t> cost;
  // Cost before inflation: static map with the obstacle layer on top.
  std::vector<uint8_t> raw_cost;
  // DANGER_LEVEL_0: cost at or above INSCRIBED_INFLATED_OBSTACLE (the
  // robot's centre cannot be there; unknown cells included).
  // DANGER_LEVEL_1: level 0, or closer to an obstacle than the circumscribed
  // radius (the robot cannot be sure to turn on the spot there).
  std::vector<uint8_t> danger;
  // Metres to the nearest obstacle or unknown cell, cell centre to cell centre; 0 on one.
  // The distance in cells is exact; single precision is what getDistance has always given.
  std::vector<float> distance;
  // The obstacle layer as the host left it: per cell the obstacle-type bits
  // (ObsTypeBitMap values, OBSTACLE_TYPE_BITS) and OBSTACLE_BLOCKING. Shared
  // with the obstacle layer, and with later snapshots, until an edit changes it;
  // null while no cell carries anything.
  std::shared_ptr<const std::vector<uint16_t>> obstacles;
  // NARROW_MODE_0: a free cell whose free run along x or along y, wall to
  // wall, is no wider than the narrow passage width.
  std::vector<uint8_t> narrow;

  size_t index(unsigned int mx, unsigned int my) const {
    return static_cast<size_t>(my) * size_x + mx;
  }
  bool contains(unsigned int mx, unsigned int my) const { return mx < size_x && my < size_y; }
  // The obstacle-type bits of cell i; none where no obstacle layer was built.
  uint32_t obstacleTypes(size_t i) const {
    return obstacles ? (*obstacles)[i] & OBSTACLE_TYPE_BITS : 0u;
  }
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_HPP_
