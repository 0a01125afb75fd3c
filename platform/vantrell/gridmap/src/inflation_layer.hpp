#ifndef VANTRELL_NAV2_GRIDMAP__INFLATION_LAYER_HPP_
#define VANTRELL_NAV2_GRIDMAP__INFLATION_LAYER_HPP_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrell_nav2_gridmap {

// Costs around lethal cells as the costmap's inflation has always made them:
// lethal on the obstacle, inscribed while the robot's inscribed circle would
// touch it, then (INSCRIBED_INFLATED_OBSTACLE - 1) * exp(-k * (d - inscribed))
// out to the inflation radius, counted in whole cells.
class InflationLayer {
 public:
  InflationLayer(double resolution, double inscribed_radius, double inflation_radius,
                 double cost_scaling_factor, bool inflate_unknown);

  // Cost of a cell whose centre lies `distance_cells` from the nearest lethal cell's.
  uint8_t costAt(float distance_cells) const;

  // cost[i] from the cost before inflation and the distance (cells) to the
  // nearest lethal cell; an unknown cell keeps NO_INFORMATION unless
  // inflation reaches it hard enough.
  void apply(const uint8_t* raw, const float* distance_cells, uint8_t* cost, size_t count) const;

 private:
  // Indexed by the squared distance in cells, which is a whole number from
  // an exact Euclidean distance transform.
  std::vector<uint8_t> table_;
  bool inflate_unknown_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__INFLATION_LAYER_HPP_
