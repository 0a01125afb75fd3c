#ifndef LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_DETAIL_HPP_
#define LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_DETAIL_HPP_

// Small image helpers shared by the image conversion's sources; outside the library's API.

#include <opencv2/core.hpp>

namespace planning {
namespace contour_detail {

// Side in cells of a square element of `metres`: the ceiling, at least 1.
int kernelCells(double metres, double resolution);

// Re-creates `image` only when its size or type differs.
void ensureImage(cv::Mat& image, const cv::Size& size, int type);

// Morphological opening with a kernel x kernel rectangle, centred, constant border.
void openImage(const cv::Mat& in, cv::Mat& out, int kernel, int iterations);

// Euclidean distance of every non-zero pixel to the nearest zero pixel, in cells (32-bit float).
void distanceImage(const cv::Mat& in, cv::Mat& out);

}  // namespace contour_detail
}  // namespace planning

#endif  // LOCAL_PLANNING__CONTOUR__COSTMAP_IMAGE_DETAIL_HPP_
