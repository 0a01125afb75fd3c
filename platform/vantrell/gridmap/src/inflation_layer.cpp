#include "inflation_layer.hpp"

#include <algorithm>
#include <cmath>

#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_gridmap {

using nav2_costmap_2d::FREE_SPACE;
using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using nav2_costmap_2d::NO_INFORMATION;

InflationLayer::InflationLayer(double resolution, double inscribed_radius, double inflation_radius,
                               double cost_scaling_factor, bool inflate_unknown)
    : inflate_unknown_(inflate_unknown) {
  // An inflation radius inside the footprint would leave cells that the
  // robot cannot reach looking free.
  const double radius = std::max(inflation_radius, inscribed_radius);
  const double cell_radius = std::ceil(radius / resolution);
  const auto max_sq = static_cast<size_t>(cell_radius * cell_radius);
  table_.resize(max_sq + 1);
  table_[0] = LETHAL_OBSTACLE;
  for (size_t sq = 1; sq <= max_sq; ++sq) {
    const double metres = std::sqrt(static_cast<double>(sq)) * resolution;
    if (metres <= inscribed_radius) {
      table_[sq] = INSCRIBED_INFLATED_OBSTACLE;
    } else {
      const double factor = std::exp(-cost_scaling_factor * (metres - inscribed_radius));
      table_[sq] = static_cast<uint8_t>((INSCRIBED_INFLATED_OBSTACLE - 1) * factor);
    }
  }
}

uint8_t InflationLayer::costAt(float distance_cells) const {
  const double sq = std::nearbyint(static_cast<double>(distance_cells) * distance_cells);
  if (!(sq < static_cast<double>(table_.size()))) {
    return FREE_SPACE;
  }
  return table_[static_cast<size_t>(sq)];
}

void InflationLayer::apply(const uint8_t* raw, const float* distance_cells, uint8_t* cost,
                           size_t count) const {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t inflated = costAt(distance_cells[i]);
    const uint8_t old = raw[i];
    if (old == NO_INFORMATION) {
      const bool takes =
          inflate_unknown_ ? inflated > FREE_SPACE : inflated >= INSCRIBED_INFLATED_OBSTACLE;
      cost[i] = takes ? inflated : NO_INFORMATION;
    } else {
      cost[i] = std::max(old, inflated);
    }
  }
}

}  // namespace vantrell_nav2_gridmap
