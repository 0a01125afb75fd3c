#ifndef PLANNING__FINITE_GOAL_HPP_
#define PLANNING__FINITE_GOAL_HPP_

#include "vantrell_nav2_protocol/action/global_planning.hpp"

namespace planning {

// Whether every position and orientation a global goal carries is a finite number. Nav2's
// costmap takes a NaN position for cell (0, 0), so a goal with one is refused before any of its
// positions reaches a map. (The local node checks its goals, these fields among them, with
// checkLocalGoal.)
bool isFiniteGoal(const vantrell_nav2_protocol::action::GlobalPlanning::Goal& goal);

}  // namespace planning

#endif  // PLANNING__FINITE_GOAL_HPP_
