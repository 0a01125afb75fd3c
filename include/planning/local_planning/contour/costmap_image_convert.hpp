#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_CONVERT_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_CONVERT_HPP_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "planning/local_planning/contour/clean_zone_info.hpp"
#include "planning/local_planning/contour/image_processing.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"
#include "vantrell_trace/trace_mat.hpp"

namespace planning {

/**
 * Turns the costs and obstacle distances of two grid maps into 8-bit images on
 * which the coverage planners extract regions: 255 free (cleanable), 0 blocked.
 *
 * The first grid map holds the zone rectangles and zone images; the second is the
 * smaller local map, laid onto the first through the owner's location converter
 * (its firstToSecondMap takes a cell of the second map to a cell of the first).
 * A rectangle cell that lies off the first map is 0 in every image.
 *
 * Each builder holds the first map's costmap mutex (costmapToMat: the given
 * map's) for its whole pixel work, so that an image never mixes two costmap
 * updates. Outputs belong to the caller and are re-created only when their size
 * changes. One owner thread.
 *
 * Sources in src/local_planning/contour/: costmap_image_convert.cpp (one costmap, the local
 * window), costmap_image_convert_zone.cpp (the coverage images of a zone).
 */
class CostmapImageConvert {
 public:
  // Free margin around the local window image, on every side: the opening and the
  // distance image then see open space beyond the local map's edge, not a wall.
  static constexpr int kLocalWindowBorder = 25;

  /**
   * Reads its parameters from the node without declaring them: the owner declares
   * them first; a name not declared keeps its start value. Throws
   * std::invalid_argument for a missing grid map or an expired node.
   */
  CostmapImageConvert(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> first_gridmap,
                      std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> second_gridmap,
                      std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node);

  // The owner hands its trace publisher over as soon as it has one.
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);

  // The map's cells: 0 where the cost is at least `threshold`, else 255.
  void costmapToMat(const vantrell_nav2_gridmap::GridMapROS& map, cv::Mat& image,
                    uint8_t threshold);

  /**
   * The second map's cells carrying the first map's raw cost: 254 where the second
   * map is in danger or the cell does not lie on the first map.
   */
  void getLocalCostmapMatWithCoverage(
      cv::Mat& image, const vantrell_nav2_gridmap::GridmapLocationCoverter& converter);

  /**
   * The static coverage planner's images of `rect` (first-map cells): cleanable
   * cells, the same with the local map's costs laid over, cells clear of obstacles
   * by the robot half width plus its offset (opened), the opened local window, and
   * cells off obstacles.
   */
  void updateStaticCoverageCostmapMat(
      const cv::Rect& rect, cv::Mat& clean_mat, cv::Mat& clean_local_mat, cv::Mat& open_mat,
      cv::Mat& local_open_mat, cv::Mat& obstacle_free_mat,
      const vantrell_nav2_gridmap::GridmapLocationCoverter& converter);

  /**
   * The contour manager's images of a zone: cleanable cells, cells below the
   * inflation cost, the opened local window and cells off obstacles. Pixels
   * outside the zone polygon or on its outline are 0 in all three rectangle
   * images; pixels nearer the border than the safe distance are 0 in the first
   * two. A zone without points is wholly outside.
   */
  void updateCoverageCostmapMat(const CleanZoneInfo& zone, const cv::Rect& rect, cv::Mat& clean_mat,
                                cv::Mat& inflation_mat, cv::Mat& local_open_mat,
                                cv::Mat& obstacle_free_mat,
                                const vantrell_nav2_gridmap::GridmapLocationCoverter& converter);

 private:
  // What a local cell writes into the rectangle images: row, column, cost.
  using LocalCellWriter = std::function<void(int, int, uint8_t)>;

  void readParameters(rclcpp_lifecycle::LifecycleNode& node);
  // Refreshes the first map, then holds its costmap mutex for the caller's whole image work.
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> refreshAndLockFirstMap();
  // The second map grown by a free border, 0 within `clearance` of an obstacle;
  // opened into `local_open_mat`, whose distance image follows.
  void updateLocalWindow(double clearance, cv::Mat& local_open_mat);
  // Lays every second-map cell that lands inside `rect` over the rectangle images;
  // near local obstacles its cost counts as the clean cost.
  void overlayLocalCells(const cv::Rect& rect,
                         const vantrell_nav2_gridmap::GridmapLocationCoverter& converter,
                         const LocalCellWriter& write);
  void applyZoneMask(const CleanZoneInfo& zone, const cv::Size& size, cv::Mat& clean_mat,
                     cv::Mat& inflation_mat, cv::Mat& obstacle_free_mat);
  void traceCellCount(const cv::Mat& image);

  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  uint8_t clean_cost_{0};
  uint8_t inflation_cost_{0};
  bool enable_trace_{false};
  double safe_distance_offset_{0.0};
  double static_coverage_safe_offset_{0.07};
  double robot_half_width_{0.225};
  double morph_open_element_size_{0.0};
  double planning_morph_open_element_size_{0.0};
  int32_t morph_open_iterations_{0};
  double safe_distance_{0.0};
  double planning_safe_distance_{0.0};
  std::unique_ptr<vantrell_trace::TraceMat> merge_trace_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> first_gridmap_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> second_gridmap_;
  std::shared_ptr<LogPublisher> trace_logger_;
  cv::Mat window_mat_;
  cv::Mat zone_fill_mat_;
  cv::Mat zone_mask_mat_;
  cv::Mat zone_distance_mat_;
  ImageProcessing image_processing_;
  // Distance image (cells) of the opened local window.
  cv::Mat local_distance_mat_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_CONVERT_HPP_
