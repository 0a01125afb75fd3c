#include "rotator/rotator.hpp"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

void requireSingleChannel(const cv::Mat& image) {
  if (image.channels() != 1) {
    CV_Error(cv::Error::StsBadArg, "Rotator works on single-channel images only");
  }
}

}  // namespace

double Rotator::estimateOrientation(const cv::Mat& image) const {
  requireSingleChannel(image);
  if (image.empty()) {
    return 0.0;
  }
  // The outer outlines have the same hull as all content pixels, at a
  // fraction of the points.
  const cv::Mat content = image != 0;
  std::vector<std::vector<cv::Point>> outlines;
  cv::findContours(content, outlines, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
  std::vector<cv::Point> points;
  for (const auto& outline : outlines) {
    points.insert(points.end(), outline.begin(), outline.end());
  }
  if (points.size() < 2) {
    return 0.0;
  }
  // A rectangle's angle is only defined up to quarter turns; the smallest
  // turn that squares it up is the one wanted.
  double angle = std::fmod(static_cast<double>(cv::minAreaRect(points).angle), 90.0);
  if (angle > 45.0) {
    angle -= 90.0;
  } else if (angle <= -45.0) {
    angle += 90.0;
  }
  return angle;
}

void Rotator::computeImageRotationMatrix(const cv::Mat& image, cv::Mat& rotation_matrix,
                                         cv::Rect& bounding_rect, const cv::Point2f* center,
                                         double extra_angle) const {
  requireSingleChannel(image);
  const cv::Point2f pivot = center != nullptr ? *center
                                              : cv::Point2f(std::max(image.cols - 1, 0) * 0.5f,
                                                            std::max(image.rows - 1, 0) * 0.5f);
  const double angle = estimateOrientation(image) + extra_angle;
  cv::Mat matrix = cv::getRotationMatrix2D(pivot, angle, 1.0);

  // Extent of the turned pixel centres, so that nothing of the input is cut.
  const double last_x = std::max(image.cols - 1, 0);
  const double last_y = std::max(image.rows - 1, 0);
  const std::vector<cv::Point2d> corners{
      {0.0, 0.0}, {last_x, 0.0}, {last_x, last_y}, {0.0, last_y}};
  std::vector<cv::Point2d> turned;
  cv::transform(corners, turned, matrix);
  double min_x = turned[0].x, max_x = turned[0].x, min_y = turned[0].y, max_y = turned[0].y;
  for (const auto& p : turned) {
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  // A tiny epsilon keeps exact quarter turns from growing by a pixel.
  constexpr double kEps = 1e-6;
  const int left = static_cast<int>(std::floor(min_x + kEps));
  const int top = static_cast<int>(std::floor(min_y + kEps));
  const int right = static_cast<int>(std::ceil(max_x - kEps));
  const int bottom = static_cast<int>(std::ceil(max_y - kEps));
  bounding_rect = image.empty() ? cv::Rect(0, 0, 0, 0)
                                : cv::Rect(left, top, right - left + 1, bottom - top + 1);

  matrix.at<double>(0, 2) -= bounding_rect.x;
  matrix.at<double>(1, 2) -= bounding_rect.y;
  rotation_matrix = matrix;
}

void Rotator::rotateImage(const cv::Mat& image, cv::Mat& output, const cv::Mat& rotation_matrix,
                          const cv::Rect& bounding_rect) const {
  requireSingleChannel(image);
  cv::Mat source = image;
  if (image.depth() != CV_8U) {
    image.convertTo(source, CV_8U);
  }
  if (source.empty() || bounding_rect.width <= 0 || bounding_rect.height <= 0) {
    output = cv::Mat::zeros(std::max(bounding_rect.height, 0), std::max(bounding_rect.width, 0),
                            CV_8UC1);
    return;
  }
  cv::warpAffine(source, output, rotation_matrix, bounding_rect.size(), cv::INTER_NEAREST,
                 cv::BORDER_CONSTANT, cv::Scalar(0));
}
