#ifndef PLANNING__SEARCH_OPTIONS_HPP_
#define PLANNING__SEARCH_OPTIONS_HPP_

#include <cstdint>

#include "vantrell_nav2_planner/astar2/astar_options.hpp"

// The option records the planners hand to the grid search. The engine reads a record byte for
// byte, so every record starts with all its bytes zero; a planner names the fields it sets, and a
// record that several callers pass (the global planners, the benchmark) is made by one function.
namespace planning {

using AstarOptions = vantrell_nav2_planner::astar2::AstarOptions;

/// What a planner sets in a record; every byte not named here stays zero.
struct SearchFields {
  /// byte_0: a step costs more the higher the cell's cost, so paths keep off walls.
  bool cost_aware{false};
  /// byte_2: cells where the robot cannot be sure to turn on the spot weigh more.
  bool keep_turning_room{false};
  /// fuzzy_range: how far a start on an unusable cell may step out, metres.
  double start_tolerance{0.0};
  /// goal_fuzzy_range: 0 means the goal cell itself; else the nearest usable cell within it.
  double goal_tolerance{0.0};
  /// tolerance: copied into the path, how close its follower must come to the end, metres.
  double path_tolerance{0.0};
  /// int_60: the search budget in units of 10000 expanded cells; 0 means no limit.
  int32_t budget{0};
};

/// A record with all 88 bytes zero, then `fields`.
AstarOptions searchOptions(const SearchFields& fields);

/// The search budget the planners pass: 400 x 10000 cells sweep a whole 2000 x 2000 map.
inline constexpr int32_t kSearchBudget = 400;

/// The path tolerance of the grid-search global planners.
inline constexpr double kGlobalPathTolerance = 0.3;

/// The record of the grid-search global planners ("dijkstra" and its siblings): cost-aware,
/// turning room kept, the start within `fuzzy_range`, the goal within `goal_tolerance`.
AstarOptions globalSearchOptions(double fuzzy_range, double goal_tolerance);

/// The path tolerance of the lift planners: the follower must come close, the car is narrow.
inline constexpr double kLiftPathTolerance = 0.2;

/// The record of the lift planners ("lift", "lift_out"): turning room kept, no start-side
/// tolerance, the goal within `goal_tolerance`.
AstarOptions liftSearchOptions(double goal_tolerance);

}  // namespace planning

#endif  // PLANNING__SEARCH_OPTIONS_HPP_
