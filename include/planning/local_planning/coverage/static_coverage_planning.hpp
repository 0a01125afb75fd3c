#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__STATIC_COVERAGE_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__STATIC_COVERAGE_PLANNING_HPP_

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "planning/local_planning/contour/clean_zone_info.hpp"
#include "planning/local_planning/contour/contour_info.hpp"
#include "planning/local_planning/contour/costmap_image_convert.hpp"
#include "planning/local_planning/contour/image_processing.hpp"
#include "planning/local_planning/coverage/coverage_smoothing.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

namespace testing {
struct StaticCoveragePlanningProbe;
}  // namespace testing

/**
 * The local planner "static_coverage_planning": covers the zones of a task with one edge path
 * along each outline of a zone's free area and then back-and-forth rows over what is left to
 * clean, zone after zone, and at the end of the task fetches the covered poses to compute the
 * cleaned area and the cleaning efficiency.
 *
 * A task is the run of goals that carry one path-set uuid. Per goal the node calls updateGoal,
 * makePlan and, after a successful makePlan, pathSmooter; all on the local planning action's
 * worker thread, one cycle at a time, without locks. The covered-points client lives in a
 * callback group of its own, served by the node's executor on another thread.
 *
 * Grid maps: the first gives the robot pose and cell; the second (local) the footprint, obstacle
 * distances for the searches and the smoother; the third (zone) the resolution, the zone cells
 * and the coverage images. Row geometry is in cells of the current zone window, whose cell
 * (0, 0) is zone-map cell (bbox_origin_x_, bbox_origin_y_).
 *
 * Path kinds (path_type): 1 row approached, 2 row followed, 3 first edge path approached,
 * 4 edge path followed.
 */
class StaticCoveragePlanning final : public NavLocalPlanning {
 public:
  using Cells = std::vector<cv::Point>;
  using CellLists = std::vector<Cells>;
  using GetCoveredPoints = vantrell_nav2_protocol::srv::GetCoveredPoints;
  using TimePoint = std::chrono::system_clock::time_point;

  static constexpr int32_t kRowApproach = 1;
  static constexpr int32_t kRowFollow = 2;
  static constexpr int32_t kFirstEdgeApproach = 3;
  static constexpr int32_t kEdgeFollow = 4;
  /// A followed path with no more poses than this is done.
  static constexpr std::size_t kDonePathPoses = 2;
  static constexpr int kMaxLineThickness = coverage::kMaxLineThickness;

