#ifndef VANTRELL_NAV2_SMOOTHER__TESTING__PATH_SMOOTHER_FAULTS_HPP_
#define VANTRELL_NAV2_SMOOTHER__TESTING__PATH_SMOOTHER_FAULTS_HPP_

#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace vantrell_nav2_smoother {
namespace testing {

/// Test hook: makes PathSmoother::smoothPath fail, or succeed with a path of
/// no poses, on demand, in every smoother of the process. Failures are used
/// up first.
class PathSmootherFaults {
 public:
  /// The next n smoothings leave no result: getSmoothedNavPath returns false.
  static void failNext(int n) { PathSmoother::forced_failures_.store(n); }

  /// The next n smoothings succeed with the original header and no poses.
  static void emptyNext(int n) { PathSmoother::forced_empty_results_.store(n); }

  /// Smoothings still to be forced, failures and empty results together.
  static int pending() {
    return PathSmoother::forced_failures_.load() + PathSmoother::forced_empty_results_.load();
  }

  static void reset() {
    PathSmoother::forced_failures_.store(0);
    PathSmoother::forced_empty_results_.store(0);
  }
};

}  // namespace testing
}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__TESTING__PATH_SMOOTHER_FAULTS_HPP_
