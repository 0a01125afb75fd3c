// The test hook of the engine: scripted answers that stand in for whole searches.
#include <utility>

#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

std::optional<bool> AstarPlanner::scriptedSearch(const geometry_msgs::msg::PoseStamped& start,
                                                 const geometry_msgs::msg::PoseStamped& goal,
                                                 const AstarOptions& options,
                                                 vantrell_nav2_protocol::msg::MultiPaths& paths) {
  SearchScript script;
  {
    std::lock_guard<std::mutex> lock(record_mutex_);
    script = script_;
  }
  if (!script) {
    return std::nullopt;
  }
  const std::optional<bool> found = script(start, goal, options, paths);
  if (found) {
    remember(start, goal, options, 0, *found);
  }
  return found;
}

std::optional<bool> AstarPlanner::scriptedSearch(const geometry_msgs::msg::PoseStamped& start,
                                                 const geometry_msgs::msg::PoseStamped& goal,
                                                 const AstarOptions& options,
                                                 vantrell_nav2_protocol::msg::Path& path) {
  vantrell_nav2_protocol::msg::MultiPaths paths;
  const std::optional<bool> found = scriptedSearch(start, goal, options, paths);
  if (found) {
    path = paths.paths.empty() ? vantrell_nav2_protocol::msg::Path() : std::move(paths.paths[0]);
  }
  return found;
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
