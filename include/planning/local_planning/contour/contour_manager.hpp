#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_HPP_

#include <chrono>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/local_planning/contour/clean_zone_info.hpp"
#include "planning/local_planning/contour/contour_info.hpp"
#include "planning/local_planning/contour/costmap_image_convert.hpp"
#include "planning/local_planning/contour/image_processing.hpp"
#include "planning/path_product.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"
#include "vantrell_trace/trace_mat.hpp"

namespace planning {

namespace testing {
struct ContourManagerProbe;
}  // namespace testing

/**
 * The memory of one online coverage task: the zones to clean, the regions of the
 * current zone still to clean, the region the robot follows now and whether it has
 * reached it. Owned and driven by the dynamic coverage planner, on its planning
 * thread only; no lock of its own.
 *
 * Three grid maps: the first ("planning") gives the robot pose and cell; the third
 * ("zone") holds the zones and regions in its cells and must share the first's cell
 * grid; the second ("local") is the local window. Every region point is a cell of
 * the current zone image, whose pixel (0, 0) is zone-map cell (bbox_origin_x_,
 * bbox_origin_y_).
 *
 * Sources in src/local_planning/contour/: contour_manager.cpp (construction, parameters,
 * setters), contour_manager_task.cpp (zones, robot, task bookkeeping), contour_manager_tracking.cpp
 * (regions to paths), contour_manager_paths.cpp (contour paths, approach search),
 * contour_manager_hollow.cpp (hollows, surrounded robot), contour_manager_merge.cpp (record
 * merge), contour_manager_publish.cpp (occupancy-grid output).
 */
class ContourManager {
 public:
  using OccupancyGridPublisher = rclcpp_lifecycle::LifecyclePublisher<nav_msgs::msg::OccupancyGrid>;
  using AstarPlanner = vantrell_nav2_planner::astar2::AstarPlanner;
  using AstarNode = vantrell_nav2_planner::astar2::AstarNode;
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

  /**
   * Declares its 27 parameters plainly, so it must be the first to declare them on
   * the node: a name already declared (a second manager on the same node) throws
   * rclcpp's already-declared exception. Reads "publish_morph_local_costmap_mat"
   * without declaring it. Throws std::invalid_argument for a missing grid map or
   * an expired node.
   */
  ContourManager(std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node,
                 std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> first_gridmap,
                 std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> second_gridmap,
                 std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> third_gridmap,
                 double offset_distance);

  // A new task: no zone, no region, nothing reached or finished. Uuids, robot
  // cells, zone window, images and the last approach path stay.
  void reset();

  // One zone record per cell polygon, in order; the regions are left to reset().
  // A null list counts as empty.
  void setContour(const std::shared_ptr<std::vector<std::vector<cv::Point>>>& zones);

  /**
   * True once, in the cycle in which the robot first comes within
   * "distance_to_contour_threshold" of the current zone's outline while an active
   * current region exists; false again until the reached flag is cleared. False
   * without a current zone.
   */
  bool rePlanCleanPath();

  bool hasReachedContour() const { return reached_contour_; }

  // Refreshes the robot cell; true when it lies inside the current zone's outline (or on it). A
  // robot that starts its task there, or a zone drawn up to the walls, never comes near the
  // outline, yet it is in the zone. False without a current zone.
  bool isRobotInCurrentZone();

  // Refreshes the robot cell, then every region's signed distance to it (cells).
  void updateRobotToContourDistance();

  void abandonAllContours();

  // The active regions as polygons of cell centres in the zone map's world frame.
  std::vector<geometry_msgs::msg::Polygon> getResiduesZones() const;

  /**
   * Area (m^2) of every region held, whatever its state, and the time (s) to clean
   * it at "predicted_efficiency" (m^2 per hour); 0 time at zero efficiency.
   */
  void calRemaningContoursAreaAndtime(double& area, double& time) const;

