#ifndef PLANNING__LOCAL_PLANNING__POINT_TO_POINT_STEPS_HPP_
#define PLANNING__LOCAL_PLANNING__POINT_TO_POINT_STEPS_HPP_

#include <cstdint>
#include <memory>
#include <optional>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/local_planning/control_state.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/astar_reference_path.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

// The steps the point-to-point local planners ("dijkstra", "dijkstra_goalzone", "force_backward",
// "lift_in") share: their reset, their smoothing, their search options and the search itself.
namespace planning {
namespace point_to_point {

/**
 * The cycle's piece of the cached global path set into `piece` (`out` takes its tolerance).
 * Returns the cycle's answer when it is decided here: true with `state.finished` set when no
 * piece is left, false when the robot pose needed to choose one is unknown. Otherwise nothing,
 * with `state.finished` set when the piece is the last one.
 */
std::optional<bool> takeNextPiece(NavLocalPlanning& planner,
                                  vantrell_nav2_protocol::msg::Path& piece,
                                  vantrell_nav2_protocol::msg::Path& out, ControlState& state);

/// Built and configured as "constrained_smoother", as every point-to-point planner keeps one.
/// With the node already gone it stays unconfigured, with a warning: nothing uses it.
std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> makeConstrainedSmoother(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);

/// A new task starts: the cleaning devices stop and the zone map forgets what it was told.
void resetForNewTask(vantrell_communicator::CommunicatorEngine& communicator,
                     const vantrell_nav2_gridmap::GridMapROS& zone_map);

/**
 * Smooths `path` from where the robot stands (robot pose of `local_map`, velocity of the
 * odometry unit of `communicator`). With `tune` the smoother first gets the grid-search
 * planners' settings, which keep the robot's full width clear; without it, it keeps its own.
 * Without a robot pose the path is smoothed as if the robot stood still on its first pose: an
 * origin pose would drag the path's start towards a place the robot is not. True when the
 * smoother delivered; `path` then holds the smoothed path.
 */
bool smoothFromRobot(PathSmoother& smoother, const vantrell_nav2_gridmap::GridMapROS& local_map,
                     const vantrell_communicator::CommunicatorEngine& communicator, bool tune,
                     nav_msgs::msg::Path& path);

/// Search options that keep turning room, with a 0.5 m start-side tolerance, the given goal-side
/// tolerance and path tolerance, a budget of 400 and no reference path.
vantrell_nav2_planner::astar2::AstarOptions plainSearchOptions(double goal_fuzzy_range,
                                                               double tolerance);

/**
 * The search options of the grid-search planners: plain options with cost-aware steps and
 * `previous` (the local path handed in) as the reference to keep close to. `reference` is the
 * caller's and must outlive the search.
 */
vantrell_nav2_planner::astar2::AstarOptions referencedSearchOptions(
    double tolerance, double goal_fuzzy_range, const nav_msgs::msg::Path& previous,
    vantrell_nav2_planner::astar2::AstarReferencePath& reference);

/**
 * One search into `out`, which afterwards holds what this search wrote and nothing of what it
 * held before: a failed cycle must never hand on an older path as new. Returns the engine's
 * answer; false without an engine.
 */
bool searchThisCycle(vantrell_nav2_planner::astar2::AstarPlanner* engine,
                     const geometry_msgs::msg::PoseStamped& start,
                     const geometry_msgs::msg::PoseStamped& goal,
                     const vantrell_nav2_planner::astar2::AstarOptions& options,
                     vantrell_nav2_protocol::msg::Path& out);

}  // namespace point_to_point
}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__POINT_TO_POINT_STEPS_HPP_
