#ifndef PLANNING__LOCAL_PLANNING__LOCAL_PLANNING_KEYS_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_PLANNING_KEYS_HPP_

#include <cstdint>

// Planner keys, planning modes and robot events of local planning, named once for the node,
// its planners and their tests.
namespace planning {
namespace local_keys {

// Keys of the local node's planner table, as goals name them.
inline constexpr const char* kDijkstra = "dijkstra";
inline constexpr const char* kLiftIn = "lift_in";
inline constexpr const char* kForceBackward = "force_backward";
inline constexpr const char* kDijkstraGoalZone = "dijkstra_goalzone";
inline constexpr const char* kDynamicCoverage = "dynamic_coverage_planning";
inline constexpr const char* kLocalWayPoints = "local_wap_points";
inline constexpr const char* kStaticCoverage = "static_coverage_planning";

// Keys of the waypoint planner's path-clipping strategies, as its trace names them.
inline constexpr const char* kAvoidObstacle = "avoid_obstacle";
inline constexpr const char* kFollowPath = "follow_path";
inline constexpr const char* kSharpAngle = "sharp_angle";

// A goal's planning mode that makes the grid-search planners drive backwards.
inline constexpr int32_t kForceBackwardMode = 502;
// A goal's planning mode that selects the coverage start-spin thresholds.
inline constexpr int32_t kCoverageMode = 601;

// The spoken prompt before a big turn.
inline constexpr int32_t kBigTurnEventType = 5;
inline constexpr int32_t kBigTurnEventCode = 70000;

}  // namespace local_keys
}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_PLANNING_KEYS_HPP_
