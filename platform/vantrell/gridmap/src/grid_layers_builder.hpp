#ifndef VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_BUILDER_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_BUILDER_HPP_

#include <memory>

#include "obstacle_layer.hpp"
#include "static_layer.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace vantrell_nav2_gridmap {

// Computes a whole snapshot from the map, the obstacle layer and the
// footprint's radii. Stateless between calls.
class GridLayersBuilder {
 public:
  explicit GridLayersBuilder(const GridMapParams& params);

  std::shared_ptr<GridLayers> build(const StaticLayer& static_layer, const ObstacleLayer& obstacles,
                                    double inscribed_radius, double circumscribed_radius) const;

 private:
  void computeRawCost(const StaticLayer& static_layer, const ObstacleLayer& obstacles,
                      GridLayers& layers) const;
  void computeCostAndDistance(GridLayers& layers) const;
  void computeDanger(GridLayers& layers) const;
  void computeNarrow(GridLayers& layers) const;

  GridMapParams params_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_BUILDER_HPP_
