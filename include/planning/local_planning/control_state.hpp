#ifndef PLANNING__LOCAL_PLANNING__CONTROL_STATE_HPP_
#define PLANNING__LOCAL_PLANNING__CONTROL_STATE_HPP_

#include <cstdint>

/**
 * What a local planner tells the node about the task besides its path; filled by makePlan and
 * pathFuzzyPoint. The defaults are the values every planning cycle starts from: a planner that
 * does not write a field leaves the task finished, not waiting, and not too close to the goal.
 */
struct ControlState {
  /// The task of this goal is complete.
  uint8_t finished{1};
  /// 0 once a coverage planner stops waiting for an obstacle ahead and starts to pass it.
  int32_t wait_state{1};
  /// A new request started within reach of its goal pose, with no extra goals to go to.
  uint8_t too_close_to_goal{0};
};

#endif  // PLANNING__LOCAL_PLANNING__CONTROL_STATE_HPP_
