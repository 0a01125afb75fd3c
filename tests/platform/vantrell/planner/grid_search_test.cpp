// The search core on grids drawn in text, checked against a brute-force relaxation of the same
// cost model.

#include "vantrell_nav2_planner/astar2/grid_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "drawn_grid.hpp"
#include "vantrell_nav2_planner/astar2/reference_corridor.hpp"
#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

namespace {

using vantrell_nav2_planner::astar2::GridCell;
using vantrell_nav2_planner::astar2::GridSearch;
using vantrell_nav2_planner::astar2::GridView;
using vantrell_nav2_planner::astar2::isBlockedFailure;
using vantrell_nav2_planner::astar2::LandmarkTable;
using vantrell_nav2_planner::astar2::ReferenceCorridor;
using vantrell_nav2_planner::astar2::SearchOutcome;
using vantrell_nav2_planner::astar2::SearchSettings;
using vantrell_nav2_planner::astar2::SearchStatus;
using vantrell_nav2_planner::astar2::SearchWorkspace;

using planner_test::bruteForceCosts;
using planner_test::DrawnGrid;
using planner_test::kLethal;
using planner_test::kUnknown;
using planner_test::Model;
using planner_test::randomGrid;

// Walks the found path with the model: every step allowed, returns its summed cost.
double walkedCost(const DrawnGrid& grid, const Model& model,
                  const std::vector<std::uint32_t>& cells) {
  double total = 0.0;
  for (std::size_t i = 1; i < cells.size(); ++i) {
    const GridCell a = grid.cell(cells[i - 1]);
    const GridCell b = grid.cell(cells[i]);
    const int dx = b.x - a.x;
    const int dy = b.y - a.y;
    EXPECT_LE(std::abs(dx), 1);
    EXPECT_LE(std::abs(dy), 1);
    EXPECT_FALSE(dx == 0 && dy == 0) << "repeated cell on the path";
    const double step = model.step(grid, a.x, a.y, dx, dy);
    EXPECT_GE(step, 0.0) << "forbidden step (" << a.x << "," << a.y << ") -> (" << b.x << "," << b.y
                         << ")";
    total += step;
  }
  return total;
}

SearchOutcome search(const DrawnGrid& grid, SearchWorkspace& workspace, GridCell start,
                     GridCell goal, const SearchSettings& settings,
                     std::vector<std::uint32_t>* cells = nullptr) {
  const GridView view = grid.view();
  GridSearch search(view, workspace);
  const SearchOutcome outcome = search.run(start, goal, settings);
  if (cells != nullptr) {
    *cells = search.path();
  }
  return outcome;
}

// What the engine promises of every path it finds: a cost within 1 % of the optimum.
constexpr double kCostBound = 1.01;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Shortest way out of an unusable start: by step length over cells that are neither lethal nor
// unknown (diagonals past two such sides), within `radius` of the start, to a usable cell.
std::vector<double> bruteStepOut(const DrawnGrid& grid, const Model& model, GridCell start,
                                 double radius) {
  std::vector<double> best(grid.cost.size(), kInfinity);
  best[grid.index(start.x, start.y)] = 0.0;
  const auto crossable = [&](int x, int y) {
    const int dx = x - start.x;
    const int dy = y - start.y;
    return x >= 0 && y >= 0 && x < static_cast<int>(grid.size_x) &&
           y < static_cast<int>(grid.size_y) && grid.cost[grid.index(x, y)] < kLethal &&
           dx * dx + dy * dy <= radius * radius;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (int y = 0; y < static_cast<int>(grid.size_y); ++y) {
      for (int x = 0; x < static_cast<int>(grid.size_x); ++x) {
        const double here = best[grid.index(x, y)];
        if (here == kInfinity || (model.usable(grid, x, y) && here > 0.0)) {
          continue;  // a usable cell ends the way out
        }
        for (int d = 0; d < 9; ++d) {
          const int dx = d % 3 - 1;
          const int dy = d / 3 - 1;
          if ((dx == 0 && dy == 0) || !crossable(x + dx, y + dy) ||
              (dx != 0 && dy != 0 && (!crossable(x + dx, y) || !crossable(x, y + dy)))) {
            continue;
          }
          double& there = best[grid.index(x + dx, y + dy)];
          const double length = here + (dx != 0 && dy != 0 ? std::sqrt(2.0) : 1.0);
          if (length < there - 1e-9) {
            there = length;
            changed = true;
          }
        }
      }
    }
  }
  return best;
}

// The nearest usable cell to the goal within the radius (the goal itself when usable), the
// first in row-major order among equally near ones.
bool bruteTarget(const DrawnGrid& grid, const Model& model, GridCell goal, double radius,
                 GridCell& target) {
  if (model.usable(grid, goal.x, goal.y)) {
    target = goal;
    return true;
  }
  long best = std::numeric_limits<long>::max();
  for (int y = 0; y < static_cast<int>(grid.size_y); ++y) {
    for (int x = 0; x < static_cast<int>(grid.size_x); ++x) {
      const long d2 = static_cast<long>(x - goal.x) * (x - goal.x) +
                      static_cast<long>(y - goal.y) * (y - goal.y);
      if (radius > 0.0 && d2 <= radius * radius && d2 < best && model.usable(grid, x, y)) {
        best = d2;
        target = GridCell{x, y};
      }
    }
  }
  return best != std::numeric_limits<long>::max();
}

// Checks one search against brute force: the start steps out no farther than it must, the path
// ends where it must and its searched part costs at most kCostBound times the optimum.
void expectWithinBound(const DrawnGrid& grid, const Model& model, GridCell start, GridCell goal,
                       const SearchSettings& settings, const SearchOutcome& outcome,
                       const std::vector<std::uint32_t>& cells) {
  std::vector<GridCell> firsts{start};
  if (!model.usable(grid, start.x, start.y)) {
    const auto out = bruteStepOut(grid, model, start, settings.start_radius);
    double shortest = kInfinity;
    for (std::uint32_t i = 0; i < out.size(); ++i) {
      const GridCell cell = grid.cell(i);
      shortest = model.usable(grid, cell.x, cell.y) ? std::min(shortest, out[i]) : shortest;
    }
    if (settings.start_radius <= 0.0 || std::isinf(shortest)) {
      EXPECT_EQ(outcome.status, SearchStatus::kStartBlocked);
      return;
    }
    firsts.clear();
    for (std::uint32_t i = 0; i < out.size(); ++i) {
      const GridCell cell = grid.cell(i);
      if (model.usable(grid, cell.x, cell.y) && out[i] < shortest + 1e-6) {
        firsts.push_back(cell);
      }
    }
  }
  GridCell target;
  if (!bruteTarget(grid, model, goal, settings.goal_radius, target)) {
    EXPECT_TRUE(outcome.status == SearchStatus::kGoalBlocked ||
                outcome.status == SearchStatus::kGoalOffMap);
    return;
  }
  if (outcome.status != SearchStatus::kFound) {
    // Only when some nearest way out leads nowhere: no route, and no cell near the goal.
    ASSERT_EQ(outcome.status, SearchStatus::kNoRoute);
    for (const GridCell& first : firsts) {
      const auto costs = bruteForceCosts(grid, model, first);
      bool near_goal = false;
      for (std::uint32_t i = 0; i < costs.size(); ++i) {
        const GridCell cell = grid.cell(i);
        const double d2 = static_cast<double>(cell.x - goal.x) * (cell.x - goal.x) +
                          static_cast<double>(cell.y - goal.y) * (cell.y - goal.y);
        near_goal = near_goal ||
                    (!std::isinf(costs[i]) && d2 <= settings.goal_radius * settings.goal_radius);
      }
      if (std::isinf(costs[grid.index(target.x, target.y)]) && !near_goal) {
        return;
      }
    }
    ADD_FAILURE() << "a route exists from every nearest way out";
    return;
  }
  // The searched part starts on the first usable cell of the path.
  std::size_t begin = 0;
  while (begin < cells.size() &&
         !model.usable(grid, grid.cell(cells[begin]).x, grid.cell(cells[begin]).y)) {
    ++begin;
  }
  ASSERT_LT(begin, cells.size());
  const GridCell first = grid.cell(cells[begin]);
  bool nearest_way_out = false;
  for (const GridCell& candidate : firsts) {
    nearest_way_out = nearest_way_out || (candidate.x == first.x && candidate.y == first.y);
  }
  EXPECT_TRUE(nearest_way_out) << "started searching at " << first.x << "," << first.y;
  const std::vector<std::uint32_t> searched(cells.begin() + static_cast<long>(begin), cells.end());
  EXPECT_NEAR(walkedCost(grid, model, searched), outcome.cost, 1e-6 * (1.0 + outcome.cost));

  const auto costs = bruteForceCosts(grid, model, first);
  double optimum = costs[grid.index(target.x, target.y)];
  const GridCell end = grid.cell(cells.back());
  if (std::isinf(optimum)) {
    // The reachable cell nearest to the goal within its tolerance, the cheapest of equals.
    long nearest = std::numeric_limits<long>::max();
    for (std::uint32_t i = 0; i < costs.size(); ++i) {
      const GridCell cell = grid.cell(i);
      const long d2 = static_cast<long>(cell.x - goal.x) * (cell.x - goal.x) +
                      static_cast<long>(cell.y - goal.y) * (cell.y - goal.y);
      if (!std::isinf(costs[i]) && d2 <= settings.goal_radius * settings.goal_radius &&
          (d2 < nearest || (d2 == nearest && costs[i] < optimum))) {
        nearest = d2;
        optimum = costs[i];
      }
    }
    ASSERT_FALSE(std::isinf(optimum));
    EXPECT_EQ(static_cast<long>(end.x - goal.x) * (end.x - goal.x) +
                  static_cast<long>(end.y - goal.y) * (end.y - goal.y),
              nearest);
  } else {
    EXPECT_TRUE(end.x == target.x && end.y == target.y);
  }
  EXPECT_GE(outcome.cost, optimum * (1.0 - 1e-6));  // float weights against double ones
  EXPECT_LE(outcome.cost, optimum * kCostBound);
}

// A reference polyline of two to four random cells, with a random band, ramp and penalty.
bool randomCorridor(std::mt19937& random, const DrawnGrid& grid, ReferenceCorridor& corridor) {
  std::uniform_int_distribution<int> column(0, static_cast<int>(grid.size_x) - 1);
  std::uniform_int_distribution<int> row(0, static_cast<int>(grid.size_y) - 1);
  std::vector<GridCell> points(2 + random() % 3);
  for (auto& point : points) {
    point = GridCell{column(random), row(random)};
  }
  const float penalties[] = {20.0F, 100.0F, 250.0F};
  return corridor.build(grid.view(), points, random() % 4, random() % 7, penalties[random() % 3]);
}

TEST(GridSearchOptimality, MatchesBruteForceOnRandomGrids) {
  std::mt19937 random(33);
  int reachable = 0;
  for (int trial = 0; trial < 40; ++trial) {
    DrawnGrid grid = randomGrid(random, 17 + trial % 7, 13 + trial % 5);
    const GridCell start{0, 0};
    const GridCell goal{static_cast<int>(grid.size_x) - 1, static_cast<int>(grid.size_y) - 1};
    grid.cost[grid.index(start.x, start.y)] = 0;
    grid.danger[grid.index(start.x, start.y)] = 0;
    grid.cost[grid.index(goal.x, goal.y)] = 0;
    grid.danger[grid.index(goal.x, goal.y)] = 0;

    for (const int variant : {0, 1, 2}) {
      Model model;
      model.cost_aware = variant != 1;
      model.keep_turning_room = variant == 2;
      SearchSettings settings;
      settings.cost_aware = model.cost_aware;
      settings.keep_turning_room = model.keep_turning_room;
      SearchWorkspace workspace;
      std::vector<std::uint32_t> cells;
      const SearchOutcome outcome = search(grid, workspace, start, goal, settings, &cells);
      const double expected = bruteForceCosts(grid, model, start)[grid.index(goal.x, goal.y)];
      if (std::isinf(expected)) {
        EXPECT_EQ(outcome.status, SearchStatus::kNoRoute) << "trial " << trial;
        EXPECT_TRUE(cells.empty());
        continue;
      }
      ++reachable;
      ASSERT_EQ(outcome.status, SearchStatus::kFound) << "trial " << trial;
      EXPECT_NEAR(outcome.cost, expected, 1e-3 * expected) << "trial " << trial;
      ASSERT_FALSE(cells.empty());
      EXPECT_EQ(cells.front(), grid.index(start.x, start.y));
      EXPECT_EQ(cells.back(), grid.index(goal.x, goal.y));
      EXPECT_NEAR(walkedCost(grid, model, cells), expected, 1e-3 * expected);
      EXPECT_TRUE(outcome.goal_reached);
    }
  }
  // The draw must leave enough solvable grids for the comparison to mean something.
  EXPECT_GT(reachable, 20);
}

TEST(GridSearchOptimality, ReusedWorkspaceGivesTheSameAnswersAcrossMapSizes) {
  const DrawnGrid small({
      "S..#....",
      ".#.#.##.",
      ".#...#.G",
  });
  DrawnGrid large(60, 40);
  for (int y = 5; y < 40; ++y) {
    large.cost[large.index(30, y)] = kLethal;
    large.danger[large.index(30, y)] = 1;
  }
  SearchWorkspace shared;
  SearchSettings settings;
  const SearchOutcome small_first = search(small, shared, small.start, small.goal, settings);
  const SearchOutcome large_first = search(large, shared, {0, 39}, {59, 39}, settings);
  const SearchOutcome small_again = search(small, shared, small.start, small.goal, settings);
  SearchWorkspace fresh;
  const SearchOutcome large_fresh = search(large, fresh, {0, 39}, {59, 39}, settings);
  const SearchOutcome large_again = search(large, shared, {0, 39}, {59, 39}, settings);

  ASSERT_EQ(small_first.status, SearchStatus::kFound);
  ASSERT_EQ(large_first.status, SearchStatus::kFound);
  EXPECT_FLOAT_EQ(small_first.cost, small_again.cost);
  EXPECT_FLOAT_EQ(large_first.cost, large_fresh.cost);
  EXPECT_FLOAT_EQ(large_again.cost, large_fresh.cost);
}

TEST(GridSearchRules, NeverCutsABlockedCorner) {
  // The only diagonal between S and G passes two obstacle corners.
  const DrawnGrid grid({
      "......",
      "..S#..",
      "..#G..",
      "......",
  });
  SearchWorkspace workspace;
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome =
      search(grid, workspace, grid.start, grid.goal, SearchSettings{}, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  EXPECT_GT(cells.size(), 2U);
  Model model;
  walkedCost(grid, model, cells);
}

TEST(GridSearchRules, DangerCellsAreNeverEntered) {
  // A ring of inflation whose only gap at (5,5) could be used by cutting a corner alone.
  const DrawnGrid closed({
      "S.......",
      ".ooooo..",
      ".o...o..",
      ".o.G.o..",
      ".o...o..",
      ".oooo...",
      "........",
  });
  SearchWorkspace workspace;
  const SearchOutcome refused =
      search(closed, workspace, closed.start, closed.goal, SearchSettings{});
  EXPECT_EQ(refused.status, SearchStatus::kNoRoute);

  // The same ring opened at (5,3).
  const DrawnGrid open({
      "S.......",
      ".ooooo..",
      ".o...o..",
      ".o.G....",
      ".o...o..",
      ".oooo...",
      "........",
  });
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome =
      search(open, workspace, open.start, open.goal, SearchSettings{}, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  bool through_gap = false;
  for (const std::uint32_t cell : cells) {
    EXPECT_EQ(open.danger[cell] & 1U, 0U);
    through_gap = through_gap || cell == open.index(5, 3);
  }
  EXPECT_TRUE(through_gap);
}

TEST(GridSearchRules, CostAwareStepsKeepOffCostlyCells) {
  // A straight row of costly cells against a detour through free ones.
  const DrawnGrid room({
      "............",
      "Sccccccccc.G",
      "............",
  });
  SearchWorkspace workspace;
  std::vector<std::uint32_t> aware;
  std::vector<std::uint32_t> blind;
  SearchSettings settings;
  ASSERT_EQ(search(room, workspace, room.start, room.goal, settings, &aware).status,
            SearchStatus::kFound);
  settings.cost_aware = false;
  const SearchOutcome shortest = search(room, workspace, room.start, room.goal, settings, &blind);
  ASSERT_EQ(shortest.status, SearchStatus::kFound);

  int costly_aware = 0;
  for (const std::uint32_t cell : aware) {
    costly_aware += room.cost[cell] > 0 ? 1 : 0;
  }
  EXPECT_EQ(costly_aware, 0);
  // Without costs the straight row is the shortest way: 11 steps.
  EXPECT_FLOAT_EQ(shortest.cost, 11.0F);
  EXPECT_EQ(blind.size(), 12U);
}

TEST(GridSearchRules, UnknownCellsAreBlockedEvenWithoutDangerBits) {
  DrawnGrid grid({
      "S.?.G",
      "..?..",
      "#####",
  });
  for (auto& bits : grid.danger) {
    bits = 0;
  }
  SearchWorkspace workspace;
  const SearchOutcome outcome = search(grid, workspace, grid.start, grid.goal, SearchSettings{});
  EXPECT_EQ(outcome.status, SearchStatus::kNoRoute);
  EXPECT_TRUE(isBlockedFailure(outcome.status));
}

TEST(GridSearchRules, TurningRoomIsPreferredOnlyWhenAsked) {
  // The straight row passes cells without turning room; the row above has room.
  const DrawnGrid grid({
      "............",
      "Sttttttttt.G",
      "############",
  });
  SearchWorkspace workspace;
  std::vector<std::uint32_t> cells;
  SearchSettings settings;
  const SearchOutcome plain = search(grid, workspace, grid.start, grid.goal, settings, &cells);
  ASSERT_EQ(plain.status, SearchStatus::kFound);
  EXPECT_FLOAT_EQ(plain.cost, 11.0F);

  settings.keep_turning_room = true;
  const SearchOutcome roomy = search(grid, workspace, grid.start, grid.goal, settings, &cells);
  ASSERT_EQ(roomy.status, SearchStatus::kFound);
  for (const std::uint32_t cell : cells) {
    EXPECT_EQ(grid.danger[cell] & 2U, 0U) << "cell " << cell;
  }
  Model model;
  model.keep_turning_room = true;
  EXPECT_NEAR(walkedCost(grid, model, cells), roomy.cost, 1e-4);
}

TEST(GridSearchRules, BudgetStopsTheSearchWithoutCallingItBlocked) {
  DrawnGrid grid(50, 50);
  SearchWorkspace workspace;
  SearchSettings settings;
  settings.max_expansions = 10;
  const SearchOutcome limited = search(grid, workspace, {0, 0}, {49, 49}, settings);
  EXPECT_EQ(limited.status, SearchStatus::kBudgetExhausted);
  EXPECT_EQ(limited.expansions, 10U);
  EXPECT_FALSE(isBlockedFailure(limited.status));
  EXPECT_TRUE(search(grid, workspace, {0, 0}, {49, 49}, settings).status ==
              SearchStatus::kBudgetExhausted);
  settings.max_expansions = 0;
  EXPECT_EQ(search(grid, workspace, {0, 0}, {49, 49}, settings).status, SearchStatus::kFound);
}

TEST(GridSearchGoal, BlockedGoalFailsWithoutTolerance) {
  const DrawnGrid grid({
      "S.....",
      "...##.",
      "...##.",
  });
  SearchWorkspace workspace;
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome =
      search(grid, workspace, grid.start, {4, 2}, SearchSettings{}, &cells);
  EXPECT_EQ(outcome.status, SearchStatus::kGoalBlocked);
  EXPECT_TRUE(isBlockedFailure(outcome.status));
  EXPECT_TRUE(cells.empty());
}

TEST(GridSearchGoal, BlockedGoalEndsOnTheNearestUsableCellWithinTolerance) {
  const DrawnGrid grid({
      "S.......",
      "...####.",
      "...####.",
      "...####.",
      "........",
  });
  SearchWorkspace workspace;
  SearchSettings settings;
  settings.goal_radius = 1.5;
  std::vector<std::uint32_t> cells;
  // (5,2) is two cells from every free cell: out of a 1.5 reach.
  EXPECT_EQ(search(grid, workspace, grid.start, {5, 2}, settings).status,
            SearchStatus::kGoalBlocked);
  // (4,1) has (4,0) straight above it.
  const SearchOutcome outcome = search(grid, workspace, grid.start, {4, 1}, settings, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  EXPECT_FALSE(outcome.goal_reached);
  EXPECT_EQ(cells.back(), grid.index(4, 0));
}

TEST(GridSearchGoal, UnreachableGoalEndsOnTheNearestReachableCell) {
  // G sits free inside a closed box; the outside cells next to the box are the answer.
  const DrawnGrid grid({
      "S.........",
      "..........",
      "....###...",
      "....#G#...",
      "....###...",
      "..........",
  });
  SearchWorkspace workspace;
  SearchSettings settings;
  EXPECT_EQ(search(grid, workspace, grid.start, grid.goal, settings).status,
            SearchStatus::kNoRoute);
  settings.goal_radius = 2.0;
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome = search(grid, workspace, grid.start, grid.goal, settings, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  EXPECT_FALSE(outcome.goal_reached);
  const GridCell end = grid.cell(cells.back());
  const int dx = end.x - grid.goal.x;
  const int dy = end.y - grid.goal.y;
  EXPECT_EQ(dx * dx + dy * dy, 4) << end.x << "," << end.y;
  // Of the four cells two away, (3,3) is the cheapest to reach from S.
  EXPECT_EQ(end.x, 3);
  EXPECT_EQ(end.y, 3);
}

TEST(GridSearchGoal, GoalBesideTheMapNeedsAToleranceReachingIn) {
  DrawnGrid grid(10, 10);
  SearchWorkspace workspace;
  SearchSettings settings;
  const SearchOutcome beside = search(grid, workspace, {0, 0}, {12, 5}, settings);
  EXPECT_EQ(beside.status, SearchStatus::kGoalOffMap);
  EXPECT_FALSE(isBlockedFailure(beside.status));
  settings.goal_radius = 3.0;
  std::vector<std::uint32_t> cells;
  ASSERT_EQ(search(grid, workspace, {0, 0}, {12, 5}, settings, &cells).status,
            SearchStatus::kFound);
  EXPECT_EQ(cells.back(), grid.index(9, 5));
}

TEST(GridSearchStart, StartInsideInflationStepsOutWithinTheRange) {
  // The way out is three cells to the right; every other way is longer or leaves the map.
  const DrawnGrid grid({
      "oooooo....",
      "oooooo....",
      "ooosoo...G",
      "oooooo....",
      "oooooo....",
  });
  SearchWorkspace workspace;
  SearchSettings settings;
  const SearchOutcome stuck = search(grid, workspace, grid.start, grid.goal, settings);
  EXPECT_EQ(stuck.status, SearchStatus::kStartBlocked);
  EXPECT_TRUE(isBlockedFailure(stuck.status));
  settings.start_radius = 2.0;
  EXPECT_EQ(search(grid, workspace, grid.start, grid.goal, settings).status,
            SearchStatus::kStartBlocked);

  settings.start_radius = 3.0;
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome = search(grid, workspace, grid.start, grid.goal, settings, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  const std::vector<std::uint32_t> expected{grid.index(3, 2), grid.index(4, 2), grid.index(5, 2),
                                            grid.index(6, 2), grid.index(7, 2), grid.index(8, 2),
                                            grid.index(9, 2)};
  EXPECT_EQ(cells, expected);
  EXPECT_FLOAT_EQ(outcome.cost, 3.0F);  // the searched part, from (6,2)
}

TEST(GridSearchStart, StepOutNeverCrossesAnObstacle) {
  // Free cells lie one cell away, but only past obstacles; the way out through the
  // inflation on the right is longer than the range.
  const DrawnGrid grid({
      "#####....",
      "#oso#....",
      "#ooo#...G",
      "#####....",
  });
  SearchWorkspace workspace;
  SearchSettings settings;
  settings.start_radius = 2.5;
  EXPECT_EQ(search(grid, workspace, grid.start, grid.goal, settings).status,
            SearchStatus::kStartBlocked);
}

TEST(GridSearchStart, StartBesideTheMapIsRefused) {
  DrawnGrid grid(5, 5);
  SearchWorkspace workspace;
  SearchSettings settings;
  settings.start_radius = 10.0;
  const SearchOutcome outcome = search(grid, workspace, {-1, 2}, {3, 3}, settings);
  EXPECT_EQ(outcome.status, SearchStatus::kStartOffMap);
  EXPECT_FALSE(isBlockedFailure(outcome.status));
}

TEST(GridSearchStart, StartOnTheGoalGivesOneCell) {
  DrawnGrid grid(5, 5);
  SearchWorkspace workspace;
  std::vector<std::uint32_t> cells;
  const SearchOutcome outcome = search(grid, workspace, {2, 2}, {2, 2}, SearchSettings{}, &cells);
  ASSERT_EQ(outcome.status, SearchStatus::kFound);
  EXPECT_EQ(cells.size(), 1U);
  EXPECT_TRUE(outcome.goal_reached);
}

TEST(GridSearchOptimality, EveryOptionStaysWithinTheBoundOfBruteForce) {
  std::mt19937 random(2024);
  int found = 0;
  int with_landmarks = 0;
  for (int trial = 0; trial < 150; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const DrawnGrid grid = randomGrid(random, 9 + random() % 20, 7 + random() % 14);
    std::uniform_int_distribution<int> column(-1, static_cast<int>(grid.size_x));
    std::uniform_int_distribution<int> row(0, static_cast<int>(grid.size_y) - 1);
    const GridCell start{std::clamp(column(random), 0, static_cast<int>(grid.size_x) - 1),
                         row(random)};
    const GridCell goal{column(random), row(random)};  // sometimes beside the map
    ReferenceCorridor corridor;
    Model model;
    model.cost_aware = random() % 4 != 0;
    model.keep_turning_room = random() % 2 == 0;
    model.corridor =
        random() % 3 == 0 && randomCorridor(random, grid, corridor) ? &corridor : nullptr;
    SearchSettings settings;
    settings.cost_aware = model.cost_aware;
    settings.keep_turning_room = model.keep_turning_room;
    settings.corridor = model.corridor;
    settings.start_radius = random() % 2 == 0 ? 0.0 : 2.5;
    settings.goal_radius = random() % 2 == 0 ? 0.0 : 2.0;
    // Landmark tables on a floor plan that the grid undercuts nowhere; they serve only
    // cost-aware searches.
    const std::atomic<bool> stop{false};
    const auto landmarks =
        random() % 2 == 0 ? LandmarkTable::build(planner_test::loweredCopy(random, grid).view(),
                                                 true, false, stop)
                          : nullptr;
    settings.landmarks = landmarks.get();
    SearchWorkspace workspace;
    std::vector<std::uint32_t> cells;
    const SearchOutcome outcome = search(grid, workspace, start, goal, settings, &cells);
    expectWithinBound(grid, model, start, goal, settings, outcome, cells);
    found += outcome.status == SearchStatus::kFound ? 1 : 0;
    with_landmarks += landmarks && model.cost_aware && outcome.status == SearchStatus::kFound;
  }
  // The draw must leave enough paths for the comparison to mean something.
  EXPECT_GT(found, 50);
  EXPECT_GT(with_landmarks, 20);
}

TEST(GridSearchOptimality, AReusedWorkspaceCarriesNothingOverFromEarlierMapsOrSearches) {
  // One workspace follows a map that changes between searches, through searches cut short by
  // their budget, step-outs and corridors; each answer must be a fresh workspace's answer.
  std::mt19937 random(5);
  SearchWorkspace reused;
  DrawnGrid grid = randomGrid(random, 24, 18);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round % 15 == 14) {
      grid = randomGrid(random, 12 + random() % 30, 10 + random() % 20);  // another size
    }
    for (int edit = 0; edit < 12; ++edit) {
      const std::uint32_t i = random() % static_cast<std::uint32_t>(grid.cost.size());
      const bool block = random() % 2 == 0;
      grid.cost[i] = block ? kLethal : 0;
      grid.danger[i] = block ? 3 : 0;
    }
    std::uniform_int_distribution<int> column(0, static_cast<int>(grid.size_x) - 1);
    std::uniform_int_distribution<int> row(0, static_cast<int>(grid.size_y) - 1);
    const GridCell start{column(random), row(random)};
    const GridCell goal{column(random), row(random)};
    ReferenceCorridor corridor;
    SearchSettings settings;
    settings.keep_turning_room = random() % 2 == 0;
    settings.start_radius = 2.0;
    settings.goal_radius = random() % 2 == 0 ? 0.0 : 3.0;
    settings.max_expansions = random() % 3 == 0 ? 1 + random() % 40 : 0;
    settings.corridor =
        random() % 3 == 0 && randomCorridor(random, grid, corridor) ? &corridor : nullptr;
    std::vector<std::uint32_t> again;
    std::vector<std::uint32_t> fresh_cells;
    const SearchOutcome outcome = search(grid, reused, start, goal, settings, &again);
    SearchWorkspace fresh;
    const SearchOutcome expected = search(grid, fresh, start, goal, settings, &fresh_cells);
    EXPECT_EQ(outcome.status, expected.status);
    EXPECT_EQ(outcome.expansions, expected.expansions);
    EXPECT_EQ(again, fresh_cells);
    EXPECT_DOUBLE_EQ(outcome.cost, expected.cost);
  }
}

TEST(GridSearchOptimality, CostsBeyondTheFineUnitsStillFindTheCheapestRoute) {
  // Everything off a short reference pays a penalty so high that the path's cost overflows
  // the fine units: the search starts again in coarser ones and still finds the route.
  DrawnGrid grid(120, 9);
  for (int x = 10; x < 110; ++x) {
    grid.cost[grid.index(x, 4)] = kLethal;  // a wall down the middle, open at both ends
    grid.danger[grid.index(x, 4)] = 3;
  }
  ReferenceCorridor corridor;
  ASSERT_TRUE(corridor.build(grid.view(), {{0, 0}, {3, 0}}, 0.0, 0.0, 1e6F));
  SearchSettings settings;
  settings.corridor = &corridor;
  Model model;
  model.corridor = &corridor;
  SearchWorkspace workspace;
  std::vector<std::uint32_t> cells;
  const GridCell start{0, 2};
  const GridCell goal{119, 6};
  const SearchOutcome outcome = search(grid, workspace, start, goal, settings, &cells);
  expectWithinBound(grid, model, start, goal, settings, outcome, cells);
  EXPECT_EQ(outcome.status, SearchStatus::kFound);
}

// Two equally good ways around a block; the reference path decides.
class GridSearchCorridor : public ::testing::Test {
 protected:
  GridSearchCorridor()
      : grid_({
            ".........",
            ".........",
            "S.#####.G",
            ".........",
            ".........",
        }) {}

  std::vector<std::uint32_t> searchAlong(int row, double band, double ramp, float penalty) {
    const std::vector<GridCell> reference{{0, 2}, {1, row}, {7, row}, {8, 2}};
    corridor_built_ = corridor_.build(grid_.view(), reference, band, ramp, penalty);
    SearchSettings settings;
    settings.corridor = &corridor_;
    std::vector<std::uint32_t> cells;
    EXPECT_EQ(search(grid_, workspace_, grid_.start, grid_.goal, settings, &cells).status,
              SearchStatus::kFound);
    return cells;
  }

  static int lowestRow(const DrawnGrid& grid, const std::vector<std::uint32_t>& cells) {
    int row = 0;
    for (const std::uint32_t cell : cells) {
      row = std::max(row, grid.cell(cell).y);
    }
    return row;
  }
  static int highestRow(const DrawnGrid& grid, const std::vector<std::uint32_t>& cells) {
    int row = 100;
    for (const std::uint32_t cell : cells) {
      row = std::min(row, grid.cell(cell).y);
    }
    return row;
  }

  DrawnGrid grid_;
  SearchWorkspace workspace_;
  ReferenceCorridor corridor_;
  bool corridor_built_{false};
};

TEST_F(GridSearchCorridor, PathFollowsTheReferenceSide) {
  const auto over = searchAlong(0, 0.0, 3.0, 200.0F);
  EXPECT_TRUE(corridor_built_);
  EXPECT_EQ(highestRow(grid_, over), 0);
  EXPECT_LE(lowestRow(grid_, over), 2);
  const auto under = searchAlong(4, 0.0, 3.0, 200.0F);
  EXPECT_EQ(lowestRow(grid_, under), 4);
  EXPECT_GE(highestRow(grid_, under), 2);
}

TEST_F(GridSearchCorridor, WideBandLeavesTheShortestWay) {
  // With the whole grid inside the free band, the reference costs nothing anywhere and the
  // shortest way hugs the block (rows 1 or 3) rather than the far reference row.
  const auto cells = searchAlong(0, 10.0, 0.0, 200.0F);
  EXPECT_GE(highestRow(grid_, cells), 1);
}

TEST_F(GridSearchCorridor, ReferenceBesideTheMapHasNoEffect) {
  const std::vector<GridCell> reference{{-5, -5}, {-3, -8}};
  EXPECT_FALSE(corridor_.build(grid_.view(), reference, 0.0, 1.0, 100.0F));
  SearchSettings settings;
  settings.corridor = &corridor_;
  const SearchOutcome with = search(grid_, workspace_, grid_.start, grid_.goal, settings);
  const SearchOutcome without =
      search(grid_, workspace_, grid_.start, grid_.goal, SearchSettings{});
  EXPECT_FLOAT_EQ(with.cost, without.cost);
}

}  // namespace
