#ifndef VANTRELL_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
#define VANTRELL_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

namespace vantrell_nav2_gridmap {

class StaticLayer;
class ObstacleLayer;
class GridLayersBuilder;
class SharedLayers;

namespace testing {
struct MultiGridMapAccess;
}  // namespace testing

// The layers of one grid map: static map, obstacle layer, inflation,
// clearance, danger and narrow passages. updateMap computes a new snapshot
// (GridLayers) off to the side and swaps it in, and copies its costs into the
// master costmap under the costmap's mutex, so readers never see half an
// update. While a reader holds the costmap mutex, the snapshot stays put.
//
// Cell queries take the current snapshot on each call; a caller that reads
// many cells and needs them consistent takes getLayers() once.
class MultiGridMap {
 public:
  // Throws std::invalid_argument when the map cannot be used, or when its
  // layers would not fit in the memory available (GridMapMemory::admit).
  MultiGridMap(std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros,
               const nav_msgs::msg::OccupancyGrid& map, const GridMapParams& params);
  ~MultiGridMap();
  MultiGridMap(const MultiGridMap&) = delete;
  MultiGridMap& operator=(const MultiGridMap&) = delete;

  // What the robot's sensors and recognisers report (obstacles, their kinds, what cleared),
  // applied with the next updateMap. Safe from any thread.
  void queueObstacleEdit(ObstacleEdit edit);

  // Floor the robot has cleaned (the coverage layer), applied with the next updateMap: those
  // cells of the master costmap cost INSCRIBED_INFLATED_OBSTACLE at least, so that the coverage
  // planners' images show them as no longer to clean. The layers beneath and their queries
  // (getCost, getDistance, inDanger, getLayers) do not change. Costmap2DROS::resetLayers forgets
  // the coverage, queued cells included; cells off the map are ignored. Safe from any thread.
  void queueCoveredCells(std::vector<ObstacleEdit::Cell> cells);

  // Applies pending obstacle edits, a new footprint or a new static map.
  // Cheap when nothing changed. Safe from any number of threads.
  bool updateMap();

  // Level 0: the robot's centre cannot be there (inscribed, lethal or
  // unknown). Level 1 and above: level 0, or nearer to an obstacle than the
  // circumscribed radius. Off the map: true.
  bool inDanger(unsigned int mx, unsigned int my, int level) const;
  // Inflated cost; with `raw`, the cost before inflation. Off the map: 255.
  unsigned char getCost(unsigned int mx, unsigned int my, bool raw) const;
  // Metres to the nearest obstacle or unknown cell; 0 on one and off the map.
  double getDistance(unsigned int mx, unsigned int my) const;
  // Mode 0: a free cell in a passage no wider than narrow_passage_width
  // (along x or y, closed by obstacles at both ends). Other modes, off the map: false.
  bool inNarrowPassage(unsigned int mx, unsigned int my, int mode) const;
  // ORs the cell's obstacle types into `types`. Off the map: nothing.
  void getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap& types) const;

  nav2_costmap_2d::Costmap2D* getCostmap() const;
  std::shared_ptr<const GridLayers> getLayers() const;

 private:
  friend struct testing::MultiGridMapAccess;
  friend class GridLayersPlugin;

  void replaceStaticMap(const nav_msgs::msg::OccupancyGrid& map);
  // The next updateMap rebuilds even when no input changed.
  void requestRebuild();
  // Drops the coverage layer (a reset); the next rebuild's costs replace its marks.
  void forgetCoverage();
  void applyQueuedCoverage(unsigned int size_x, unsigned int size_y);
  void install(std::shared_ptr<const GridLayers> layers, uint64_t version);
  // Marks the covered cells not yet in the master; under the master's mutex.
  void overlayCoverage(unsigned char* master);

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  // What the maps of one floor share; held for this map's way out.
  const std::shared_ptr<SharedLayers> shared_layers_;
  const GridMapParams params_;
  std::unique_ptr<GridLayersBuilder> builder_;

  // Inputs that other threads hand in.
  std::mutex input_mutex_;
  std::unique_ptr<StaticLayer> pending_static_;
  bool rebuild_requested_{false};

  // Build state, owned by whoever holds update_mutex_.
  std::mutex update_mutex_;
  std::unique_ptr<StaticLayer> static_layer_;
  std::unique_ptr<ObstacleLayer> obstacle_layer_;
  std::vector<geometry_msgs::msg::Point> built_footprint_;
  std::shared_ptr<const GridLayers> latest_built_;
  uint64_t built_version_{0};

  // The published snapshot and the version it came from.
  mutable std::mutex layers_mutex_;
  std::shared_ptr<const GridLayers> layers_;
  uint64_t installed_version_{0};

  // The coverage layer: queued cells, then the cells covered so far (a bit per cell, allocated
  // with the first mark, and the list in covering order), and how many of the list the master
  // shows. Taken inside the master's mutex, never around it.
  std::mutex coverage_mutex_;
  std::vector<ObstacleEdit::Cell> queued_covered_;
  std::vector<bool> covered_;
  std::vector<size_t> covered_cells_;
  size_t overlaid_{0};
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
