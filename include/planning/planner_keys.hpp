#ifndef PLANNING__PLANNER_KEYS_HPP_
#define PLANNING__PLANNER_KEYS_HPP_

#include <array>
#include <cstdint>

// The names a goal chooses its planner by, and the goal modes the planners act on, named once for
// the nodes, their hosts and their tests. The names are the protocol's: task managers send them
// byte for byte, misspellings included.
namespace planning {

// Keys of the global planning node's planner table ("global_planning" goals, their
// current_planning_id; the lift checks' planner_name).
namespace global_keys {

inline constexpr char kDijkstra[] = "dijkstra";
inline constexpr char kDijkstraGoalZone[] = "dijkstra_goalzone";
inline constexpr char kDijkstraUptakeWater[] = "dijkstra_uptake_water";
inline constexpr char kWayPoints[] = "wap_points";
inline constexpr char kLift[] = "lift";
inline constexpr char kLiftOut[] = "lift_out";
inline constexpr char kAstarWithLocalAndGlobalMap[] = "astar_with_local_and_global_map";
inline constexpr char kRecommandPoints[] = "recommand_points_planning";

/// Every key of the table.
inline constexpr std::array<const char*, 8> kGlobalPlanners{
    kDijkstra, kDijkstraGoalZone, kDijkstraUptakeWater,        kWayPoints,
    kLift,     kLiftOut,          kAstarWithLocalAndGlobalMap, kRecommandPoints};

/// Goal modes of a plan into and out of a lift car: a failure raises a lift robot event.
inline constexpr int16_t kLiftInMode = 100;
inline constexpr int16_t kLiftOutMode = 101;

}  // namespace global_keys

// Keys of the local planning node's planner table ("local_planning" goals, their
// current_planning_id), in the order the node builds them.
namespace local_keys {

inline constexpr char kDijkstra[] = "dijkstra";
inline constexpr char kLiftIn[] = "lift_in";
inline constexpr char kForceBackward[] = "force_backward";
inline constexpr char kDijkstraGoalZone[] = "dijkstra_goalzone";
inline constexpr char kDynamicCoverage[] = "dynamic_coverage_planning";
inline constexpr char kLocalWayPoints[] = "local_wap_points";
inline constexpr char kStaticCoverage[] = "static_coverage_planning";

/// Every key the node accepts.
inline constexpr std::array<const char*, 7> kLocalPlanners{
    kDijkstra,        kLiftIn,         kForceBackward, kDijkstraGoalZone,
    kDynamicCoverage, kLocalWayPoints, kStaticCoverage};

/// Keys of the waypoint planner's path-clipping strategies, as its trace names them.
inline constexpr char kAvoidObstacle[] = "avoid_obstacle";
inline constexpr char kFollowPath[] = "follow_path";
inline constexpr char kSharpAngle[] = "sharp_angle";

/// A goal's planning mode that makes the grid-search planners drive backwards.
inline constexpr int32_t kForceBackwardMode = 502;
/// A goal's planning mode that selects the coverage start-spin thresholds.
inline constexpr int32_t kCoverageMode = 601;

}  // namespace local_keys
}  // namespace planning

#endif  // PLANNING__PLANNER_KEYS_HPP_
