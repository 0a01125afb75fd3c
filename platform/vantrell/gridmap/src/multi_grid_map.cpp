#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "grid_layers_builder.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "obstacle_layer.hpp"
#include "shared_layers.hpp"
#include "static_layer.hpp"

namespace vantrell_nav2_gridmap {

namespace {

const GridMapParams& checkedParams(const GridMapParams& params) {
  auto non_negative = [](double value) { return std::isfinite(value) && value >= 0.0; };
  if (!non_negative(params.inflation_radius)) {
    throw std::invalid_argument("inflation_radius must be a finite number, at least 0");
  }
  if (!non_negative(params.cost_scaling_factor)) {
    throw std::invalid_argument("cost_scaling_factor must be a finite number, at least 0");
  }
  if (!non_negative(params.narrow_passage_width)) {
    throw std::invalid_argument("narrow_passage_width must be a finite number, at least 0");
  }
  if (!non_negative(params.transform_tolerance)) {
    throw std::invalid_argument("transform_tolerance must be a finite number, at least 0");
  }
  for (const auto& point : params.footprint) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
      throw std::invalid_argument("footprint points must be finite");
    }
  }
  return params;
}

// Everything a snapshot is computed from: maps of one floor whose inputs are equal share it.
SharedLayers::Inputs inputsOf(const StaticLayer& static_layer, const ObstacleLayer& obstacles,
                              const GridMapParams& params, double inscribed, double circumscribed) {
  SharedLayers::Inputs inputs;
  inputs.static_costs = static_layer.sharedCosts();
  inputs.obstacles = obstacles.cells();
  inputs.size_x = static_layer.sizeX();
  inputs.size_y = static_layer.sizeY();
  inputs.resolution = static_layer.resolution();
  inputs.origin_x = static_layer.originX();
  inputs.origin_y = static_layer.originY();
  inputs.inscribed_radius = inscribed;
  inputs.circumscribed_radius = circumscribed;
  inputs.inflation_radius = params.inflation_radius;
  inputs.cost_scaling_factor = params.cost_scaling_factor;
  inputs.inflate_unknown = params.inflate_unknown;
  inputs.narrow_passage_width = params.narrow_passage_width;
  return inputs;
}

}  // namespace

MultiGridMap::MultiGridMap(std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros,
                           const nav_msgs::msg::OccupancyGrid& map, const GridMapParams& params)
    : costmap_ros_(std::move(costmap_ros)),
      shared_layers_(SharedLayers::shared()),
      params_(checkedParams(params)),
      builder_(std::make_unique<GridLayersBuilder>(params)),
      static_layer_(std::make_unique<StaticLayer>(StaticLayer::fromOccupancyGrid(map, params))),
      obstacle_layer_(std::make_unique<ObstacleLayer>()) {
  obstacle_layer_->resize(static_layer_->sizeX(), static_layer_->sizeY());
  updateMap();
}

MultiGridMap::~MultiGridMap() {
  // What this map alone held goes now, and with it the registry's record of it.
  latest_built_.reset();
  layers_.reset();
  static_layer_.reset();
  pending_static_.reset();
  obstacle_layer_.reset();
  shared_layers_->forgetUnused();
}

bool MultiGridMap::updateMap() {
  std::shared_ptr<const GridLayers> built;
  uint64_t version = 0;
  {
    std::lock_guard<std::mutex> lock(update_mutex_);
    std::unique_ptr<StaticLayer> new_static;
    bool changed = false;
    {
      std::lock_guard<std::mutex> input_lock(input_mutex_);
      new_static = std::move(pending_static_);
      changed = std::exchange(rebuild_requested_, false);
    }
    if (new_static) {
      if (!new_static->sameGeometry(*static_layer_)) {
        obstacle_layer_->resize(new_static->sizeX(), new_static->sizeY());
        forgetCoverage();
      }
      static_layer_ = std::move(new_static);
      changed = true;
    }
    changed = obstacle_layer_->applyPending(*static_layer_) || changed;
    auto footprint = costmap_ros_->getRobotFootprint();
    if (footprint != built_footprint_) {
      built_footprint_ = std::move(footprint);
      changed = true;
    }
    if (changed || !latest_built_) {
      double inscribed = 0.0;
      double circumscribed = 0.0;
      // Nav2 measures an empty footprint as an inscribed radius of DBL_MAX.
      if (!built_footprint_.empty()) {
        nav2_costmap_2d::calculateMinAndMaxDistances(built_footprint_, inscribed, circumscribed);
      }
      // A footprint with a broken point measures as no footprint at all.
      if (!std::isfinite(inscribed) || !std::isfinite(circumscribed)) {
        inscribed = 0.0;
        circumscribed = 0.0;
      }
      latest_built_ = shared_layers_->snapshot(
          inputsOf(*static_layer_, *obstacle_layer_, params_, inscribed, circumscribed), [&] {
            return builder_->build(*static_layer_, *obstacle_layer_, inscribed, circumscribed);
          });
      ++built_version_;
    }
    built = latest_built_;
    version = built_version_;
    applyQueuedCoverage(static_layer_->sizeX(), static_layer_->sizeY());
  }
  // Outside the update lock: a thread that holds the costmap mutex may call
  // updateMap without ever waiting on a builder that waits for that mutex.
  install(built, version);
  return true;
}