  /**
   * Publishes the 0 pixels of an 8-bit image as occupancy -2 (0 elsewhere), laid
   * over `map`'s costmap; an image wider than the costmap is taken as grown by the
   * same border on every side. Only with "publish_morph_local_costmap_mat" on and a
   * subscriber listening.
   */
  void publishAsOccupancyGrid(const cv::Mat& image,
                              const std::shared_ptr<OccupancyGridPublisher>& publisher,
                              const vantrell_nav2_gridmap::GridMapROS& map);

  /**
   * Robot pose from the planning map, its cell there, and its cell in the current
   * zone image (signed: negative left of or below the window). False, cells kept,
   * without a pose or with the robot off the planning map.
   */
  bool updateRobotPose();

  // The region filter: true rejects a region below the minimum cleaning area
  // (half of it for an INNER region).
  bool invalidContour(std::vector<cv::Point>& contour, double area, ContourType type) const;

  /**
   * One planning cycle: enters the zones in order until one has a region, re-extracts
   * the regions from the fresh coverage image and hands out, in `paths`, the approach
   * and the cleaning path of the first region that can be reached, densified and
   * trimmed to start near the robot. `paths` is left untouched when there is nothing
   * to do; isFinished() then tells whether the task is over. With `dilate`, the
   * current region is first grown into the free area around `seed` (zone-image cell,
   * from detectContourHollow). Always true.
   */
  bool getContourPath(MultiPaths& paths, bool dilate, cv::Point seed);

  /**
   * The region pass of getContourPath: the current region first, then the others in
   * the region order, until one yields a path that can be reached. Regions that are
   * done, abandoned or swallowed leave the list. Always true.
   */
  bool fromContourGenerateGlobalPath(MultiPaths& paths, bool dilate, cv::Point seed);

  /**
   * Grows `image` (a region's image in zone-image cells) by the free, uncleaned
   * cells of the region's zone connected to `seed`. False, image unchanged, when the
   * seed lies off the image or is not such a cell.
   */
  bool findConnectedComponentsFree(cv::Mat& image, const ContourInfo& info, cv::Point seed);

  /**
   * Whether a zone-map cell lies beside region `info` (outline in zone-map cells):
   * uncleaned and free in `coverage` (local-map cells), strictly outside the region
   * and strictly inside its zone. A negative cell, or one that is not on the local
   * map, is not free.
   */
  bool isFree(const cv::Point& cell, const ContourInfo& info, const cv::Mat& coverage);

  /**
   * The cleaning path of a region outline (zone-image cells): the outline walked once
   * from its point nearest the robot, or, for a region narrower than 0.15 m, its
   * centre line from the end nearer the robot. Poses in `map`'s frame, published as
   * the contour path. True with `path` untouched for an empty outline; false when no
   * path can be made.
   */
  bool contour2Path(const std::vector<cv::Point>& contour,
                    const vantrell_nav2_gridmap::GridMapROS& map, nav_msgs::msg::Path& path);

  /**
   * Replaces `out` (a copy of `contour` on entry) by the centre line of a region
   * narrower than 0.15 m, and sets `narrow`; a wider region keeps its outline. False
   * for a degenerate outline, and for a centre line whose far end is within 0.5 m of
   * a robot standing within 0.6 m of an obstacle.
   */
  bool generageArchedPath(const std::vector<cv::Point>& contour, std::vector<cv::Point>& out,
                          bool& narrow);

  /**
   * `in` from its point nearest (x, y) (the first of equals): rotated when closed,
   * with the points before it dropped otherwise. `out` may be `in`.
   */
  void reindexContour(const std::vector<cv::Point>& in, int x, int y, std::vector<cv::Point>& out,
                      bool closed) const;

  // The cells of the straight line from a to b, both included, one per step of the
  // longer axis.
  std::vector<cv::Point> interpolateLine(const cv::Point& a, const cv::Point& b) const;

