#ifndef PLANNING__GLOBAL_PLANNING__PLANNER_KEYS_HPP_
#define PLANNING__GLOBAL_PLANNING__PLANNER_KEYS_HPP_

#include <array>

namespace planning {
namespace planner_keys {

// The names a "global_planning" goal chooses its planner by (its current_planning_id).
inline constexpr char kDijkstra[] = "dijkstra";
inline constexpr char kDijkstraGoalZone[] = "dijkstra_goalzone";
inline constexpr char kDijkstraUptakeWater[] = "dijkstra_uptake_water";
inline constexpr char kWayPoints[] = "wap_points";
inline constexpr char kLift[] = "lift";
inline constexpr char kLiftOut[] = "lift_out";
inline constexpr char kAstarWithLocalAndGlobalMap[] = "astar_with_local_and_global_map";
inline constexpr char kRecommandPoints[] = "recommand_points_planning";

// Every key of the global planning node's planner table.
inline constexpr std::array<const char*, 8> kGlobalPlanners{
    kDijkstra, kDijkstraGoalZone, kDijkstraUptakeWater,        kWayPoints,
    kLift,     kLiftOut,          kAstarWithLocalAndGlobalMap, kRecommandPoints};

}  // namespace planner_keys
}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__PLANNER_KEYS_HPP_
