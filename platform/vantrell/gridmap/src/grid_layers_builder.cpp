#include "grid_layers_builder.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "distance_transform.hpp"
#include "inflation_layer.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_gridmap {

using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using nav2_costmap_2d::NO_INFORMATION;

namespace {

DistanceTransform::SourceValues sourceValues(std::initializer_list<uint8_t> values) {
  DistanceTransform::SourceValues sources{};
  for (const uint8_t value : values) {
    sources[value] = true;
  }
  return sources;
}

}  // namespace

GridLayersBuilder::GridLayersBuilder(const GridMapParams& params) : params_(params) {}

std::shared_ptr<GridLayers> GridLayersBuilder::build(const StaticLayer& static_layer,
                                                     const ObstacleLayer& obstacles,
                                                     double inscribed_radius,
                                                     double circumscribed_radius) const {
  auto layers = std::make_shared<GridLayers>();
  layers->size_x = static_layer.sizeX();
  layers->size_y = static_layer.sizeY();
  layers->resolution = static_layer.resolution();
  layers->origin_x = static_layer.originX();
  layers->origin_y = static_layer.originY();
  layers->inscribed_radius = inscribed_radius;
  layers->circumscribed_radius = circumscribed_radius;

  computeRawCost(static_layer, obstacles, *layers);
  computeCostAndDistance(*layers);
  computeDanger(*layers);
  computeNarrow(*layers);
  layers->obstacles = obstacles.cells();
  return layers;
}

void GridLayersBuilder::computeRawCost(const StaticLayer& static_layer,
                                       const ObstacleLayer& obstacles, GridLayers& layers) const {
  layers.raw_cost = static_layer.costs();
  const auto cells = obstacles.cells();
  if (!cells) {
    return;
  }
  const auto& words = *cells;
  for (size_t i = 0; i < layers.raw_cost.size(); ++i) {
    if ((words[i] & GridLayers::OBSTACLE_BLOCKING) != 0) {
      layers.raw_cost[i] = LETHAL_OBSTACLE;
    }
  }
}

void GridLayersBuilder::computeCostAndDistance(GridLayers& layers) const {
  static const auto lethal = sourceValues({LETHAL_OBSTACLE});
  static const auto lethal_or_unknown = sourceValues({LETHAL_OBSTACLE, NO_INFORMATION});
  const size_t count = layers.raw_cost.size();
  const uint8_t* raw = layers.raw_cost.data();
  // No obstacle on the map: nothing is farther away than the map's diagonal.
  const auto far = static_cast<float>(std::hypot(layers.size_x, layers.size_y));
  const bool has_unknown = std::find(raw, raw + count, NO_INFORMATION) != raw + count;

  // Inflation grows from lethal cells only; clearance counts unknown space as
  // well, as the robot must not count on room it has never seen. One buffer
  // serves both in turn, so that no second grid of distances is ever held.
  DistanceTransform transform;
  layers.distance.resize(count);
  float* distance = layers.distance.data();
  transform.compute(raw, lethal, layers.size_x, layers.size_y, far, distance);

  // Inflating farther than the map reaches would only grow the cost table.
  const double reach = far * layers.resolution;
  const InflationLayer inflation(layers.resolution, std::min(layers.inscribed_radius, reach),
                                 std::min(params_.inflation_radius, reach),
                                 params_.cost_scaling_factor, params_.inflate_unknown);
  layers.cost.resize(count);
  inflation.apply(raw, distance, layers.cost.data(), count);

  if (has_unknown) {
    transform.compute(raw, lethal_or_unknown, layers.size_x, layers.size_y, far, distance);
  }
  const auto resolution = static_cast<float>(layers.resolution);
  for (auto& d : layers.distance) {
    d = std::min(d, far) * resolution;
  }
}

void GridLayersBuilder::computeDanger(GridLayers& layers) const {
  const size_t count = layers.cost.size();
  layers.danger.resize(count);
  const double turn_clearance = layers.circumscribed_radius;
  for (size_t i = 0; i < count; ++i) {
    const bool level0 = layers.cost[i] >= INSCRIBED_INFLATED_OBSTACLE;
    const bool level1 = level0 || layers.distance[i] < turn_clearance;
    layers.danger[i] =
        (level0 ? GridLayers::DANGER_LEVEL_0 : 0) | (level1 ? GridLayers::DANGER_LEVEL_1 : 0);
  }
}

void GridLayersBuilder::computeNarrow(GridLayers& layers) const {
  const unsigned int sx = layers.size_x;
  const unsigned int sy = layers.size_y;
  layers.narrow.assign(layers.distance.size(), 0);
  // A run of free cells is narrow when walls close it at both ends and it is
  // no wider than the limit. A run that reaches the map's edge is open.
  const double width_cells = std::floor(params_.narrow_passage_width / layers.resolution + 1e-9);
  if (!(width_cells >= 1.0)) {
    return;
  }
  const auto max_cells = static_cast<long>(std::min<double>(width_cells, std::max(sx, sy)));
  auto free = [&layers](size_t i) { return layers.distance[i] > 0.0f; };
  auto mark = [&layers](size_t first, size_t step, long n) {
    for (long k = 0; k < n; ++k) {
      layers.narrow[first + static_cast<size_t>(k) * step] |= GridLayers::NARROW_MODE_0;
    }
  };
  auto scan = [&](size_t line_start, size_t step, unsigned int length) {
    long run = 0;
    bool closed_at_start = false;
    for (unsigned int k = 0; k <= length; ++k) {
      const bool at_end = k == length;
      if (!at_end && free(line_start + k * step)) {
        if (run == 0) {
          closed_at_start = k > 0;
        }
        ++run;
        continue;
      }
      if (run > 0 && closed_at_start && !at_end && run <= max_cells) {
        mark(line_start + (k - run) * step, step, run);
      }
      run = 0;
    }
  };
  for (unsigned int my = 0; my < sy; ++my) {
    scan(static_cast<size_t>(my) * sx, 1, sx);
  }
  for (unsigned int mx = 0; mx < sx; ++mx) {
    scan(mx, sx, sy);
  }
}

}  // namespace vantrell_nav2_gridmap
