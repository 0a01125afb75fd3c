#ifndef VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_
#define VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "static_layer.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

namespace vantrell_nav2_gridmap {

// Obstacles and obstacle types put on the map by the host (what sensors and
// recognisers report). Edits wait in a queue until the next map update
// applies them, so that a snapshot never shows half an edit.
//
// One 16-bit word per cell: the type bits and GridLayers::OBSTACLE_BLOCKING.
// The snapshots share the words; an edit writes a copy. A layer with nothing on
// it holds no words at all (cells() is null), so that the maps of one floor
// without obstacles share their snapshots.
class ObstacleLayer {
 public:
  using Cells = std::vector<uint16_t>;

  // Any thread. Throws std::invalid_argument for type bits the layer cannot hold.
  void queue(ObstacleEdit edit);

  // Update thread only. True when a cell changed.
  bool applyPending(const StaticLayer& geometry);
  // Update thread only: a new geometry drops every obstacle and pending edit.
  void resize(unsigned int size_x, unsigned int size_y);

  // Null while no cell carries anything.
  std::shared_ptr<const Cells> cells() const { return cells_; }

 private:
  bool apply(const ObstacleEdit& edit, const StaticLayer& geometry, Cells& cells) const;
  bool applyToCell(const ObstacleEdit& edit, unsigned int mx, unsigned int my, Cells& cells) const;
  bool applyToPolygon(const ObstacleEdit& edit, const StaticLayer& geometry, Cells& cells) const;

  std::mutex queue_mutex_;
  std::vector<ObstacleEdit> pending_;

  unsigned int size_x_{0};
  unsigned int size_y_{0};
  std::shared_ptr<const Cells> cells_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__OBSTACLE_LAYER_HPP_
