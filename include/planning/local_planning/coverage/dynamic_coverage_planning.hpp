#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_PLANNING_HPP_

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "nav2_smoother/savitzky_golay_smoother.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "planning/local_planning/coverage/coverage_smoothing.hpp"
#include "planning/local_planning/local_way_points.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "planning/local_planning/sharp_angle_planning.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "vantrell_nav2_common/spin_collision.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"
#include "vantrell_nav2_smoother/douglas_peuker.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

namespace testing {
struct DynamicCoveragePlanningProbe;
}  // namespace testing

/**
 * The local planner "dynamic_coverage_planning": cleans the zones of a task on line by following
 * the contours of what is still to clean, as its contour manager extracts them cycle by cycle.
 * Each cycle cuts the contour path at the robot, waits for dynamic obstacles and counts static
 * ones, replans when the path runs short, the robot is stuck or a hollow opens beside the
 * contour, cuts a new path at a convex corner and joins it to the robot by a grid search. At the
 * end of a task it computes the cleaned area from the covered points and records the path.
 *
 * A task is the run of goals that carry one path-set uuid. Per goal the node calls updateGoal,
 * makePlan and, after a successful makePlan, pathSmooter; all on the local planning action's
 * worker thread, one cycle at a time, without locks. The covered-points client lives in a
 * callback group that only the planner's own executor thread spins; the client and its futures
 * are all the two threads share.
 *
 * Grid maps: the first gives the robot pose and cell and the corner clearance; the second (local)
 * the obstacle images, the collision tests and the smoother; the third (zone) the coverage
 * resolution and the zone cells.
 */
class DynamicCoveragePlanning final : public NavLocalPlanning {
 public:
  using Cells = std::vector<cv::Point>;
  using CellLists = std::vector<Cells>;
  using GetCoveredPoints = vantrell_nav2_protocol::srv::GetCoveredPoints;
  using TimePoint = std::chrono::system_clock::time_point;
  using OccupancyGridPublisher = rclcpp_lifecycle::LifecyclePublisher<nav_msgs::msg::OccupancyGrid>;

  /// Module named in every recording request.
  static constexpr const char* kRecordingModule = "vantrell_nav2_planning";

