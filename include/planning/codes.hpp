#ifndef PLANNING__CODES_HPP_
#define PLANNING__CODES_HPP_

#include <cstdint>

// The codes the planning nodes report, named once for the library, its hosts and its tests. The
// numbers belong to the robot's protocol: task managers and the robot app act on them.
namespace planning {
namespace codes {

// Error codes. They stand in log lines ("..., error code is 101100007") and, where a result has
// an error_code field (GlobalPlanning), in the result.

/// The local goal-zone planner could not read the robot pose.
inline constexpr int32_t kRobotPoseUnavailable = 101100002;
/// A local planner failed or gave an empty path; also a local goal whose road threw.
inline constexpr int32_t kLocalPlanFailed = 101100006;
/// A global planner failed; also an unknown planner, no robot pose, an unusable path set, a
/// global goal whose road threw.
inline constexpr int32_t kGlobalPlanFailed = 101100007;
/// A path could not be smoothed.
inline constexpr int32_t kSmoothFailed = 101100008;
/// A water-uptake request named no zone.
inline constexpr int32_t kWaterUptakeZoneMissing = 101100010;
/// A dynamic coverage task cleaned less than "proportion_cleaned_area_threshold" of its zone.
inline constexpr int32_t kCleanedAreaTooSmall = 101100029;
/// The path monitor found the robot moving abnormally.
inline constexpr int32_t kAbnormalPath = 101100034;

// Robot events (vantrell_protocol RobotEvent through the communicator): a type and a code.

/// Spoken prompts.
inline constexpr int32_t kPromptEventType = 5;
/// "There is a big turn ahead", from the local node's speed limits.
inline constexpr int32_t kBigTurnEvent = 70000;
/// Lift events.
inline constexpr int32_t kLiftEventType = 6;
/// The lift car cannot be taken: no free place in it ("is_fuzzy_global_free" for "lift").
inline constexpr int32_t kLiftBlockedEvent = 70001;
/// The path into the lift car failed (goal mode 100).
inline constexpr int32_t kLiftInPlanFailedEvent = 70002;
/// The path out of the lift car failed (goal mode 101).
inline constexpr int32_t kLiftOutPlanFailedEvent = 70003;

// Diagnosis reports (GLOBAL_PLANNING_FAILURE, LOCAL_PLANNING_FAILURE): raised (status 1) by
// this many failed goals in a row, cleared (status 0) by the next success.
inline constexpr int32_t kFailuresBeforeReport = 12;

}  // namespace codes
}  // namespace planning

#endif  // PLANNING__CODES_HPP_
