#ifndef VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_PLUGIN_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_PLUGIN_HPP_

#include <memory>

#include "nav2_costmap_2d/layer.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

namespace vantrell_nav2_gridmap {

// Lets Costmap2DROS::updateMap and resetLayers reach the grid map's layers,
// so that refreshing through either object gives the same result.
class GridLayersPlugin : public nav2_costmap_2d::Layer {
 public:
  explicit GridLayersPlugin(std::weak_ptr<MultiGridMap> grid_map);

  void reset() override;
#ifdef VANTRELL_REAL_ROS2
  // The layers are rebuilt from their inputs: nothing for Nav2's clearing to clear.
  bool isClearable() override { return false; }
#endif
  void updateBounds(double robot_x, double robot_y, double robot_yaw, double* min_x, double* min_y,
                    double* max_x, double* max_y) override;
  void updateCosts(nav2_costmap_2d::Costmap2D& master_grid, int min_i, int min_j, int max_i,
                   int max_j) override;

 private:
  std::weak_ptr<MultiGridMap> grid_map_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_LAYERS_PLUGIN_HPP_
