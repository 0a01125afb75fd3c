#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_SMOOTHING_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_SMOOTHING_HPP_

#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/geometry.hpp"
#include "planning/path_product.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * The smoothing steps both coverage planners apply to their local paths: the corner index, the
 * close-to-obstacle count, the inside-corner cut and its search, the straightening of concave
 * detours and the run of the outside path smoother. Each planner keeps its own object, named
 * after it (the name leads its log and trace texts), and wraps these steps in its own order.
 *
 * Obstacle distances come from the planner's second (local) grid map, and from a further map
 * where a step is given one. One planning thread; nothing is locked.
 */
class CoverageSmoothing {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using PoseStamped = geometry_msgs::msg::PoseStamped;
  /// Obstacle distance, obstacle weight, curvature, smoothness and prediction weights, cut
  /// length and resample step, in the order PathSmoother::config takes them.
  using SmootherConfig = std::array<double, 7>;
  /// The owner's corner cut at one distance (it refreshes the robot pose its own way).
  using CornerCut = std::function<bool(nav_msgs::msg::Path&, bool, double)>;

  struct Settings {
    /// Class name of the owner: "StaticCoveragePlanning" or "DynamicCoveragePlanning".
    std::string owner;
    /// Spacing of the densified chords, metres (the coverage resolution).
    double chord_step{0.05};
    /// inside_corner_detection_distance_threshold
    double corner_deviation_threshold{0.15};
    /// robot_half_width_offset
    double robot_half_width_offset{0.3};
    /// max_straighten_distance
    double max_straighten_distance{3.0};
  };

  /// Each try of the corner search looks this much closer to the robot than the one before.
  static constexpr double kCornerSearchStep = 0.05;
  /// A corner that turns the path more than this from the robot's heading is cut whatever the
  /// obstacles around it.
  static constexpr double kCornerAngleLimit = geometry::kPi / 2.0;

  /// Throws std::invalid_argument without a second grid map or path toolbox, and fails as
  /// checkLengthParameter says for a robot_half_width_offset no grid map can measure.
  CoverageSmoothing(std::shared_ptr<GridMapROS> second_gridmap,
                    std::shared_ptr<PathProduct> path_product, Settings settings);

  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);
  const Settings& settings() const { return settings_; }

  /// The first pose index at which the path length from pose 0 exceeds `distance`, or the last
  /// index when it never does; 0 for a path of fewer than two poses.
  std::size_t cornerIndex(const nav_msgs::msg::Path& path, double distance) const;

  /**
   * True when at least `limit` of the first `count` poses lie where the running minimum of the
   * obstacle distance (over `map` and, for another map, the second grid map too) is at most
   * `threshold`; a pose off `map` counts as blocked at once (WARN). False for a count of 0 or
   * less; `count` must not exceed the path's size.
   */
  bool hasObstacle(const std::shared_ptr<GridMapROS>& map, const nav_msgs::msg::Path& path,
                   int count, int limit, double threshold) const;

  /**
   * Cuts the inside corner within `distance` of the path start: the poses between the start and
   * the corner index go, when the straight chord keeps clear of obstacles and either `obstacle`
   * is set and the path strays from the chord by more than the deviation threshold, or the path
   * turns more than a right angle from `robot`'s heading. True when it cut.
   */
  bool cutInsideCorner(nav_msgs::msg::Path& path, bool obstacle, double distance,
                       const PoseStamped& robot) const;

  /// Tries `cut` from `first_distance` down in steps of kCornerSearchStep while the distance is
  /// positive, until one cuts: at most one corner per call. True when one did.
  static bool searchInsideCorner(nav_msgs::msg::Path& path, bool obstacle, double first_distance,
                                 const CornerCut& cut);

  /**
   * Straightens detours that bulge to the left of the chord between kept poses, or to the right
   * by no more than `offset`, and no longer than the straighten limit, where the chord keeps
   * clear of obstacles by the footprint half width plus its offset. The path's last pose is
   * appended once more at the end. `max_distance` has no effect; `global` chooses the wording of
   * the timing trace. Returns a copy of the changed path.
   */
  nav_msgs::msg::Path removeConcavePoints(nav_msgs::msg::Path& path,
                                          const std::shared_ptr<GridMapROS>& map,
                                          double max_distance, double offset, bool global) const;

  /**
   * Runs the outside smoother over `path` with the robot pose of the second grid map and the
   * latest odometry twist; `path` takes the result when it succeeds. Without a robot pose the
   * smoother gets `fallback` (the owner's last good pose, WARN), or, with none, is not run.
   * True when the smoothed path was written.
   */
  bool runPathSmoother(PathSmoother& smoother, nav_msgs::msg::Path& path,
                       const SmootherConfig& config, const PoseStamped* fallback) const;

 private:
  // Planar distance from `p` to the segment a-b.
  static double distanceToSegment(const PoseStamped& p, const PoseStamped& a, const PoseStamped& b);
  // Obstacle distance at the pose on `map`, lowered by the second map's where `map` is another
  // map; false off `map`.
  bool obstacleDistance(const std::shared_ptr<GridMapROS>& map, const PoseStamped& pose,
                        double& distance) const;
  // The two-pose chord densified at the chord step.
  nav_msgs::msg::Path chord(const PoseStamped& a, const PoseStamped& b) const;
  // Whether pose `i` must stay because the detour from `last` to it bulges too far.
  bool keepsDetour(const nav_msgs::msg::Path& path, std::size_t last, std::size_t i,
                   double offset) const;

  std::shared_ptr<GridMapROS> second_gridmap_;
  std::shared_ptr<PathProduct> path_product_;
  Settings settings_;
  BaseRobot base_robot_;
  std::shared_ptr<LogPublisher> trace_logger_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_SMOOTHING_HPP_
