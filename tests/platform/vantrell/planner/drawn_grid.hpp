#ifndef TESTS__PLATFORM__VANTRELL__PLANNER__DRAWN_GRID_HPP_
#define TESTS__PLATFORM__VANTRELL__PLANNER__DRAWN_GRID_HPP_

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "vantrell_nav2_planner/astar2/grid_search.hpp"
#include "vantrell_nav2_planner/astar2/grid_view.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"

namespace planner_test {

using vantrell_nav2_planner::astar2::GridCell;
using vantrell_nav2_planner::astar2::GridSearch;
using vantrell_nav2_planner::astar2::GridView;
using vantrell_nav2_planner::astar2::ReferenceCorridor;

constexpr std::uint8_t kLethal = 254;
constexpr std::uint8_t kUnknown = 255;

// '.' free, '#' obstacle, 'o' inflation (in danger), 'c' costly but usable (150), '?' unknown,
// 't' free but without turning room (danger bit 1),
// 'S' start, 'G' goal (both free), 's' a start inside inflation. Row 0 is the first text line.
struct DrawnGrid {
  unsigned size_x{0};
  unsigned size_y{0};
  std::vector<std::uint8_t> cost;
  std::vector<std::uint8_t> danger;
  GridCell start;
  GridCell goal;

  explicit DrawnGrid(const std::vector<std::string>& rows) {
    size_y = static_cast<unsigned>(rows.size());
    size_x = static_cast<unsigned>(rows.front().size());
    for (unsigned y = 0; y < size_y; ++y) {
      for (unsigned x = 0; x < size_x; ++x) {
        const char c = rows[y][x];
        std::uint8_t value = 0;
        std::uint8_t bits = 0;
        if (c == '#') {
          value = kLethal;
          bits = 3;
        } else if (c == 'o') {
          value = 253;
          bits = 1;
        } else if (c == 'c') {
          value = 150;
        } else if (c == '?') {
          value = kUnknown;
          bits = 3;
        } else if (c == 't') {
          bits = 2;
        } else if (c == 's') {
          value = 253;
          bits = 1;
          start = GridCell{static_cast<int>(x), static_cast<int>(y)};
        } else if (c == 'S') {
          start = GridCell{static_cast<int>(x), static_cast<int>(y)};
        } else if (c == 'G') {
          goal = GridCell{static_cast<int>(x), static_cast<int>(y)};
        }
        cost.push_back(value);
        danger.push_back(bits);
      }
    }
  }

  DrawnGrid(unsigned width, unsigned height)
      : size_x(width), size_y(height), cost(width * height, 0), danger(width * height, 0) {}

  GridView view() const { return GridView{size_x, size_y, cost.data(), danger.data()}; }
  std::uint32_t index(int x, int y) const { return static_cast<std::uint32_t>(y) * size_x + x; }
  GridCell cell(std::uint32_t index) const {
    return GridCell{static_cast<int>(index % size_x), static_cast<int>(index / size_x)};
  }
};

// Obstacles, inflation, costly cells and cells without turning room strewn at random.
inline DrawnGrid randomGrid(std::mt19937& random, unsigned width, unsigned height) {
  DrawnGrid grid(width, height);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> cost(0, 252);
  for (std::size_t i = 0; i < grid.cost.size(); ++i) {
    const int roll = percent(random);
    if (roll < 18) {
      grid.cost[i] = roll < 3 ? kUnknown : kLethal;
      grid.danger[i] = 3;
    } else if (roll < 24) {
      grid.cost[i] = 253;
      grid.danger[i] = 1;
    } else if (roll < 60) {
      grid.cost[i] = static_cast<std::uint8_t>(cost(random));
      grid.danger[i] = roll < 35 ? 2 : 0;
    }
  }
  return grid;
}

// The cost model written out independently of the engine.
struct Model {
  bool cost_aware{true};
  bool keep_turning_room{false};
  const ReferenceCorridor* corridor{nullptr};

  bool usable(const DrawnGrid& grid, int x, int y) const {
    if (x < 0 || y < 0 || x >= static_cast<int>(grid.size_x) ||
        y >= static_cast<int>(grid.size_y)) {
      return false;
    }
    const std::uint32_t i = grid.index(x, y);
    return (grid.danger[i] & 1U) == 0U && grid.cost[i] < kLethal;
  }

