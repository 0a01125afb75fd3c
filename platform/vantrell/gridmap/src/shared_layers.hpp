#ifndef VANTRELL_NAV2_GRIDMAP__SHARED_LAYERS_HPP_
#define VANTRELL_NAV2_GRIDMAP__SHARED_LAYERS_HPP_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace vantrell_nav2_gridmap {

// What the grid maps of one process built from the same floor have in common: a host builds
// several maps of one floor (each planning node keeps two or three), and each would otherwise
// hold its own copy of the static costs and of every layer computed from them.
//
// Holds everything weakly: the maps own what they share, and the last map that lets go frees
// it. Each map holds the registry as well, so that a map kept in a static object still finds it
// when it goes at exit.
class SharedLayers {
 public:
  using Costs = std::vector<uint8_t>;
  using ObstacleCells = std::vector<uint16_t>;

  // All a snapshot is computed from; two maps whose inputs are equal get the same snapshot.
  struct Inputs {
    std::shared_ptr<const Costs> static_costs;
    // Null while no cell carries an obstacle.
    std::shared_ptr<const ObstacleCells> obstacles;
    unsigned int size_x{0};
    unsigned int size_y{0};
    double resolution{0.0};
    double origin_x{0.0};
    double origin_y{0.0};
    double inscribed_radius{0.0};
    double circumscribed_radius{0.0};
    double inflation_radius{0.0};
    double cost_scaling_factor{0.0};
    bool inflate_unknown{false};
    double narrow_passage_width{0.0};
  };

  // The process's registry; taken while a map is made, never on its way out.
  static std::shared_ptr<SharedLayers> shared();

  // `costs`, or an equal vector that a live map already holds.
  std::shared_ptr<const Costs> intern(Costs costs);
  // The live snapshot computed from `inputs`, or what `build` makes of them (then kept for the
  // maps that come with the same inputs). `build` runs without the registry's lock.
  std::shared_ptr<const GridLayers> snapshot(
      const Inputs& inputs, const std::function<std::shared_ptr<const GridLayers>()>& build);
  // Forgets what no map holds any more (a map calls it as it goes).
  void forgetUnused();

 private:
  struct CostsEntry {
    size_t hash;
    std::weak_ptr<const Costs> costs;
  };
  struct SnapshotEntry {
    Inputs inputs;  // without its pointers, which stay weak:
    std::weak_ptr<const Costs> static_costs;
    std::weak_ptr<const ObstacleCells> obstacles;
    std::weak_ptr<const GridLayers> layers;
  };

  static bool sameValues(const Inputs& a, const Inputs& b);
  std::shared_ptr<const GridLayers> find(const Inputs& inputs);
  // forgetUnused under the lock.
  void prune();

  std::mutex mutex_;
  std::vector<CostsEntry> costs_;
  std::vector<SnapshotEntry> snapshots_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__SHARED_LAYERS_HPP_
