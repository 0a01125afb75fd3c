#ifndef PLANNING__LOCAL_PLANNING__LOCAL_GOAL_CHECK_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_GOAL_CHECK_HPP_

#include <cstddef>

#include "vantrell_nav2_protocol/action/local_planning.hpp"

namespace planning {

// What one "local_planning" goal may carry. Far above what a floor of a building needs, they
// keep a single goal from taking the node's memory and time: every planner copies and walks
// what the goal brings, on every cycle of a task.

/// Zones of one goal.
inline constexpr std::size_t kMaxGoalZones = 100;
/// Corners of one zone.
inline constexpr std::size_t kMaxZoneCorners = 10000;
/// Poses of the global path set, its paths together.
inline constexpr std::size_t kMaxPathSetPoses = 50000;
/// Extra goal poses.
inline constexpr std::size_t kMaxExtraGoals = 1000;

/**
 * Whether the local planning node can plan `goal` at all, before any planner sees it.
 *
 * A goal it cannot plan gets one WARN naming the field and its value, and false: a goal pose,
 * extra goal, path pose, zone corner, speed or fuzzy distance that is not a finite number; more
 * zones, corners, path poses or extra goals than the bounds above; a coverage goal without a
 * coverage width (below one cell), one wider than coverage::kMaxLineThickness cells, or with an
 * overlap that is negative or not less than its width.
 *
 * A mode without a meaning keeps the meaning every other mode has, after one WARN naming it: a
 * planning mode other than none (0), backward (502) and coverage (601) is planned as an ordinary
 * goal; a goal mode other than none and the lift modes (100, 101) is only logged, as any is.
 */
bool checkLocalGoal(const vantrell_nav2_protocol::action::LocalPlanning::Goal& goal);

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_GOAL_CHECK_HPP_
