#include "grid_layers_plugin.hpp"

#include <algorithm>
#include <utility>

namespace vantrell_nav2_gridmap {

GridLayersPlugin::GridLayersPlugin(std::weak_ptr<MultiGridMap> grid_map)
    : grid_map_(std::move(grid_map)) {}

void GridLayersPlugin::reset() {
  if (auto grid_map = grid_map_.lock()) {
    grid_map->forgetCoverage();
    grid_map->requestRebuild();
#ifdef VANTRELL_REAL_ROS2
    // Nav2's resetLayers has cleared the master grid, and its updateMap does nothing without a
    // robot pose: the layers go back into the master now.
    grid_map->updateMap();
#endif
  }
}

void GridLayersPlugin::updateBounds(double, double, double, double* min_x, double* min_y,
                                    double* max_x, double* max_y) {
  const auto grid_map = grid_map_.lock();
  if (!grid_map) {
    return;
  }
  // The whole map, every time: layers are rebuilt as a whole.
  const auto layers = grid_map->getLayers();
  *min_x = std::min(*min_x, layers->origin_x);
  *min_y = std::min(*min_y, layers->origin_y);
  *max_x = std::max(*max_x, layers->origin_x + layers->size_x * layers->resolution);
  *max_y = std::max(*max_y, layers->origin_y + layers->size_y * layers->resolution);
}

void GridLayersPlugin::updateCosts(nav2_costmap_2d::Costmap2D&, int, int, int, int) {
  // The grid map writes the master itself, under the master's mutex.
  if (auto grid_map = grid_map_.lock()) {
#ifdef VANTRELL_REAL_ROS2
    // Nav2's updateMap has cleared the master before asking the layers for their costs.
    grid_map->requestRebuild();
#endif
    grid_map->updateMap();
  }
}

}  // namespace vantrell_nav2_gridmap
