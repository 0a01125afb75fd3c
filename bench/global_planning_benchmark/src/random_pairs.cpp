#include "global_planning_benchmark/random_pairs.hpp"

#include <fmt/format.h>

#include <cmath>
#include <random>
#include <stdexcept>

#include "nav2_costmap_2d/cost_values.hpp"

namespace global_planning_benchmark {

namespace {

// Draws per wanted pair before giving up on cells that all lie too close together.
constexpr int64_t kDrawsPerPair = 10000;

struct Cell {
  unsigned int x;
  unsigned int y;
};

std::vector<Cell> allowedCells(const vantrell_nav2_gridmap::GridLayers& layers,
                               const PairRules& rules) {
  std::vector<Cell> cells;
  const unsigned int border = rules.border_cells;
  if (layers.size_x <= 2 * border || layers.size_y <= 2 * border) {
    return cells;
  }
  for (unsigned int y = border; y < layers.size_y - border; ++y) {
    for (unsigned int x = border; x < layers.size_x - border; ++x) {
      const size_t i = layers.index(x, y);
      if (layers.raw_cost[i] == nav2_costmap_2d::FREE_SPACE && layers.cost[i] < rules.cost_limit &&
          (rules.min_clearance_m <= 0.0 || layers.distance[i] >= rules.min_clearance_m)) {
        cells.push_back(Cell{x, y});
      }
    }
  }
  return cells;
}

// Uniform in [0, n), by rejection, from the generator's 32-bit output.
size_t uniformBelow(std::mt19937& random, size_t n) {
  const uint64_t range = uint64_t{1} << 32;
  const uint64_t limit = range - range % n;
  uint64_t drawn = random();
  while (drawn >= limit) {
    drawn = random();
  }
  return static_cast<size_t>(drawn % n);
}

}  // namespace

std::vector<CellPair> drawRandomPairs(const vantrell_nav2_gridmap::GridLayers& layers, int count,
                                      uint32_t seed, const PairRules& rules) {
  const std::vector<Cell> cells = allowedCells(layers, rules);
  if (cells.empty()) {
    throw std::runtime_error(fmt::format(
        "no free cell with an inflated cost below {} and {} m from obstacles lies at least {} "
        "cells from the border of the {} x {} map",
        rules.cost_limit, rules.min_clearance_m, rules.border_cells, layers.size_x, layers.size_y));
  }
  std::mt19937 random(seed);
  std::vector<CellPair> pairs;
  const int64_t most_draws = kDrawsPerPair * count;
  for (int64_t draw = 0; draw < most_draws && static_cast<int>(pairs.size()) < count; ++draw) {
    const Cell start = cells[uniformBelow(random, cells.size())];
    const Cell goal = cells[uniformBelow(random, cells.size())];
    const double dx = (static_cast<double>(start.x) - goal.x) * layers.resolution;
    const double dy = (static_cast<double>(start.y) - goal.y) * layers.resolution;
    if (std::hypot(dx, dy) >= rules.min_distance_m) {
      pairs.push_back(CellPair{start.x, start.y, goal.x, goal.y});
    }
  }
  if (static_cast<int>(pairs.size()) < count) {
    throw std::runtime_error(
        fmt::format("found only {} of {} pairs whose ends lie at least {} m apart", pairs.size(),
                    count, rules.min_distance_m));
  }
  return pairs;
}

}  // namespace global_planning_benchmark
