#ifndef PLANNING__CUSTOM_PLANNING__LARGEST_RECTANGLE_HPP_
#define PLANNING__CUSTOM_PLANNING__LARGEST_RECTANGLE_HPP_

#include <cstdint>
#include <mutex>
#include <opencv2/core.hpp>
#include <vector>

namespace planning {
namespace custom_planning {

/**
 * Searches for large free rectangles in a free-space mask (one pixel per
 * costmap cell, 255 = free). Stateless: every call builds its own canvas,
 * grid and stacks, so calls may run on any thread.
 */
class LargestRectangle {
 public:
  /// One square cell of the search grid, addressed by its centre pixel.
  struct GridCell {
    int32_t x;
    int32_t y;
    /// Consecutive free cells ending at this one in its row.
    int32_t count;
  };

  /**
   * The largest free rectangle of `mask` inside the zone outlined by
   * `outline`, as a rotated rectangle in mask pixels. The zone is turned
   * square to the axes (Rotator) before an axis-aligned search on a grid of
   * 4-pixel cells. The outline's bounding box must lie inside the mask
   * (cv::Exception otherwise); an empty outline gives an empty rectangle.
   */
  static cv::RotatedRect largestRectInNonConvexPoly(const std::vector<cv::Point>& outline,
                                                    const cv::Mat_<unsigned char>& mask);

  /**
   * Largest axis-aligned rectangle of free cells of `cell_size` pixels: a
   * histogram of run lengths per grid column, each solved with two stack
   * passes, so the time is linear in the number of cells. `result` is left
   * unchanged when the free area is too short to hold one grid row.
   */
  static void getMaxRect(cv::Rect& result, const cv::Mat_<unsigned char>& mask, double cell_size);

  /// A cell counts as free when any of its pixels inside the mask is 255.
  static bool completeCellTest(const cv::Mat& mask, const cv::Point& center, int cell_size);

  /**
   * Sweeps whole-degree angles [first_angle, end_angle) and keeps in
   * `best_rect` / `best_angle` the largest rectangle of non-zero pixels of the
   * image turned about (center, center). Several threads may sweep disjoint
   * ranges at once; the shared best only changes under `lock`.
   */
  static void processAngle(int first_angle, int end_angle, const cv::Mat& image, int center,
                           cv::Rect& best_rect, int& best_angle, std::mutex& lock);

  /// The largest rectangle of zero pixels (first found wins on ties).
  static cv::Rect findMinRect(const cv::Mat_<unsigned char>& image);

  /// Cell size the water-uptake search runs with.
  static constexpr double kCellSize = 4.0;
};

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__LARGEST_RECTANGLE_HPP_
