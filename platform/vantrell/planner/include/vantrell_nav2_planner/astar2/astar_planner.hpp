#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_PLANNER_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_PLANNER_HPP_

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_node.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_reference_path.hpp"
#include "vantrell_nav2_planner/astar2/landmark_keeper.hpp"
#include "vantrell_nav2_planner/astar2/search_statistics.hpp"
#include "vantrell_nav2_planner/astar2/workspace_pool.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

class AstarPlannerProbe;

/// Grid search on one grid map: A* from a start pose to a goal pose over the map's current
/// layers, with the options of AstarOptions.
///
/// Poses are read in the map's global frame (their frame ids are not consulted). A found path
/// holds one pose per cell, the first at the start position, the last at the goal position when
/// the goal cell itself was reached (else at the centre of the cell reached within the goal
/// tolerance), the others at cell centres; each pose is headed towards the next one and the last
/// keeps the heading of the step before it.
///
/// Several threads may search on one engine at the same time: every search reads one snapshot
/// of the layers and works in memory of its own, which the engine keeps for a later search.
class AstarPlanner {
 public:
  AstarPlanner(std::string name, std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map);

  /// Searches one path into `path`. `path` is reset first, so a failure never leaves an earlier
  /// path; the options' tolerance is copied into it. After a failure `check_blocked` tells
  /// whether blocked cells caused it (an unusable start or goal, or no route), as opposed to bad
  /// input or an exhausted budget. A found path has `check_blocked` set so that its follower
  /// keeps watching it for new obstacles.
  bool searchPath(const geometry_msgs::msg::PoseStamped& start,
                  const geometry_msgs::msg::PoseStamped& goal, const AstarOptions& options,
                  vantrell_nav2_protocol::msg::Path& path);

  /// As searchPath, into a path set: its paths are cleared first, then on success it holds the
  /// one path found; its header gets the map's global frame and the current time. The set's
  /// uuid is the caller's and is left alone.
  bool searchPaths(const geometry_msgs::msg::PoseStamped& start,
                   const geometry_msgs::msg::PoseStamped& goal, const AstarOptions& options,
                   vantrell_nav2_protocol::msg::MultiPaths& paths);

  /// Gets the lower bounds of the cost-aware searches and the memory of one search ready for the
  /// map's current layers, on the calling thread, so that the next search neither waits for
  /// them nor goes without: for a host to call when the map is there, before goals arrive. Does
  /// nothing that is done already; no bounds for maps that get none (see the README).
  void prepare();

  /// The latest search on this engine, whichever thread made it; zero before the first.
  SearchStatistics lastSearchStatistics() const;

 private:
  friend class AstarPlannerProbe;

  /// Test hook (AstarPlannerProbe::script): answers whole searches in place of the engine;
  /// nothing lets the real search run.
  using SearchScript = std::function<std::optional<bool>(
      const geometry_msgs::msg::PoseStamped&, const geometry_msgs::msg::PoseStamped&,
      const AstarOptions&, vantrell_nav2_protocol::msg::MultiPaths&)>;
  std::optional<bool> scriptedSearch(const geometry_msgs::msg::PoseStamped& start,
                                     const geometry_msgs::msg::PoseStamped& goal,
                                     const AstarOptions& options,
                                     vantrell_nav2_protocol::msg::MultiPaths& paths);
  std::optional<bool> scriptedSearch(const geometry_msgs::msg::PoseStamped& start,
                                     const geometry_msgs::msg::PoseStamped& goal,
                                     const AstarOptions& options,
                                     vantrell_nav2_protocol::msg::Path& path);

  /// What the last call received and did, for diagnosis.
  struct CallRecord {
    std::size_t calls{0};
    geometry_msgs::msg::PoseStamped start;
    geometry_msgs::msg::PoseStamped goal;
    AstarOptions options{};
    std::optional<AstarReferencePath> reference_path;
    std::size_t expansions{0};
    bool found{false};
  };

  void remember(const geometry_msgs::msg::PoseStamped& start,
                const geometry_msgs::msg::PoseStamped& goal, const AstarOptions& options,
                std::size_t expansions, bool found);

  std::string name_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
  /// Lower bounds for the searches on map_, built in the background.
  std::unique_ptr<LandmarkKeeper> landmarks_ = std::make_unique<LandmarkKeeper>();
  WorkspacePool workspaces_;
  mutable std::mutex record_mutex_;
  CallRecord record_;
  SearchScript script_;  // guarded by record_mutex_
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_PLANNER_HPP_
