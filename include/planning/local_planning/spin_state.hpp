#ifndef PLANNING__LOCAL_PLANNING__SPIN_STATE_HPP_
#define PLANNING__LOCAL_PLANNING__SPIN_STATE_HPP_

#include <cstdint>

namespace planning {

/**
 * The rotate-in-place decision for one local path: the node fills the inputs (target heading,
 * look-ahead length, start threshold), spinJudge writes the decision. Angles in radians.
 */
struct SpinState {
  /// Out: rotate in place before following the path.
  uint8_t spin_required{0};
  /// Cleared for a backward piece that the node does not test for blockage.
  uint8_t spin_option{1};
  /// Out: the heading to rotate to.
  double spin_angle{0.0};
  /// Heading of the path's last pose as the planner made it, before smoothing.
  double target_yaw{0.0};
  /// Path length (m) over which the heading of the path is measured.
  double look_ahead_length{0.0};
  /// Heading error at or above which the robot rotates first.
  double start_spin_threshold{0.0};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__SPIN_STATE_HPP_