void MultiGridMap::install(std::shared_ptr<const GridLayers> layers, uint64_t version) {
  std::shared_ptr<const GridLayers> replaced;
  nav2_costmap_2d::Costmap2D* master = getCostmap();
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> master_lock(*master->getMutex());
  bool newer = false;
  {
    std::lock_guard<std::mutex> lock(layers_mutex_);
    // Two updaters may finish in either order; the older result loses.
    newer = version > installed_version_;
  }
  if (newer) {
    if (master->getSizeInCellsX() != layers->size_x ||
        master->getSizeInCellsY() != layers->size_y ||
        master->getResolution() != layers->resolution || master->getOriginX() != layers->origin_x ||
        master->getOriginY() != layers->origin_y) {
      costmap_ros_->getLayeredCostmap()->resizeMap(
          layers->size_x, layers->size_y, layers->resolution, layers->origin_x, layers->origin_y);
    }
    std::memcpy(master->getCharMap(), layers->cost.data(), layers->cost.size());
    {
      std::lock_guard<std::mutex> coverage_lock(coverage_mutex_);
      overlaid_ = 0;
    }
    std::lock_guard<std::mutex> lock(layers_mutex_);
    replaced = std::exchange(layers_, std::move(layers));
    installed_version_ = version;
  }
  overlayCoverage(master->getCharMap());
}

void MultiGridMap::queueCoveredCells(std::vector<ObstacleEdit::Cell> cells) {
  std::lock_guard<std::mutex> lock(coverage_mutex_);
  queued_covered_.insert(queued_covered_.end(), cells.begin(), cells.end());
}

void MultiGridMap::forgetCoverage() {
  std::lock_guard<std::mutex> lock(coverage_mutex_);
  queued_covered_.clear();
  covered_.clear();
  covered_cells_.clear();
  overlaid_ = 0;
}

void MultiGridMap::applyQueuedCoverage(unsigned int size_x, unsigned int size_y) {
  std::lock_guard<std::mutex> lock(coverage_mutex_);
  if (queued_covered_.empty()) {
    return;
  }
  const size_t cells = static_cast<size_t>(size_x) * size_y;
  if (covered_.size() != cells) {
    covered_.assign(cells, false);
  }
  for (const ObstacleEdit::Cell& cell : queued_covered_) {
    if (cell.x >= size_x || cell.y >= size_y) {
      continue;
    }
    const size_t index = static_cast<size_t>(cell.y) * size_x + cell.x;
    if (!covered_[index]) {
      covered_[index] = true;
      covered_cells_.push_back(index);
    }
  }
  queued_covered_.clear();
}

void MultiGridMap::overlayCoverage(unsigned char* master) {
  std::lock_guard<std::mutex> lock(coverage_mutex_);
  for (; overlaid_ < covered_cells_.size(); ++overlaid_) {
    unsigned char& cost = master[covered_cells_[overlaid_]];
    cost = std::max(cost, nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  }
}

bool MultiGridMap::inDanger(unsigned int mx, unsigned int my, int level) const {
  std::lock_guard<std::mutex> lock(layers_mutex_);
  const GridLayers& layers = *layers_;
  if (!layers.contains(mx, my)) {
    return true;
  }
  const uint8_t bit = level <= 0 ? GridLayers::DANGER_LEVEL_0 : GridLayers::DANGER_LEVEL_1;
  return (layers.danger[layers.index(mx, my)] & bit) != 0;
}

unsigned char MultiGridMap::getCost(unsigned int mx, unsigned int my, bool raw) const {
  std::lock_guard<std::mutex> lock(layers_mutex_);
  const GridLayers& layers = *layers_;
  if (!layers.contains(mx, my)) {
    return nav2_costmap_2d::NO_INFORMATION;
  }
  const size_t i = layers.index(mx, my);
  return raw ? layers.raw_cost[i] : layers.cost[i];
}

double MultiGridMap::getDistance(unsigned int mx, unsigned int my) const {
  std::lock_guard<std::mutex> lock(layers_mutex_);
  const GridLayers& layers = *layers_;
  if (!layers.contains(mx, my)) {
    return 0.0;
  }
  return layers.distance[layers.index(mx, my)];
}

bool MultiGridMap::inNarrowPassage(unsigned int mx, unsigned int my, int mode) const {
  if (mode != 0) {
    return false;
  }
  std::lock_guard<std::mutex> lock(layers_mutex_);
  const GridLayers& layers = *layers_;
  if (!layers.contains(mx, my)) {
    return false;
  }
  return (layers.narrow[layers.index(mx, my)] & GridLayers::NARROW_MODE_0) != 0;
}

void MultiGridMap::getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap& types) const {
  std::lock_guard<std::mutex> lock(layers_mutex_);
  const GridLayers& layers = *layers_;
  if (!layers.contains(mx, my)) {
    return;
  }
  types.set(layers.obstacleTypes(layers.index(mx, my)));
}

nav2_costmap_2d::Costmap2D* MultiGridMap::getCostmap() const { return costmap_ros_->getCostmap(); }

std::shared_ptr<const GridLayers> MultiGridMap::getLayers() const {
  std::lock_guard<std::mutex> lock(layers_mutex_);
  return layers_;
}

void MultiGridMap::queueObstacleEdit(ObstacleEdit edit) { obstacle_layer_->queue(std::move(edit)); }

void MultiGridMap::replaceStaticMap(const nav_msgs::msg::OccupancyGrid& map) {
  auto layer = std::make_unique<StaticLayer>(StaticLayer::fromOccupancyGrid(map, params_));
  std::lock_guard<std::mutex> lock(input_mutex_);
  pending_static_ = std::move(layer);
}

void MultiGridMap::requestRebuild() {
  std::lock_guard<std::mutex> lock(input_mutex_);
  rebuild_requested_ = true;
}

}  // namespace vantrell_nav2_gridmap
