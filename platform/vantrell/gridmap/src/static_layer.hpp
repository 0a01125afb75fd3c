#ifndef VANTRELL_NAV2_GRIDMAP__STATIC_LAYER_HPP_
#define VANTRELL_NAV2_GRIDMAP__STATIC_LAYER_HPP_

#include <cstdint>
#include <memory>
#include <vector>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace vantrell_nav2_gridmap {

// The map as loaded: geometry and one cost per cell. The costs are shared with every other
// static layer of the process that holds the same ones (maps built from one floor).
class StaticLayer {
 public:
  StaticLayer() = default;

  // Occupancy -1 becomes NO_INFORMATION (FREE_SPACE without
  // track_unknown), values at or above the lethal threshold LETHAL_OBSTACLE,
  // the rest FREE_SPACE or, without trinary_costmap, a proportional cost.
  // Throws std::invalid_argument on a grid that cannot be a map, or whose
  // grid map would not fit in the memory available (GridMapMemory).
  static StaticLayer fromOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                       const GridMapParams& params);

  unsigned int sizeX() const { return size_x_; }
  unsigned int sizeY() const { return size_y_; }
  double resolution() const { return resolution_; }
  double originX() const { return origin_x_; }
  double originY() const { return origin_y_; }
  const std::vector<uint8_t>& costs() const { return *costs_; }
  const std::shared_ptr<const std::vector<uint8_t>>& sharedCosts() const { return costs_; }

  bool sameGeometry(const StaticLayer& other) const;

 private:
  unsigned int size_x_{0};
  unsigned int size_y_{0};
  double resolution_{0.0};
  double origin_x_{0.0};
  double origin_y_{0.0};
  std::shared_ptr<const std::vector<uint8_t>> costs_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__STATIC_LAYER_HPP_
