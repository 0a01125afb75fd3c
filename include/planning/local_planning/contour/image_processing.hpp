#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__IMAGE_PROCESSING_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__IMAGE_PROCESSING_HPP_

#include <opencv2/core.hpp>
#include <vector>

#include "planning/local_planning/contour/contour_info.hpp"
#include "vantrell_nav2_common/base_robot.hpp"

namespace planning {

/**
 * Cuts an 8-bit image of the cells still to clean (non-zero) into its outer
 * regions, through the owner's filter, in the system's region order.
 *
 * One owner thread: the working mask makes getMaskMat non-reentrant.
 */
class ImageProcessing {
 public:
  // Replaces the filter; it must be set before the first extraction.
  void setCallBack(ContourFilter callback);

  /**
   * `out` becomes `src` inside the filled polygon and 0 outside it, at the size of
   * `src` (8-bit). An empty polygon leaves `out` as it was. `out` may be `src`.
   */
  void getMaskMat(const cv::Mat& src, const std::vector<cv::Point>& polygon, cv::Mat& out);

  /**
   * Every outer region of `image` (holes and what lies inside them are dropped) that
   * the filter accepts, each with a new uuid and its signed distance to the robot
   * cell (x, y), sorted with an empty key. Only accepted regions are given a uuid.
   * Throws std::bad_function_call without a filter. An empty image, or one that is
   * not 8-bit single-channel, has no regions.
   */
  std::vector<ContourInfo> getAllValidContourAddSort(ContourType type, const cv::Mat& image,
                                                     int zone_index, int x, int y);

 private:
  BaseRobot base_robot_;
  ContourFilter callback_;
  cv::Mat mask_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__IMAGE_PROCESSING_HPP_
