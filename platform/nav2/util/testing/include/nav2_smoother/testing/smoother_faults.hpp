#ifndef NAV2_SMOOTHER__TESTING__SMOOTHER_FAULTS_HPP_
#define NAV2_SMOOTHER__TESTING__SMOOTHER_FAULTS_HPP_

#include "nav2_smoother/savitzky_golay_smoother.hpp"

namespace nav2_smoother {
namespace testing {

/// Test hook: makes Savitzky-Golay smoothing fail on demand, in every
/// smoother of the process.
class SmootherFaults {
 public:
  /// The next n calls of smooth (on any smoother) return false.
  static void failNext(int n) { SavitzkyGolaySmoother::forced_failures_.store(n); }

  /// Calls still to fail.
  static int pending() { return SavitzkyGolaySmoother::forced_failures_.load(); }

  static void reset() { SavitzkyGolaySmoother::forced_failures_.store(0); }
};

}  // namespace testing
}  // namespace nav2_smoother

#endif  // NAV2_SMOOTHER__TESTING__SMOOTHER_FAULTS_HPP_