  /**
   * Searches the approach from the robot to one of about "try_planner_points_count"
   * poses of the contour path and puts it, followed by the contour path, into
   * `paths`; a robot already at the path's start in free space gets the contour path
   * alone. A failure counts against `info`, abandons it below 0.3 m^2 and abandons
   * every region once no approach has succeeded for longer than
   * "dynamic_coverage_planner_wait_time".
   */
  bool navigateToContour(const vantrell_nav2_protocol::msg::Path& contour_path, MultiPaths& paths,
                         ContourInfo& info);

  // n poses continuing the line from a through b beyond b, b - a apart.
  std::vector<geometry_msgs::msg::PoseStamped> insertPointsOnLine(
      const geometry_msgs::msg::PoseStamped& a, const geometry_msgs::msg::PoseStamped& b,
      double unused, int n) const;

  /**
   * Looks for a free, uncleaned pocket beside the current region: four clear
   * 9-cell normals in a row along its outline. `out`: a cell inside the pocket
   * (zone-image cell), the seed for a dilated getContourPath.
   */
  bool detectContourHollow(cv::Point& out);

  // Whether the grid search could explore less than "judge_surround_area" of the
  // current zone's obstacle-free cells.
  bool robotIsSurrounded(const std::vector<AstarNode*>& nodes) const;

  // Starts the surrounded timer; once it has run longer than
  // "robot_surround_try_time", abandons every region and stops it.
  void traceRobotSurroundedState(const ContourInfo& current);

  // Outline points (zone-image cells) within 0.4 m of an obstacle.
  int obstacleCount(const std::vector<cv::Point>& contour) const;

  // A small region, around the robot, whose whole outline runs along obstacles.
  bool isObstacleContour(const ContourInfo& info);

  /**
   * Whether a region is a small or thin strip along obstacles, from its outline
   * points near obstacles and its area (cells^2). An outline without length, or a
   * zero "complex_density_width", gives false.
   */
  bool isNextToTheObstacle(int obstacle_count, double area, const std::vector<cv::Point>& contour);

  /**
   * Puts the re-extraction of record `i` into the list: new record 0 replaces it,
   * the others are appended and the records after `i` re-sorted. Of a new record
   * and another record that overlap, the smaller approximated one is finished
   * (the new one at equal area). An index outside the list or no new record
   * changes nothing.
   */
  void updateContourInfoVecAndSort(std::vector<ContourInfo>& new_records, int i);

  /**
   * Overlap of two outlines (cells): when a1 < a2 the points of c1 are measured
   * against c2, otherwise those of c2 against c1; the merge passes the areas
   * crossed, so the larger outline probes the smaller. True when a probe point lies
   * inside or on the other outline and none more than 0.5 m outside it. o1: the
   * largest signed distance measured, never below -1; o2: the smallest.
   */
  bool intersectOrContain(const double& a1, const double& a2, const std::vector<cv::Point>& c1,
                          const std::vector<cv::Point>& c2, double& o1, double& o2) const;