  /**
   * Declares its own names plainly, so it must be the first component of the node to declare
   * them (a second planner on one node throws rclcpp's already-declared exception), then builds
   * the contour manager, which does the same with its names. Throws std::invalid_argument when
   * the node is gone or a grid map is missing, and rclcpp's type exception for a name declared
   * with another type. Starts the thread that serves the covered-points client.
   */
  DynamicCoveragePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                          std::shared_ptr<GridMapROS> first, std::shared_ptr<GridMapROS> second,
                          std::shared_ptr<GridMapROS> third);
  /// Stops the covered-points thread and waits for it.
  ~DynamicCoveragePlanning();
  DynamicCoveragePlanning(const DynamicCoveragePlanning&) = delete;
  DynamicCoveragePlanning& operator=(const DynamicCoveragePlanning&) = delete;

  // ---- slots of the node -------------------------------------------------------------------

  /// Each engine and the publisher also go to the contour manager and the sharp-angle strategy.
  void setLocalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) override;
  /// One cycle. True when `out` holds this cycle's path, also while the robot is held for an
  /// obstacle; false when the task has no zone with floor to clean, without a robot pose or when
  /// the robot cannot be joined to the path.
  /// `need_replan` is never read or written.
  bool makePlan(Path& out, ControlState& control, bool& need_replan) override;
  /// Cuts one inside corner, straightens concave detours, smooths, resamples and mean-smooths.
  /// False when the outside smoother failed (the path is still resampled and mean-smoothed).
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  /// A goal with a new path-set uuid starts a task: zones to cells, contour manager set up.
  void updateGoal(std::shared_ptr<const LocalPlanningGoal> goal) override;
  /// Clears the per-task obstacle, covered-point and cleaned-area state and the cached paths.
  void reset() override;
  std::vector<geometry_msgs::msg::Polygon> getResiduesZones() override;
  double getCleanedArea() override;

  /// The sharp-angle strategy's callback: nothing to do here.
  void setMakePlanFlag(bool made_path);

  // ---- cycle ---------------------------------------------------------------------------------

  /// Erases the poses behind the robot and stores the rest as the current cached path. Sets
  /// `far` when the robot is far from the path and `stuck` when it keeps standing at its start;
  /// clears neither.
  void cutPath(Path& path, PoseStamped& robot, bool& far, bool& stuck);
  /// Whether a path with `remaining` metres left (within the horizon) is short enough to replan.
  bool pathTooshortReplan(bool reached, double remaining);
  /// The robot pose and cell of the first grid map; false (kept as they were) when unknown.
  bool updateRobotPose();
  /// True when the robot cannot turn in place towards the path.
  bool checkContourDirection(const Path& path, const PoseStamped& robot);
  /// Sum of the distances of equal poses of two equally long paths; `differs` when one pair is
  /// more than 0.2 m apart.
  double calculatePathSimilarity(const nav_msgs::msg::Path& path1, const nav_msgs::msg::Path& path2,
                                 bool& differs) const;

  // ---- obstacles -----------------------------------------------------------------------------

  /// True while a wait for a dynamic obstacle holds the robot; `out` then holds its pose.
  bool waittingDynamicObstacles(nav_msgs::msg::Path& out, ControlState& control);
  /// Starts a wait for a dynamic obstacle on `current` (true), or counts a static obstacle in
  /// `image` and sets `replan` once the count has run out.
  bool stopObstacle(cv::Mat& image, bool& replan, ControlState& control,
                    nav_msgs::msg::Path& current, nav_msgs::msg::Path& out);
  /// The free space of the local map, opened by the robot-sized kernel: 255 free, 0 not.
  void localCostmapMorphology(cv::Mat& out);
  bool hasObstacle(std::shared_ptr<GridMapROS> map, const nav_msgs::msg::Path& path,
                   const int& count, const int& need, const double& distance);
  /// Warns about listed obstacle types under the path and asks for a recording on a carpet.
  void publishActiveTriggerRosbag(const nav_msgs::msg::Path& path, std::shared_ptr<GridMapROS> map);

  // ---- smoothing -----------------------------------------------------------------------------

  bool insideCornerSmootherWitrhDistance(nav_msgs::msg::Path& path, const bool& obstacle,
                                         double distance);
  nav_msgs::msg::Path removeConcavePoints(nav_msgs::msg::Path& path,
                                          std::shared_ptr<GridMapROS> map, double max_distance,
                                          double offset, bool global);
  void meanSmoothing(nav_msgs::msg::Path& path, int window);

  // ---- end of task ---------------------------------------------------------------------------

  /// At most every 3 s: fetches the covered poses and publishes them with what remains to clean.
  /// False when the service is missing or late.
  bool pubCoveredInfo();
  /// While the task is finished: the cleaned area and efficiency, the recording trigger and,
  /// with "save_path", the coverage path record.
  void calculateCleaningEfficiency();

 private:
  friend struct testing::DynamicCoveragePlanningProbe;

  void declareOwnParameters(rclcpp_lifecycle::LifecycleNode& node);
  void readNodeParameters(rclcpp_lifecycle::LifecycleNode& node);
  void readOwnParameters(rclcpp_lifecycle::LifecycleNode& node);
  void logOwnParameters() const;
  void makeCoveredPointsClient(rclcpp_lifecycle::LifecycleNode& node);
  void buildCollaborators(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void spinClientExecutor();
  // Cancels the private executor until its thread has left spin, then joins it.
  void stopClientExecutor();

  // Goal intake: the zone polygons in zone-map cells and their area; the cells as text.
  std::string takeZones(const std::vector<geometry_msgs::msg::Polygon>& polygons);

  // What one cycle has found by the time it decides on a replan.
  struct Cycle {
    Path current;
    cv::Mat image;
    bool far{false};
    bool stuck{false};
    bool replan{false};
    bool dilated{false};
    bool reached{false};
    cv::Point hollow{0, 0};
    double remaining{0.0};
    TimePoint started;
  };
  // Where the cycle goes after a replan.
  enum class Next { kTail, kDone, kFailed };

  // Cycle steps.
  bool takeRobotPose();
  double remainingLength(const nav_msgs::msg::Path& path) const;
  bool endsAtStoredCorner(const Path& current);
  bool replanRequested(const Cycle& cycle);
  Next replanContour(Cycle& cycle, Path& out, ControlState& control);
  // The contour path set as the cache takes it: forward paths joined into one, resampled and
  // straightened.
  MultiPaths workingSet();
  void prepareContourPath(nav_msgs::msg::Path& path);
  void setForcedSpin(const Cycle& cycle);
  void cutAtCorner(Path& current);
  bool finishCycle(Cycle& cycle, Path& out);
  void takeStretch(const Path& current, Path& out) const;
  bool joinRobot(const Path& current, Path& out);
  int kernelSide(double resolution, int longest_side) const;

  // End of task.
  void drawCoveredArea();
  void writePathRecord(double efficiency, double minutes) const;

  TimePoint now() const { return clock_(); }

  std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> constrained_smoother_;
  std::shared_ptr<nav2_smoother::SavitzkyGolaySmoother> sg_smoother_;
  std::shared_ptr<LocalWayPoints> local_way_points_;
  std::shared_ptr<PathSmoother> path_smoother_;
  std::shared_ptr<MultiPaths> contour_path_;
  std::shared_ptr<ContourManager> contour_manager_;
  std::shared_ptr<DouglasPeuker> douglas_peuker_;
  std::shared_ptr<SharpAnglePlanning> sharp_angle_planning_;
  std::shared_ptr<CellLists> current_contours_;
  std::shared_ptr<Collision::SpinCollision> spin_collision_;
  std::shared_ptr<CoverageSmoothing> smoothing_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
  rclcpp::Client<GetCoveredPoints>::SharedPtr coverage_client_;
  std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  std::unique_ptr<std::thread> executor_thread_;
  // Ready once the executor thread has left spin.
  std::future<void> executor_done_;
  std::shared_ptr<OccupancyGridPublisher> distance_map_pub_;
  std::unordered_map<std::string, int> warn_obstacle_types_;
  std::unordered_map<std::string, int> record_obstacle_types_;

  PoseStamped robot_pose_;
  // A pose has been taken at least once: robot_pose_ is the last good one.
  bool robot_pose_valid_{false};
  uint32_t robot_cell_x_{0};
  uint32_t robot_cell_y_{0};
  PoseStamped zelto_pose_;
  bool finished_{false};
  int32_t off_path_count_{0};
  const int32_t off_path_count_limit_{10};
  bool coverage_triggered_{false};
  int32_t zero_index_count_{0};
  uint32_t clip_state_first_{0};
  uint32_t clip_state_second_{0};
  // The remaining path length is summed over this horizon, metres.
  const double path_length_horizon_{3.0};
  double coverage_resolution_{0.0};
  cv::Mat local_costmap_mat_;
  cv::Mat coverage_mat_;

  int32_t obstacle_check_count_{0};
  bool waiting_dynamic_obstacle_{false};
  TimePoint last_wait_end_time_{};
  TimePoint wait_start_time_{};
  TimePoint last_record_time_{};

  TimePoint task_start_time_{};
  double need_clean_area_{0.0};
  std::vector<geometry_msgs::msg::Point32> covered_points_;
  double cleaned_area_{0.0};
  int32_t path_overlap_distance_{0};
  int32_t coverage_width_{0};
  // When pubCoveredInfo last got past its pacing; one planner's own, read on its planning thread.
  TimePoint last_covered_request_time_{};

  // Read by the clock-dependent steps; tests drive it.
  std::function<TimePoint()> clock_{&std::chrono::system_clock::now};
  // Folder of the coverage path record, ending in '/'; the robot's file system provides it.
  std::string path_file_folder_{"/opt/vantrell/moraquin/path_file/"};

  // Parameters, named as on the node.
  double morph_open_element_size_{0.25};
  int morph_open_iterations_{1};
  double safe_distance_{0.3};
  bool publish_morph_local_costmap_mat_{false};
  double dynamic_coverage_local_path_distance_{2.0};
  bool use_dynamic_coverage_planning_smoother_{false};
  double proportion_cleaned_area_threshold_{0.5};
  bool save_path_{false};
  double inside_corner_detection_distance_{0.8};
  double inside_corner_detection_theta_threshold_{0.8};
  double inside_corner_detection_distance_threshold_{0.15};
  double max_coverage_width_{0.7};
  int obstacle_recording_packet_interval_time_{0};
  double max_dis_threshold_{0.6};
  double global_path_offset_{0.03};
  double local_path_offset_{0.01};
  double robot_half_width_offset_{0.3};
  double path_sample_distance_{0.02};
  double max_straighten_distance_{3.0};
  double select_corner_error_{0.3};
  double select_zelto_error_{0.2};
  double select_zelto_theta_{45.0};
  double dis_zelto_to_corner_{0.5};
  double forward_offset_dis_{0.3};
  double dis_zelto_to_obstacle_{0.7};
  double linear_need_dis_{1.0};
  double wait_dyn_obstacle_time_{5.0};
  double stop_obstacle_trigger_interval_time_{10.0};
  double dyn_static_obs_dis_diff_adjust_val_{0.3};
  double cut_path_forward_dis_{1.0};
  double cut_path_tolerance_max_dis_{0.4};
  int tolerance_zero_index_count_{2};
  bool enable_contour_dilation_{true};
  int max_obstacle_checkout_count_{1};
  double dynamic_obstacle_checkout_range_{0.3};
  double stop_obstacle_distance_{1.5};
  bool stop_dynamic_obstacle_{false};
  double smooth_window_size_{15.0};
  double plnning_offset_distance_{0.1};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_PLANNING_HPP_
