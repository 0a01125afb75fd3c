#ifndef ROTATOR__ROTATOR_HPP_
#define ROTATOR__ROTATOR_HPP_

#include <opencv2/core.hpp>

/**
 * Turns an image so that the shape it holds lies square to the image axes.
 *
 * The orientation is estimated from the non-zero pixels (the angle of their
 * smallest enclosing rotated rectangle), so a rectangle-search that only knows
 * axis-aligned rectangles can be run on the turned image. The output canvas is
 * grown so that nothing of the input is cut off.
 *
 * The class holds no state; one object may be used by any number of threads.
 */
class Rotator {
 public:
  Rotator() = default;

  /**
   * Fills `rotation_matrix` with a 2x3 affine matrix (CV_64F) that maps pixels
   * of `image` to pixels of the turned image, and `bounding_rect` with the
   * extent of the turned image: its size is the output size, its top-left
   * corner where the turned input's corner would lie before the shift that
   * brings it into the output.
   *
   * The rotation is the estimated orientation of the content plus
   * `extra_angle` (degrees, counter-clockwise as seen on screen), taken
   * about `center`, or about the image centre when `center` is null. An image
   * without content has orientation 0.
   */
  void computeImageRotationMatrix(const cv::Mat& image, cv::Mat& rotation_matrix,
                                  cv::Rect& bounding_rect, const cv::Point2f* center,
                                  double extra_angle) const;

  /**
   * Writes into `output` the image turned by `rotation_matrix` on a canvas of
   * `bounding_rect`'s size, both as computeImageRotationMatrix gave them.
   * Nearest-neighbour sampling keeps a mask binary; the uncovered area is 0.
   * The result is 8-bit single-channel: another depth is converted (values
   * saturate), a multi-channel image is rejected with cv::Exception.
   */
  void rotateImage(const cv::Mat& image, cv::Mat& output, const cv::Mat& rotation_matrix,
                   const cv::Rect& bounding_rect) const;

  /// Orientation of the non-zero pixels in degrees, in (-45, 45]; 0 for none.
  double estimateOrientation(const cv::Mat& image) const;
};

#endif  // ROTATOR__ROTATOR_HPP_