  // What the owner hands over and reads back.
  void setLocalPlanner(std::shared_ptr<AstarPlanner> planner);
  void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner);
  // Also hands the publisher to the image conversion.
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);
  void setRobotPose(const geometry_msgs::msg::PoseStamped& pose) { robot_pose_ = pose; }
  // The robot cell in planning-map cells; the next pose refresh turns it into a
  // zone-image cell.
  void setRobotCell(unsigned int mx, unsigned int my);
  vantrell_nav2_gridmap::GridmapLocationCoverter& locationCoverter() { return location_coverter_; }
  void setObstacleMat(const cv::Mat& image) { obstacle_mat_ = image; }
  void setCoverageStart(const geometry_msgs::msg::PoseStamped& pose);
  bool isFinished() const { return finished_; }
  bool isNarrowContour() const { return narrow_contour_; }

 private:
  // Tests reach the task state through this probe only.
  friend struct testing::ContourManagerProbe;

  void declareParameters(rclcpp_lifecycle::LifecycleNode& node);
  void readParameters(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& locked);
  void logSettings() const;
  std::shared_ptr<OccupancyGridPublisher> makeActivePublisher(rclcpp_lifecycle::LifecycleNode& node,
                                                              const std::string& topic) const;
  // Index of the active record whose uuid is current_contour_uuid_, or -1.
  int currentContourIndex() const;
  void writeOverlapSnapshot(const cv::Mat& picture, double o1, double o2) const;
  double zoneResolution() const;

  template <typename... Args>
  void trace(const std::string& format, Args&&... args) const {
    traceLine(trace_logger_, format, std::forward<Args>(args)...);
  }

  // Tracking.
  bool zoneIndexValid(int32_t index) const;
  void rebuildZoneImages(int32_t zone_index);
  void enterNextZoneWithRegions();
  // `out` = `image` inside the polygon, 0 elsewhere (all 0 for an empty polygon).
  void maskByPolygon(const cv::Mat& image, const std::vector<cv::Point>& polygon, cv::Mat& out);
  // Re-extracts record i (and its one inner region) into the list; its outline, or
  // nothing when the region is gone.
  std::vector<cv::Point> reextractRegion(size_t i, bool dilate, cv::Point seed);
  // True when record i's path and approach went into `paths`.
  bool planRegion(size_t i, const std::vector<cv::Point>& outline, MultiPaths& paths);
  void densifyPaths(MultiPaths& paths) const;
  void trimHeadAtRobot(nav_msgs::msg::Path& path) const;
  void writeRegionSnapshot() const;
  void showOnTrace(const std::unique_ptr<vantrell_trace::TraceMat>& trace_mat,
                   const cv::Mat& image);

  // Approach.
  vantrell_nav2_planner::astar2::AstarOptions approachOptions() const;
  // The index of the contour pose an approach was found to, if any.
  std::optional<size_t> searchApproach(const vantrell_nav2_protocol::msg::Path& contour_path,
                                       const vantrell_nav2_planner::astar2::AstarOptions& options,
                                       MultiPaths& paths);
  void acceptApproach(const vantrell_nav2_protocol::msg::Path& contour_path, size_t goal,
                      MultiPaths& paths);
  // The contour's poses from `goal` on: a closed outline goes round to the poses before it, an
  // open centre line goes back from its end over them.
  std::vector<geometry_msgs::msg::PoseStamped> contourFrom(const nav_msgs::msg::Path& contour,
                                                           size_t goal) const;
  void countApproachFailure(ContourInfo& info);
  double obstacleDistanceAtRobot(const vantrell_nav2_gridmap::GridMapROS& map) const;
  // False when the robot stands within 0.6 m of an obstacle and the line's far end
  // within 0.5 m of it.
  bool centreLineDrivable(double far_end_distance) const;

  // Hollows and obstacles.
  // The current region's outline in zone-map cells from its point nearest the robot, as
  // far as the local map covers it.
  std::vector<cv::Point> outlineOnLocalMap(const std::vector<cv::Point>& outline);
  bool clearNormal(const std::vector<cv::Point>& outline, size_t i, const ContourInfo& region,
                   cv::Point& end);
  void writeObstacleSnapshot(bool strip, const std::vector<cv::Point>& contour,
                             const std::string& text) const;

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> zone_gridmap_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> planning_gridmap_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_gridmap_;
  // Local-map cells to zone-map cells and back; the owner refreshes it every cycle.
  vantrell_nav2_gridmap::GridmapLocationCoverter location_coverter_;
  // Zone polygons relative to their bounding rectangle (zone-map cells).
  std::vector<CleanZoneInfo> zone_infos_;
  // The same polygons in zone-map cells, rectangles all zero.
  std::vector<CleanZoneInfo> raw_zone_infos_;
  geometry_msgs::msg::PoseStamped robot_pose_;
  // Regions of the current zone, in the region order.
  std::vector<ContourInfo> contour_info_vec_;
  // Robot cell in the current zone image; signed, since the robot may stand left
  // of or below the window.
  cv::Point robot_cell_;
  // Robot cell in the planning map.
  uint32_t global_x_{0};
  uint32_t global_y_{0};
  BaseRobot base_robot_;
  cv::Mat zone_coverage_mat_;
  cv::Mat zone_inner_mat_;
  cv::Mat contour_mat_;
  cv::Mat inner_contour_mat_;
  cv::Mat local_coverage_mat_;
  cv::Mat zone_mask_mat_;
  cv::Mat component_mat_;
  cv::Mat zone_extra_mat_;
  PathProduct path_product_;
  bool narrow_contour_{false};
  std::string current_contour_uuid_;
  bool enable_trace_{false};
  std::unique_ptr<vantrell_trace::TraceMat> dilate_flag_trace_;
  std::unique_ptr<vantrell_trace::TraceMat> coverage_dilate_trace_;
  std::unique_ptr<vantrell_trace::TraceMat> coverage_edge_trace_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  // Square cells of the zone map.
  double minimum_cleaning_area_{0.0};
  bool use_obatacle_identify_{true};
  bool finished_{false};
  bool use_local_gridmap_ros_plan_{false};
  uint8_t clean_cost_{0};
  double offset_distance_;
  std::shared_ptr<ImageProcessing> image_processing_;
  std::shared_ptr<CostmapImageConvert> costmap_image_convert_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  bool save_contour_file_{false};
  // Created with its topic; nothing is published on it.
  std::shared_ptr<OccupancyGridPublisher> morph_costmap_pub_;
  std::shared_ptr<OccupancyGridPublisher> distance_map_pub_;
  bool publish_morph_local_costmap_mat_{false};
  double dynamic_coverage_fuzzy_range_end_{0.0};
  bool dynamic_coverage_few_obstacle_{false};
  nav_msgs::msg::Path last_contour_path_;
  std::string last_contour_uuid_;
  double path_constraint_reference_distance_{0.0};
  double path_constraint_reference_range_{0.0};
  double path_constraint_reference_path_cost_{0.0};
  bool reached_contour_{false};
  double distance_to_contour_threshold_{0.2};
  double path_distance_to_contour_threshold_{2.0};
  // Index into zone_infos_ of the zone being cleaned; -1 none.
  int32_t current_zone_index_{-1};
  double complex_contour_area_{8.0};
  double epsilon_{2.0};
  double complex_density_width_{0.5};
  int32_t global_path_point_count_{1500};
  double judge_surround_area_{0.0};
  double judge_surround_area_offset_{0.0};
  int32_t try_count_{1};
  int32_t try_planner_points_count_{5};
  double small_areas_threshold_{3.75};
  double connectivity_threshold_{0.4};
  double predicted_efficiency_{700.0};
  std::chrono::system_clock::time_point surrounded_start_time_{};
  std::chrono::system_clock::time_point last_plan_time_{};
  bool robot_surrounded_{false};
  double robot_surround_try_time_{0.0};
  // The owner's two grid-search engines, kept apart: the approach search uses the
  // global one.
  std::shared_ptr<AstarPlanner> local_planner_;
  std::shared_ptr<AstarPlanner> global_planner_;
  std::shared_ptr<LogPublisher> trace_logger_;
  double concave_points_max_distance_{0.0};
  // Bounding rectangle of the current zone (zone-map cells) and its corner.
  cv::Rect current_zone_rect_;
  uint32_t bbox_origin_x_{0};
  uint32_t bbox_origin_y_{0};
  int32_t dynamic_coverage_planner_wait_time_{0};
  // Written by the owner: its opened free-space image before a replan, and where
  // the cleaning of the current contour started.
  cv::Mat obstacle_mat_;
  bool coverage_started_{false};
  geometry_msgs::msg::PoseStamped coverage_start_pose_;
  // The opened local window of the last zone-image rebuild.
  cv::Mat local_window_mat_;
  // Parent of the "images1", "images2" and "images5" snapshot folders, which the
  // robot's file system provides.
  std::string snapshot_root_{"/home/vantrell/moraquin/"};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_HPP_
