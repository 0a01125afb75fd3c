#ifndef VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_
#define VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_

#include <cstdint>
#include <mutex>
#include <vector>

#include "static_layer.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

namespace vantrell_nav2_gridmap {

// Obstacles and obstacle types put on the map by the host (what sensors and
// recognisers report). Edits wait in a queue until the next map update
// applies them, so that a snapshot never shows half an edit.
class ObstacleLayer {
 public:
  // Any thread.
  void queue(ObstacleEdit edit);

  // Update thread only. True when a cell changed.
  bool applyPending(const StaticLayer& geometry);
  // Update thread only: a new geometry drops every obstacle and pending edit.
  void resize(unsigned int size_x, unsigned int size_y);

  const std::vector<uint8_t>& blocking() const { return blocking_; }
  const std::vector<uint32_t>& types() const { return types_; }

 private:
  bool apply(const ObstacleEdit& edit, const StaticLayer& geometry);
  bool applyToCell(const ObstacleEdit& edit, unsigned int mx, unsigned int my);
  bool applyToPolygon(const ObstacleEdit& edit, const StaticLayer& geometry);

  std::mutex queue_mutex_;
  std::vector<ObstacleEdit> pending_;

  unsigned int size_x_{0};
  unsigned int size_y_{0};
  std::vector<uint8_t> blocking_;
  std::vector<uint32_t> types_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_