  /**
   * Declares its names on the node where they are missing, so that earlier declarers' defaults
   * hold, and reads them. Throws std::invalid_argument when the node is gone or a grid map is
   * missing, rclcpp's parameter type exception for a name declared with another type, and
   * rclcpp's invalid value exception (after one ERROR) for a "distance_btw_lines" that is not
   * half a cell to 1000 cells of the zone map.
   */
  StaticCoveragePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                         std::shared_ptr<GridMapROS> first, std::shared_ptr<GridMapROS> second,
                         std::shared_ptr<GridMapROS> third);

  // ---- slots of the node -------------------------------------------------------------------

  void setLocalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  /// Also hands the publisher to the image conversion and the smoothing steps.
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) override;
  /// One cycle: follows the cached paths, plans the next zone when none is left, ends the task
  /// when no zone yields anything. False when the robot pose is unknown, the task has no zone or
  /// no local path could be made. `need_replan` is never written.
  bool makePlan(Path& out, ControlState& state, bool& need_replan) override;
  /// Cuts sharp turns and one inside corner, smooths and resamples the local path and puts the
  /// robot pose in front. False when the outside smoother failed (the path is still processed).
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  /// A goal with a new path-set uuid starts a task: zones to cells, costmap reset, line spacing.
  void updateGoal(std::shared_ptr<const LocalPlanningGoal> goal) override;
  /// Empties the cached paths and the cleaned area and re-arms the obstacle stop.
  void reset() override;
  double getCleanedArea() override;

  // ---- zones and goal intake -----------------------------------------------------------------

  /// One zone record per polygon: the points relative to its bounding rectangle, and that
  /// rectangle. No zone is current afterwards.
  void setContour(std::shared_ptr<CellLists>& zones);
  void resetContour();
  /// The image filter: true drops a region that touches no valid cell, or a zone region
  /// smaller than the minimum cleaning area.
  bool invalidContour(Cells& points, double area, ContourType type);
  /// The tolerance of the local path `path` made from `global`.
  void setGlobalPathsTolerance(Path& path, const Path& global);
  /// Joins a short followed edge path with the next cached edge path, and writes `path` back as
  /// the front of the cache.
  void preloadNextGlobalPath(Path& path);
  /// The robot pose and cell of the first grid map; false (kept as they were) when unknown.
  bool updateRobotPose();

  // ---- cycle ---------------------------------------------------------------------------------

  /// Drops the cached rows of the current zone that no longer come near its area still to
  /// clean; all of them once the zone has nothing left. Edge paths stay.
  void removeInvaildPath();

  // ---- edge paths and rows -------------------------------------------------------------------

  /// The outlines of the free area of `image` inside the zone polygon.
  CellLists getEdgeContours(const Cells& zone, const cv::Mat& image);
  /// One edge path per outline; the first starts at its pose nearest the robot.
  bool getEdgePath(MultiPaths& paths);
  /// Simplifies the regions, writes the debug image and appends the rows.
  bool fromContourGenerateGlobalPath(MultiPaths& paths);
  bool fromContourGenerageArchedPath(const CellLists& regions, std::shared_ptr<GridMapROS> map,
                                     MultiPaths& paths);
  /// Consumes `rows`, appending one row path per row, each entered at the end nearest the end
  /// of the one before (the first: nearest the robot).
  void generatePaths(CellLists& rows, std::shared_ptr<GridMapROS> map, MultiPaths& paths);
  /// The row end nearest `from`; its row becomes `index` and is turned to start there.
  PoseStamped findNearestPoint(const PoseStamped& from, std::shared_ptr<GridMapROS> map,
                               CellLists& rows, int& index);
  /// The straight segment from `start` to `end` with poses about `step` apart; `start` alone
  /// when the two coincide.
  nav_msgs::msg::Path fillPath(const PoseStamped& start, const PoseStamped& end, double step) const;
  /// Heads the path along itself; true when the robot must back out of a narrow place instead
  /// of turning. May cut the path at the first free place ("cut_path").
  bool judgePointRotation(nav_msgs::msg::Path& path);
  /// True when the first metre of the path runs with little clearance on both sides.
  bool isNarrowPath(const nav_msgs::msg::Path& path);

  // ---- local path ----------------------------------------------------------------------------

  /// Approach or follow of the current path; false only when a pose lies off the zone map.
  bool planLocalPathFromGlobal(Path& global, nav_msgs::msg::Path& local, ControlState& state);
  /// Removes blocked poses within the first metre of a followed path.
  void clearPointsBlocked(Path& global);
  /// Bridges wide gaps of `global` inside `local`, where global pose k sits at offset + k.
  void fixPathsBlocked(const Path& global, nav_msgs::msg::Path& local, int offset);
  void updateLocalPathOrientation(Path& approach, const nav_msgs::msg::Path& global);
  /// Cuts the path at its first pose off the local map.
  void cutLocalPathOutofBound(nav_msgs::msg::Path& local);
  bool isNextToTheObstacle(int obstacle_count, double area, const Cells& contour) const;

  // ---- obstacles and smoothing ---------------------------------------------------------------

  /// Holds the robot for a dynamic obstacle on `path`, at most "wait_dyn_obstacle_time", and
  /// not again within "stop_obstacle_trigger_interval_time" of a stop's end. True while held.
  bool stopObstacle(nav_msgs::msg::Path& path, ControlState& state, Path& out);
  bool hasObstacle(std::shared_ptr<GridMapROS> map, const nav_msgs::msg::Path& path, int count,
                   int limit, double threshold);
  bool insideCornerSmootherWitrhDistance(nav_msgs::msg::Path& path, const bool& obstacle,
                                         double distance);
  nav_msgs::msg::Path removeConcavePoints(nav_msgs::msg::Path& path,
                                          std::shared_ptr<GridMapROS> map, double max_distance,
                                          double offset, bool global);

  // ---- end of task ---------------------------------------------------------------------------

  /// Whether the current path is done; at the end of the task, once, the covered poses give the
  /// cleaned area and the cleaning efficiency.
  void calculateCleaningEfficiency(Path& path, nav_msgs::msg::Path& local_path,
                                   ControlState& state);

 private:
  friend struct testing::StaticCoveragePlanningProbe;

  void declareParameters(rclcpp_lifecycle::LifecycleNode& node);
  void readParameters(rclcpp_lifecycle::LifecycleNode& node);
  void readSecondTable(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void makeCoveredPointsClient(rclcpp_lifecycle::LifecycleNode& node);
  // Zone polygons of the goal in zone-map cells; zones that keep fewer than three cells go.
  void takeZones(const std::vector<geometry_msgs::msg::Polygon>& polygons);

  bool runCycle(Path& out, ControlState& state);
  // The zone loop: the next zones' regions and outlines; false when none has any.
  bool planNextZones();
  bool follow(Path& g, Path& out, ControlState& state);
  bool finish(Path& g, Path& out, ControlState& state);
  // Zone `index` becomes the current window, its images are rebuilt and its border band drawn
  // into `band_images`.
  void loadZone(int index, const std::vector<cv::Mat*>& band_images);
  void drawBorderBand(const Cells& zone, const std::vector<cv::Mat*>& images) const;
  void updateWindowCell();
  // Whether path `path` of `set` stays; `start` is the examination start carried between paths.
  bool keepsPath(const Path& path, std::size_t& start) const;
  // Whether the pose lies inside an edge outline or within three cells of one; `on_map` tells
  // whether the pose could be tested at all.
  bool nearAnOutline(const PoseStamped& pose, bool& on_map) const;
  // The edge path at the front of the cache, reached at its end, makes way for the next path.
  bool leaveReachedEdgePath(Path& g);

  // The first pose from "jump_index" on with room to turn, on it or beside it; -1 for none.
  int freePlaceIndex(const nav_msgs::msg::Path& path) const;
  // Where planLocalPathFromGlobal goes on after a step.
  enum class Step { kFollow, kClose, kDone, kFailed };
  Step approach(Path& global, nav_msgs::msg::Path& local, ControlState& state, double reach);
  Step followPath(Path& global, nav_msgs::msg::Path& local, ControlState& state);
  // The pose nearest the robot within the first metre of the path: those before it are passed.
  std::size_t nearestAhead(const std::vector<PoseStamped>& poses) const;
  // The first pose of `global` a search reaches from the robot starts it; the search's poses
  // lead the local path, `offset` of them.
  bool joinRobotToPath(Path& global, nav_msgs::msg::Path& local, bool with_global, int& offset);
  // Drops the front path of the cache, which cannot be reached; true (the task's end handled)
  // when nothing is left to follow, else `global` becomes the next path.
  bool dropPathAndFinishWhenNoneLeft(Path& global, nav_msgs::msg::Path& local, ControlState& state);
  // Obstacle distance of the pose on the zone map into `distance`; false off the map.
  bool zoneDistance(const PoseStamped& pose, double& distance) const;
  // Whether the pose keeps `clearance` off obstacles (its distance into `distance`); nothing
  // (ERROR) when it lies off the zone map.
  std::optional<bool> poseIsFree(const PoseStamped& pose, double clearance, double& distance) const;
  // The clearance above which a pose of a path of this kind is free.
  double freeClearance(int32_t kind) const;
  // A grid search from `start` to `goal`, local engine first, then (when allowed) the global
  // one; false when neither gives poses.
  bool search(const PoseStamped& start, const PoseStamped& goal, bool with_global,
              nav_msgs::msg::Path& found) const;

  // The short path of one or two poses, driven from the robot.
  void startFromRobot(nav_msgs::msg::Path& path);
  // The corner cut, the outside smoother and the resampling of a longer path.
  bool smoothLongPath(nav_msgs::msg::Path& path);

  bool fetchCoveredPoses(std::vector<geometry_msgs::msg::PoseStamped>& poses);
  void computeCleanedArea(const std::vector<geometry_msgs::msg::PoseStamped>& poses);

  PoseStamped cellPose(const GridMapROS& map, int u, int v) const;
  TimePoint now() const { return clock_(); }

  std::shared_ptr<CostmapImageConvert> costmap_image_convert_;
  std::shared_ptr<CellLists> current_contours_;
  std::shared_ptr<vantrell_nav2_gridmap::GridmapLocationCoverter> location_coverter_;
  std::shared_ptr<ImageProcessing> image_processing_;
  std::shared_ptr<PathSmoother> path_smoother_;
  std::shared_ptr<CoverageSmoothing> smoothing_;
  rclcpp::CallbackGroup::SharedPtr covered_points_group_;
  rclcpp::Client<GetCoveredPoints>::SharedPtr covered_points_client_;
  std::vector<CleanZoneInfo> zone_infos_;
  int current_zone_index_{-1};
  cv::Rect current_zone_rect_;
  uint32_t bbox_origin_x_{0};
  uint32_t bbox_origin_y_{0};
  PoseStamped robot_pose_;
  // A pose has been taken at least once: robot_pose_ is the last good one.
  bool robot_pose_valid_{false};
  uint32_t global_x_{0};
  uint32_t global_y_{0};
  // Signed: a robot left of or below the window has a negative cell, not a wrapped one.
  cv::Point robot_window_cell_{0, 0};
  CellLists uncleaned_contours_;
  CellLists edge_contours_;
  cv::Mat local_coverage_mat_;
  cv::Mat clean_mat_;
  cv::Mat clean_mat_copy_;
  cv::Mat valid_mat_;
  cv::Mat obstacle_free_mat_;
  MultiPaths goal_global_paths_;
  double resolution_{0.05};
  double footprint_max_y_{0.0};
  double footprint_max_x_{0.0};
  double footprint_radius_{0.0};
  int coverage_line_spacing_{0};
  int32_t goal_coverage_width_{40};
  double need_clean_area_{0.0};
  double cleaned_area_{0.0};
  TimePoint task_start_time_;
  bool is_task_finished_{false};
  bool need_remove_invalid_path_{false};
  bool clean_coverage_triggered_{false};
  bool is_stopping_{false};
  TimePoint stop_start_time_;
  TimePoint stop_end_time_;
  cv::Mat covered_mask_;
  // Read by the clock-dependent steps; tests drive it.
  std::function<TimePoint()> clock_{&std::chrono::system_clock::now};
  // Folder of the row-generation debug image, ending in '/'.
  std::string debug_image_folder_{"/home/user/ros2_ws/moraquin/images5/"};

  // Parameters, named as on the node.
  double complex_contour_area_{8.0};
  double complex_density_width_{0.5};
  double minimum_cleaning_area_{0.5};
  double dynamic_coverage_fuzzy_range_end_{0.0};
  double plnning_offset_distance_{0.1};
  bool publish_morph_local_costmap_mat_{false};
  double distance_to_border_{1.5};
  int path_overlap_width_{11};
  double distance_btw_lines_{0.35};
  double smooth_window_size_{0.0};
  double inside_corner_detection_distance_{0.8};
  double path_sample_distance_{0.02};
  double safe_distance_{0.3};
  double fuzzy_dist_avoid_obstacle_{0.35};
  double inside_corner_detection_distance_threshold_{0.15};
  double coverage_threshold_offset_{0.03};
  double stop_obstacle_distance_{0.28};
  bool stop_dynamic_obstacle_{false};
  double dynamic_obstacle_checkout_range_{0.4};
  double max_dis_threshold_{0.6};
  double local_path_offset_{0.01};
  double max_straighten_distance_{3.0};
  double robot_half_width_offset_{0.3};
  double wait_dyn_obstacle_time_{3.0};
  double stop_obstacle_trigger_interval_time_{10.0};
  bool skip_smoother_{false};
  double cut_sharp_angle_threshold_{1.570796};
  double cut_sharp_forward_dis_{0.4};
  int jump_index_{20};
  double margin_dis_{0.3};
  bool cut_path_{false};
  double free_obstacle_dis_{0.6};
  double foot_print_obstacle_dis_tolerance_{0.3};
  double mid_obstacle_dis_tolerance_{0.1};
  double path_judge_margin_{0.2};
  double judge_path_length_{1.0};
  double dif_angle_tolerance_{1.5708};
  CoverageSmoothing::SmootherConfig gradient_smoother_{0.3, 0.5, 0.0, 0.0, 0.005, 0.3, 0.05};
  double cut_path_angle_tolerance_{0.78};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__STATIC_COVERAGE_PLANNING_HPP_
