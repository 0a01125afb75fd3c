#include "planning/custom_planning/largest_rectangle.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "rotator/rotator.hpp"

namespace planning {
namespace custom_planning {

namespace {

constexpr unsigned char kFree = 255;

struct FreeBounds {
  int min_x{1000000};
  int min_y{1000000};
  int max_x{0};
  int max_y{0};
};

FreeBounds freeBounds(const cv::Mat_<unsigned char>& mask) {
  FreeBounds bounds;
  for (int y = 0; y < mask.rows; ++y) {
    const unsigned char* row = mask[y];
    for (int x = 0; x < mask.cols; ++x) {
      if (row[x] == kFree) {
        bounds.min_x = std::min(bounds.min_x, x);
        bounds.min_y = std::min(bounds.min_y, y);
        bounds.max_x = std::max(bounds.max_x, x);
        bounds.max_y = std::max(bounds.max_y, y);
      }
    }
  }
  return bounds;
}

// Previous smaller-than element of every bar (or -1), one stack pass.
std::vector<int> previousSmaller(const std::vector<int>& h) {
  const int rows = static_cast<int>(h.size());
  std::vector<int> result(rows);
  std::vector<int> stack;
  for (int i = 0; i < rows; ++i) {
    while (!stack.empty() && h[stack.back()] >= h[i]) {
      stack.pop_back();
    }
    result[i] = stack.empty() ? -1 : stack.back();
    stack.push_back(i);
  }
  return result;
}

// Next smaller-than element of every bar (or the row count), one stack pass.
std::vector<int> nextSmaller(const std::vector<int>& h) {
  const int rows = static_cast<int>(h.size());
  std::vector<int> result(rows);
  std::vector<int> stack;
  for (int i = rows - 1; i >= 0; --i) {
    while (!stack.empty() && h[stack.back()] >= h[i]) {
      stack.pop_back();
    }
    result[i] = stack.empty() ? rows : stack.back();
    stack.push_back(i);
  }
  return result;
}

}  // namespace

cv::RotatedRect LargestRectangle::largestRectInNonConvexPoly(const std::vector<cv::Point>& outline,
                                                             const cv::Mat_<unsigned char>& mask) {
  if (outline.empty()) {
    return cv::RotatedRect();
  }
  const cv::Rect box = cv::boundingRect(outline);
  const int m = std::max(box.width, box.height);

  // Centre the zone on a canvas twice its size, so it can turn freely.
  cv::Mat canvas = cv::Mat::zeros(2 * m, 2 * m, CV_8UC1);
  const cv::Point shift(m - box.width / 2, m - box.height / 2);
  const cv::Mat source = mask;
  source(box).copyTo(canvas(cv::Rect(shift.x, shift.y, box.width, box.height)));

  const Rotator rotator;
  cv::Mat rotation;
  cv::Rect turned_extent;
  rotator.computeImageRotationMatrix(canvas, rotation, turned_extent, nullptr, 0.0);
  cv::Mat turned;
  rotator.rotateImage(canvas, turned, rotation, turned_extent);

  cv::Rect found(0, 0, 0, 0);
  getMaxRect(found, cv::Mat_<unsigned char>(turned), kCellSize);

  cv::Mat inverse;
  cv::invertAffineTransform(rotation, inverse);
  const std::vector<cv::Point> corners{{found.x, found.y},
                                       {found.x + found.width, found.y},
                                       {found.x + found.width, found.y + found.height},
                                       {found.x, found.y + found.height}};
  std::vector<cv::Point> back;
  cv::transform(corners, back, inverse);
  const cv::Point unshift(box.x - shift.x, box.y - shift.y);
  for (auto& p : back) {
    p += unshift;
  }
  return cv::minAreaRect(back);
}

void LargestRectangle::getMaxRect(cv::Rect& result, const cv::Mat_<unsigned char>& mask,
                                  double cell_size) {
  const int cell = static_cast<int>(std::floor(cell_size));
  const int half = static_cast<int>(std::floor(cell_size * 0.5));
  if (cell < 1) {
    // A grid without extent never advances; nothing can be searched.
    return;
  }
  const FreeBounds b = freeBounds(mask);
  const int y0 = b.min_y + half;
  if (y0 >= b.max_y) {
    return;
  }
  const int x0 = b.min_x + half;

  std::vector<std::vector<GridCell>> grid;
  for (int y = y0; y < b.max_y; y += cell) {
    std::vector<GridCell> row;
    for (int x = x0; x < b.max_x; x += cell) {
      int count = 0;
      if (completeCellTest(mask, cv::Point(x, y), cell)) {
        count = row.empty() ? 1 : row.back().count + 1;
      }
      row.push_back({x, y, count});
    }
    grid.push_back(std::move(row));
  }

  const int rows = static_cast<int>(grid.size());
  const int columns = static_cast<int>(grid.front().size());
  if (columns < 1) {
    result = cv::Rect(x0, b.min_y, 0, half);
    return;
  }

  int best = 0;
  int top = 0;
  int bottom = 0;
  int left_col = 0;
  int right_col = 0;
  std::vector<int> h(rows);
  for (int j = 0; j < columns; ++j) {
    for (int i = 0; i < rows; ++i) {
      h[i] = grid[i][j].count;
    }
    const std::vector<int> left = previousSmaller(h);
    const std::vector<int> right = nextSmaller(h);
    for (int i = 0; i < rows; ++i) {
      const int area = (right[i] - left[i] - 1) * h[i];
      if (area > best) {
        best = area;
        top = left[i] + 1;
        bottom = right[i];
        left_col = j - h[i] + 1;
        right_col = j;
      }
    }
  }

  const int xa = b.min_x + half + left_col * cell;
  const int xb = b.min_x + half + right_col * cell;
  const int ya = b.min_y + half + top * cell;
  const int yb = b.min_y + bottom * cell;
  result = cv::Rect(std::min(xa, xb), std::min(ya, yb), std::abs(xb - xa),
                    std::max(ya, yb) - std::min(ya, yb));
}

bool LargestRectangle::completeCellTest(const cv::Mat& mask, const cv::Point& center,
                                        int cell_size) {
  const cv::Rect inside(0, 0, mask.cols, mask.rows);
  if (inside.contains(center) && mask.at<unsigned char>(center) == kFree) {
    return true;
  }
  const int lo = cell_size / 2;
  const int hi = cell_size % 2 == 0 ? lo - 1 : lo;
  if (hi < -lo) {
    return false;
  }
  const int y_first = std::max(center.y - lo, 0);
  const int y_last = std::min(center.y + hi, mask.rows - 1);
  const int x_first = std::max(center.x - lo, 0);
  const int x_last = std::min(center.x + hi, mask.cols - 1);
  for (int y = y_first; y <= y_last; ++y) {
    const unsigned char* row = mask.ptr<unsigned char>(y);
    for (int x = x_first; x <= x_last; ++x) {
      if (row[x] == kFree) {
        return true;
      }
    }
  }
  return false;
}

void LargestRectangle::processAngle(int first_angle, int end_angle, const cv::Mat& image,
                                    int center, cv::Rect& best_rect, int& best_angle,
                                    std::mutex& lock) {
  const cv::Point2f pivot(static_cast<float>(center), static_cast<float>(center));
  for (int angle = first_angle; angle < end_angle; ++angle) {
    const cv::Mat rotation = cv::getRotationMatrix2D(pivot, angle, 1.0);
    cv::Mat turned;
    cv::warpAffine(image, turned, rotation, image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(0));
    std::vector<cv::Point> content;
    cv::findNonZero(turned, content);
    const cv::Rect extent = cv::boundingRect(content);
    cv::Mat region;
    turned(extent).convertTo(region, CV_8U);
    cv::bitwise_not(region, region);
    const cv::Rect found = findMinRect(cv::Mat_<unsigned char>(region));

    std::lock_guard<std::mutex> guard(lock);
    if (best_rect.area() < found.area()) {
      best_rect = cv::Rect(found.x + extent.x, found.y + extent.y, found.width, found.height);
      best_angle = angle;
    }
  }
}

cv::Rect LargestRectangle::findMinRect(const cv::Mat_<unsigned char>& image) {
  cv::Mat_<float> heights = cv::Mat_<float>::zeros(image.rows, image.cols);
  cv::Mat_<float> widths = cv::Mat_<float>::zeros(image.rows, image.cols);
  cv::Rect result(0, 0, 0, 0);
  float best = 0.0f;
  for (int r = 0; r < image.rows; ++r) {
    for (int c = 0; c < image.cols; ++c) {
      if (image(r, c) == 0) {
        heights(r, c) = r > 0 ? heights(r - 1, c) + 1.0f : 1.0f;
        widths(r, c) = c > 0 ? widths(r, c - 1) + 1.0f : 1.0f;
      }
      if (heights(r, c) <= 0.0f) {
        continue;
      }
      float width = widths(r, c);
      for (int k = 1;; ++k) {
        width = std::min(width, widths(r - k + 1, c));
        const float area = static_cast<float>(k) * width;
        if (area > best) {
          best = area;
          result = cv::Rect(c - static_cast<int>(width) + 1, r - k + 1, static_cast<int>(width), k);
        }
        if (heights(r, c) <= static_cast<float>(k)) {
          break;
        }
      }
    }
  }
  return result;
}

}  // namespace custom_planning
}  // namespace planning
