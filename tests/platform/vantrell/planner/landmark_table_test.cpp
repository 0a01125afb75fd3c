// Landmark tables on drawn grids: their bounds against brute-force costs, step by step against
// the search's own step costs, and the check that a map never undercuts their floor plan.

#include "vantrell_nav2_planner/astar2/landmark_table.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "drawn_grid.hpp"
#include "vantrell_nav2_planner/astar2/step_table.hpp"

namespace {

using planner_test::DrawnGrid;
using planner_test::Model;
using vantrell_nav2_planner::astar2::GridCell;
using vantrell_nav2_planner::astar2::LandmarkTable;
using vantrell_nav2_planner::astar2::ReferenceCorridor;
using vantrell_nav2_planner::astar2::StepTable;

// A search's rounded step costs may fall short of the exact ones by half a unit each, a step
// being at least 256 units.
constexpr double kRounding = 1.0 + 0.5 / 256.0;

std::shared_ptr<const LandmarkTable> buildOn(const DrawnGrid& floor) {
  const std::atomic<bool> stop{false};
  return LandmarkTable::build(floor.view(), true, false, stop);
}

// The search's side step into each cell, and its step between two cells, in whole units.
struct SearchSteps {
  const StepTable& table;
  const DrawnGrid& grid;

  std::uint32_t side(std::uint32_t i) const {
    return table.straight()[StepTable::cellClass(grid.cost[i], grid.danger[i])];
  }
  std::uint32_t step(std::uint32_t i, bool diagonal) const {
    const auto cls = StepTable::cellClass(grid.cost[i], grid.danger[i]);
    return diagonal ? table.diagonal()[cls] : table.straight()[cls];
  }
};

// Checks every usable cell's bound to `goal`: within the cheapest cost, and dropping by no more
// than a step costs along every allowed step.
void expectBoundsHoldTowards(const DrawnGrid& grid, const LandmarkTable& table, const Model& model,
                             GridCell goal) {
  const SearchSteps steps{StepTable::fine(model.cost_aware, model.keep_turning_room), grid};
  const std::uint32_t g = grid.index(goal.x, goal.y);
  const auto bound = [&](std::uint32_t i) {
    return table.bound(i, g, steps.side(i), steps.side(g));
  };
  const std::vector<double> cheapest = planner_test::bruteForceCostsTo(grid, model, goal);
  for (int y = 0; y < static_cast<int>(grid.size_y); ++y) {
    for (int x = 0; x < static_cast<int>(grid.size_x); ++x) {
      const std::uint32_t i = grid.index(x, y);
      if (!model.usable(grid, x, y)) {
        continue;
      }
      SCOPED_TRACE("cell " + std::to_string(x) + "," + std::to_string(y));
      if (table.separated(i, g)) {
        EXPECT_TRUE(std::isinf(cheapest[i])) << "separated cells joined by a route";
      }
      if (!std::isinf(cheapest[i])) {
        EXPECT_LE(static_cast<double>(bound(i)) / StepTable::kFineUnit,
                  cheapest[i] * kRounding + 1e-9);
      }
      for (int d = 0; d < 9; ++d) {
        const int dx = d % 3 - 1;
        const int dy = d / 3 - 1;
        if (d == 4 || model.step(grid, x, y, dx, dy) < 0.0) {
          continue;
        }
        const std::uint32_t next = grid.index(x + dx, y + dy);
        EXPECT_LE(bound(i), steps.step(next, dx != 0 && dy != 0) + bound(next))
            << "step to " << x + dx << "," << y + dy;
      }
    }
  }
}

TEST(LandmarkTable, BoundsNeverOverestimateAndDropByAtMostAStepOnRandomGrids) {
  std::mt19937 random(17);
  int bounded = 0;
  for (int trial = 0; trial < 30; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const DrawnGrid grid = planner_test::randomGrid(random, 10 + random() % 16, 8 + random() % 12);
    // Tables on the grid itself, or on a floor plan that the grid undercuts nowhere.
    const DrawnGrid floor = trial % 2 == 0 ? grid : planner_test::loweredCopy(random, grid);
    const auto table = buildOn(floor);
    if (!table) {
      continue;  // no usable cell at all
    }
    ASSERT_TRUE(table->boundsHold(grid.view()));
    ReferenceCorridor corridor;
    Model model;
    model.keep_turning_room = random() % 2 == 0;  // the tables ignore it, so it only adds
    model.corridor =
        random() % 2 == 0 && corridor.build(grid.view(), {{0, 0}, {5, 3}}, 1.0, 3.0, 100.0F)
            ? &corridor
            : nullptr;
    for (int goals = 0; goals < 3; ++goals) {
      const GridCell goal{static_cast<int>(random() % grid.size_x),
                          static_cast<int>(random() % grid.size_y)};
      if (model.usable(grid, goal.x, goal.y)) {
        expectBoundsHoldTowards(grid, *table, model, goal);
        ++bounded;
      }
    }
  }
  EXPECT_GT(bounded, 30);
}

TEST(LandmarkTable, HoldsOnlyWhereNoCellIsCheaperThanItsFloor) {
  std::mt19937 random(3);
  const DrawnGrid floor = planner_test::randomGrid(random, 20, 15);
  const auto table = buildOn(floor);
  ASSERT_TRUE(table);
  std::uint32_t free_cell = 0;
  std::uint32_t costly_cell = 0;
  std::uint32_t tight_cell = 0;
  for (std::uint32_t i = 0; i < floor.cost.size(); ++i) {
    free_cell = floor.cost[i] < 100 && floor.danger[i] == 0 ? i : free_cell;
    costly_cell = floor.cost[i] > 0 && floor.cost[i] < 250 ? i : costly_cell;
    tight_cell = (floor.danger[i] & 2U) != 0U ? i : tight_cell;
  }
  struct Case {
    std::string what;
    std::uint32_t cell;
    std::uint8_t cost;
    std::uint8_t danger;
    bool holds;
  };
  const std::vector<Case> cases{
      {"the floor itself", free_cell, floor.cost[free_cell], 0, true},
      {"dearer cell", free_cell, 200, 0, true},
      {"new obstacle", free_cell, 254, 3, true},
      {"new danger bit", free_cell, floor.cost[free_cell], 2, true},
      {"cheaper cell", costly_cell, static_cast<std::uint8_t>(floor.cost[costly_cell] - 1),
       floor.danger[costly_cell], false},
      {"room to turn again", tight_cell, floor.cost[tight_cell],
       static_cast<std::uint8_t>(floor.danger[tight_cell] & 1U), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DrawnGrid map = floor;
    map.cost[c.cell] = c.cost;
    map.danger[c.cell] = c.danger;
    EXPECT_EQ(table->boundsHold(map.view()), c.holds);
  }
  const DrawnGrid wider(21, 15);
  EXPECT_FALSE(table->boundsHold(wider.view()));
}

TEST(LandmarkTable, AStopRequestEndsTheBuildWithoutTables) {
  const DrawnGrid grid(40, 30);
  const std::atomic<bool> stop{true};
  EXPECT_EQ(LandmarkTable::build(grid.view(), true, false, stop), nullptr);
  const DrawnGrid walls({"###", "###"});
  EXPECT_EQ(buildOn(walls), nullptr);
}

}  // namespace
