#ifndef VANTRELL_NAV2_SMOOTHER__PATH_SMOOTHER_HPP_
#define VANTRELL_NAV2_SMOOTHER__PATH_SMOOTHER_HPP_

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace vantrell_nav2_smoother {
struct PathStretch;
struct Vec2;
namespace testing {
class PathSmootherFaults;
}  // namespace testing
}  // namespace vantrell_nav2_smoother

/**
 * Smooths the first stretch of a path against the obstacles of one grid map,
 * bending its start towards where the robot is heading.
 *
 * The first `cut_length` metres of the path are resampled every
 * `resample_step` metres and moved by gradient descent, both ends held, on an
 * energy that adds up, per pose: the squared distance from the original path
 * (weight 1), the squared second difference to its neighbours (smoothness
 * weight), the squared turn times the step (curvature weight), the squared
 * shortfall of the clearance below `obstacle_distance`, read from the grid
 * map's distance layer (obstacle weight), and the squared distance from where
 * the robot's current motion would carry it (prediction weight, fading out
 * over the stretch the robot covers in one second). Every smoothed pose then
 * heads along its next segment (against it on a path driven backwards). The
 * rest of the path follows unchanged.
 *
 * One owner thread per object; the grid map may be refreshed meanwhile.
 */
class PathSmoother {
 public:
  /// Throws std::invalid_argument for an empty grid map pointer.
  PathSmoother(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
               std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap);

  /**
   * Distances in metres. Takes effect at the next smoothPath; a set that
   * cannot be used (negative or non-finite values, a cut length or step of 0)
   * makes that call fail with an error line.
   */
  void config(double obstacle_distance, double obstacle_weight, double curvature_weight,
              double smoothness_weight, double prediction_weight, double cut_length,
              double resample_step);

  void setOriginalPath(const nav_msgs::msg::Path& path);

  /// The robot's pose (map frame) and velocity (robot frame).
  void setCurrentData(geometry_msgs::msg::PoseStamped pose, geometry_msgs::msg::Twist twist);

  /// Smooths the path given last; the outcome is read with getSmoothedNavPath.
  void smoothPath();

  /**
   * Writes the last smoothing's result into path and returns true. Returns
   * false, leaving path untouched, when there is none: no smoothPath since
   * the last setOriginalPath, an empty or non-finite path, an unusable
   * configuration, a result that enters a lethal cell, or a descent that did
   * not settle within its iteration budget.
   */
  bool getSmoothedNavPath(nav_msgs::msg::Path& path) const;

 private:
  friend class vantrell_nav2_smoother::testing::PathSmootherFaults;

  struct Settings {
    double obstacle_distance{0.3};
    double obstacle_weight{0.5};
    double curvature_weight{0.0};
    double smoothness_weight{1.0};
    double prediction_weight{0.1};
    double cut_length{100.0};
    double resample_step{0.05};
  };

  static bool takeForced(std::atomic<int>& counter);
  static bool usable(const Settings& settings);
  std::optional<nav_msgs::msg::Path> smooth() const;
  bool descendOn(const vantrell_nav2_smoother::PathStretch& stretch,
                 std::vector<vantrell_nav2_smoother::Vec2>& points) const;
  // The smoothed points as poses, followed by the untouched rest of the path.
  nav_msgs::msg::Path assemble(const vantrell_nav2_smoother::PathStretch& stretch,
                               const std::vector<vantrell_nav2_smoother::Vec2>& points) const;
  // True when a stretch of poses crosses a lethal cell of the grid map.
  bool entersLethalCell(const nav_msgs::msg::Path& path, size_t count) const;

  // Test hooks: the next n smoothings fail, or succeed with no poses.
  static std::atomic<int> forced_failures_;
  static std::atomic<int> forced_empty_results_;

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap_;
  rclcpp::Logger logger_;
  Settings settings_;
  nav_msgs::msg::Path original_;
  geometry_msgs::msg::PoseStamped robot_pose_;
  geometry_msgs::msg::Twist robot_twist_;
  std::optional<nav_msgs::msg::Path> result_;
};

#endif  // VANTRELL_NAV2_SMOOTHER__PATH_SMOOTHER_HPP_