  double weight(const DrawnGrid& grid, int x, int y) const {
    const std::uint32_t i = grid.index(x, y);
    double counted = cost_aware ? grid.cost[i] : 0.0;
    if (keep_turning_room && (grid.danger[i] & 2U) != 0U) {
      counted += GridSearch::kTurningRoomCost;
    }
    if (corridor != nullptr) {
      counted += corridor->penalty(i);
    }
    return 1.0 + static_cast<double>(GridSearch::kCostWeight) * counted;
  }

  // Cost of one step, or a negative value when the step is not allowed.
  double step(const DrawnGrid& grid, int x, int y, int dx, int dy) const {
    if (!usable(grid, x + dx, y + dy)) {
      return -1.0;
    }
    if (dx != 0 && dy != 0 && (!usable(grid, x + dx, y) || !usable(grid, x, y + dy))) {
      return -1.0;
    }
    const double length = dx != 0 && dy != 0 ? std::sqrt(2.0) : 1.0;
    return length * weight(grid, x + dx, y + dy);
  }
};

// Bellman-Ford style relaxation until nothing changes: slow, obviously right.
inline std::vector<double> bruteForceCosts(const DrawnGrid& grid, const Model& model,
                                           GridCell from) {
  const double infinity = std::numeric_limits<double>::infinity();
  std::vector<double> best(grid.cost.size(), infinity);
  best[grid.index(from.x, from.y)] = 0.0;
  bool changed = true;
  while (changed) {
    changed = false;
    for (int y = 0; y < static_cast<int>(grid.size_y); ++y) {
      for (int x = 0; x < static_cast<int>(grid.size_x); ++x) {
        const double here = best[grid.index(x, y)];
        if (here == infinity) {
          continue;
        }
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) {
              continue;
            }
            const double step = model.step(grid, x, y, dx, dy);
            if (step < 0.0) {
              continue;
            }
            double& there = best[grid.index(x + dx, y + dy)];
            if (here + step < there - 1e-9) {
              there = here + step;
              changed = true;
            }
          }
        }
      }
    }
  }
  return best;
}

// The same relaxation backwards: the cheapest cost from every cell to `to`.
inline std::vector<double> bruteForceCostsTo(const DrawnGrid& grid, const Model& model,
                                             GridCell to) {
  const double infinity = std::numeric_limits<double>::infinity();
  std::vector<double> best(grid.cost.size(), infinity);
  best[grid.index(to.x, to.y)] = 0.0;
  for (bool changed = true; changed;) {
    changed = false;
    for (int y = 0; y < static_cast<int>(grid.size_y); ++y) {
      for (int x = 0; x < static_cast<int>(grid.size_x); ++x) {
        double& here = best[grid.index(x, y)];
        for (int d = 0; d < 9; ++d) {
          const int dx = d % 3 - 1;
          const int dy = d / 3 - 1;
          const double step = d == 4 ? -1.0 : model.step(grid, x, y, dx, dy);
          if (step < 0.0) {
            continue;
          }
          const double via = step + best[grid.index(x + dx, y + dy)];
          if (via < here - 1e-9) {
            here = via;
            changed = true;
          }
        }
      }
    }
  }
  return best;
}

// A copy that some cells undercut: lower costs, fewer danger bits, obstacles gone. The grid
// never costs less than it anywhere, as a map never costs less than the floor plan of its
// landmark tables.
inline DrawnGrid loweredCopy(std::mt19937& random, const DrawnGrid& grid) {
  DrawnGrid floor = grid;
  for (std::size_t i = 0; i < floor.cost.size(); ++i) {
    switch (random() % 8) {
      case 0:
        floor.cost[i] = static_cast<std::uint8_t>(random() % (floor.cost[i] + 1U));
        break;
      case 1:
        floor.danger[i] &= static_cast<std::uint8_t>(random() % 4);
        break;
      case 2:
        floor.cost[i] = 0;
        floor.danger[i] = 0;
        break;
      default:
        break;
    }
  }
  return floor;
}

}  // namespace planner_test

#endif  // TESTS__PLATFORM__VANTRELL__PLANNER__DRAWN_GRID_HPP_
