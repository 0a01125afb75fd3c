#ifndef NAV2_COSTMAP_2D__LAYER_HPP_
#define NAV2_COSTMAP_2D__LAYER_HPP_

#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace nav2_costmap_2d {

class LayeredCostmap;

// One source of costs for the master grid of a LayeredCostmap.
class Layer {
 public:
  Layer() = default;
  virtual ~Layer() = default;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  void initialize(LayeredCostmap* parent, const std::string& name);

  // Drop derived state so that the next update rebuilds it from its sources.
  virtual void reset() = 0;
  // Grow the window (world coordinates) that this layer wants to write.
  virtual void updateBounds(double robot_x, double robot_y, double robot_yaw, double* min_x,
                            double* min_y, double* max_x, double* max_y) = 0;
  // Write the cells [min_i, max_i) x [min_j, max_j) of the master grid. The
  // layer takes the master's mutex itself, so that it may compute outside it.
  virtual void updateCosts(Costmap2D& master_grid, int min_i, int min_j, int max_i, int max_j) = 0;
  virtual void onFootprintChanged() {}

  const std::string& getName() const { return name_; }

 protected:
  virtual void onInitialize() {}

  LayeredCostmap* layered_costmap_{nullptr};
  std::string name_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__LAYER_HPP_
