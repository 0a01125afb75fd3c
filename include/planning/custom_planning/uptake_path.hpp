#ifndef PLANNING__CUSTOM_PLANNING__UPTAKE_PATH_HPP_
#define PLANNING__CUSTOM_PLANNING__UPTAKE_PATH_HPP_

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace planning {
namespace custom_planning {

/// Which way the diagonal of the free rectangle is used.
enum UptakePathCase : int32_t {
  kOnePoint = 0,
  kTwoPointsPulledBack = 1,
  kTwoPointsKept = 2,
};

/// Distances (metres) that shape an uptake path; defaults as the service ships them.
struct UptakePathParams {
  double task_finish_path_len{8.0};
  double water_uptake_forward_dis{0.5};
  double water_uptake_backward_dis{1.2};
  double cur_uptake_pos_offest{-0.5};
  double temp_forward_dis{0.5};
  double costmap_erode_radius{1.8};
  double repeat_move_dis{5.0};
};

/**
 * Turns the diagonal of a zone's largest free rectangle into the five poses
 * of a water-uptake path: near corner, end point on the diagonal, a step
 * further, then a sideways step out and back beside the end point.
 *
 * Every pose carries its heading (radians) in orientation.z with w = 1, as the
 * service's clients read it.
 */
class UptakePath {
 public:
  /// `costmap` gives the resolution and cells of the free-cell image; it must outlive this object.
  UptakePath(const UptakePathParams& params, const nav2_costmap_2d::Costmap2D& costmap);

  /**
   * `path_vec` holds the near corner and the diagonally opposite corner on
   * entry and the five poses on return. `mask` is the free-cell image (255 =
   * free, row = cell y), `robot` the robot pose in the map frame. With fewer
   * than two poses the path is left as it is and an ERROR is logged.
   */
  void computeUptakePath(const cv::Mat& mask,
                         std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
                         const geometry_msgs::msg::PoseStamped& robot) const;

  /**
   * Rewrites the last pose of `path_vec` into the end point on the diagonal
   * from `path_vec[0]` along `heading`, and logs whether the free area around
   * the diagonal's end is wide enough (the test the mode asks for).
   * `length` is the unshortened diagonal. `heading_unused` is not read, and
   * `far_x` (the far corner's x before a pull-back) is not needed: the stretch
   * of the diagonal beyond a pulled-back end follows from `length`.
   */
  void searchValidEndPoint(const cv::Mat& mask,
                           std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
                           double heading_unused, double length, double heading,
                           const UptakePathCase& uptake_path_case, double far_x) const;

  /**
   * Side of the square erosion kernel of the end-point test, in cells:
   * twice the erode radius, at least 1 (a zero kernel is not an erosion) and
   * at most what covers an image of `image_extent` cells from any pixel.
   */
  static int erodeKernelSize(double erode_radius, double resolution, int image_extent);

 private:
  bool freeAlong(const cv::Mat& eroded, const geometry_msgs::msg::PoseStamped& start,
                 double heading, double span) const;

  UptakePathParams params_;
  const nav2_costmap_2d::Costmap2D& costmap_;
};

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__UPTAKE_PATH_HPP_
