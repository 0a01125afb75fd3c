#ifndef PLANNING__LOCAL_PLANNING__PATH_JUDGE_HPP_
#define PLANNING__LOCAL_PLANNING__PATH_JUDGE_HPP_

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/local_planning/speed_limit_params.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace planning {

/**
 * Yes/no questions about a local path, each with the speed scale it calls for (1.0 is full
 * speed). Cells, obstacle distances, obstacle types and narrow passages come from the second
 * (local) grid map, the robot pose from the first (global) one, people and moving obstacles
 * from the communicator.
 *
 * A predicate that does not fire leaves the caller's scale alone unless its comment says
 * otherwise. Used by one thread at a time: the milk image is the judge's only state.
 *
 * Sources in src/local_planning/: path_judge.cpp (map and path predicates), path_judge_reports.cpp
 * (milk, people and moving obstacles).
 */
class PathJudge {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using Path = nav_msgs::msg::Path;

  PathJudge(std::shared_ptr<GridMapROS> first_map, std::shared_ptr<GridMapROS> second_map,
            const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
            std::shared_ptr<LogPublisher> trace_logger);

  /// Fewer than 11 poses: too short to judge.
  bool isPathTooShort(const Path& path) const;
  /// The path runs along an obstacle. `welt` is set (never cleared) when the robot follows an
  /// edge. A pose off the grid gives false with the near-obstacle scale.
  bool isPathNearObstacle(const Path& path, double& scale, bool& welt,
                          SpeedLimitParams params) const;
  /// The robot has left the path or faces away from it; also true without a robot pose.
  bool isAwayFromPath(const Path& path, double& scale, SpeedLimitParams params) const;
  /// The path bends by at least the angle tolerance.
  bool isCurvLarge(const Path& path, double& scale, SpeedLimitParams params) const;
  /// Spilled milk lies near the first stretch of the path; also true for a pose off the grid.
  /// With `skip` set (the grid-search planners), false at once.
  bool isNearMilk(const Path& path, bool skip, double& scale, SpeedLimitParams params);
  /// The path ends in another direction than it starts.
  bool isBigTurn(const Path& path, double& scale, SpeedLimitParams params) const;
  /// A pose of the path lies in a narrow passage (the scan stops at the first pose off the grid).
  bool inNarrowPassage(const Path& path) const;
  /// People stand ahead of the robot, by the reports that are recent enough.
  bool isPathNearPeople(const Path& path, bool grid_search, double& scale,
                        SpeedLimitParams params) const;
  /// The path crosses the predicted trajectory of a moving obstacle.
  bool isFeatureCollision(const Path& path, double& scale, SpeedLimitParams params) const;

 private:
  bool toCell(const geometry_msgs::msg::PoseStamped& pose, unsigned int& mx,
              unsigned int& my) const;
  bool getRobotPose(geometry_msgs::msg::PoseStamped& pose) const;
  /// The node's time; none once the node is gone.
  std::optional<rclcpp::Time> now() const;
  /// Whether a report stamped `stamp` is older than `timeout_ms` at `now`.
  static bool isStale(const builtin_interfaces::msg::Time& stamp, const rclcpp::Time& now,
                      int32_t timeout_ms);
  /// Rebuilds the milk image; false when no cell carries milk.
  bool drawMilk();

  // Weak: the node owns the judge, and a strong pointer back would keep both alive forever.
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  BaseRobot base_robot_;
  cv::Mat milk_mat_;
  std::shared_ptr<GridMapROS> second_gridmap_;
  std::shared_ptr<GridMapROS> first_gridmap_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<LogPublisher> trace_logger_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__PATH_JUDGE_HPP_
