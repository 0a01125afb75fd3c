#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__TESTING__ASTAR_PLANNER_PROBE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__TESTING__ASTAR_PLANNER_PROBE_HPP_

#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// Test hook: what the last searchPath/searchPaths call of an engine received.
struct AstarCall {
  /// Calls of searchPath and searchPaths since the engine was built (searchPaths counts once).
  std::size_t calls{0};
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
  /// The record as received. Its reference_path is the caller's address, only good for a null
  /// test once the call is over; read the copy below instead.
  AstarOptions options{};
  /// Copy of the reference path the options pointed to, if any (whatever use_reference_path).
  std::optional<AstarReferencePath> reference_path;
  /// Cells the search expanded.
  std::size_t expansions{0};
  bool found{false};
};

class AstarPlannerProbe {
 public:
  /// What a script gets for each search of its engine: start, goal, options and the caller's
  /// path set. It answers the search (the engine returns the answer, and searchPath hands out the
  /// first path the script left in the set, or an empty path), or returns nothing to let the real
  /// search run.
  using SearchScript = AstarPlanner::SearchScript;

  /// From now on `script` answers the searches of `engine` (an empty script ends that). Scripted
  /// searches are recorded like real ones, with no expansions.
  static void script(AstarPlanner& engine, SearchScript script) {
    std::lock_guard<std::mutex> lock(engine.record_mutex_);
    engine.script_ = std::move(script);
  }

  /// The last call of `engine`; calls == 0 when it was never called.
  static AstarCall lastCall(const AstarPlanner& engine) {
    std::lock_guard<std::mutex> lock(engine.record_mutex_);
    const auto& record = engine.record_;
    AstarCall call;
    call.calls = record.calls;
    call.start = record.start;
    call.goal = record.goal;
    call.options = record.options;
    call.reference_path = record.reference_path;
    call.expansions = record.expansions;
    call.found = record.found;
    return call;
  }

  /// Returns once the engine's landmark tables are not being built.
  static void waitForLandmarks(AstarPlanner& engine) { engine.landmarks_->waitForBuild(); }

  /// The option record of the last call, or nothing when the engine was never called.
  static std::optional<AstarOptions> lastOptions(const AstarPlanner& engine) {
    const AstarCall call = lastCall(engine);
    if (call.calls == 0U) {
      return std::nullopt;
    }
    return call.options;
  }
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__TESTING__ASTAR_PLANNER_PROBE_HPP_
