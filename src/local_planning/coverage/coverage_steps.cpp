#include "planning/local_planning/coverage/coverage_steps.hpp"

#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"

namespace planning {
namespace coverage {

double secondsBetween(std::chrono::system_clock::time_point from,
                      std::chrono::system_clock::time_point to) {
  return static_cast<double>(
             std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count()) /
         1000.0;
}

double drawCoveredArea(const nav2_costmap_2d::Costmap2D& costmap,
                       const std::vector<geometry_msgs::msg::Point32>& points, int thickness,
                       cv::Mat& mask, const std::string& owner) {
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  if (mask.rows != rows || mask.cols != cols || mask.type() != CV_8UC1) {
    mask = cv::Mat::zeros(rows, cols, CV_8UC1);
  }
  mask.setTo(0);
  std::vector<cv::Point> cells;
  std::size_t skipped = 0;
  for (const auto& point : points) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (costmap.worldToMap(point.x, point.y, mx, my)) {
      cells.emplace_back(static_cast<int>(mx), static_cast<int>(my));
    } else {
      ++skipped;
    }
  }
  if (skipped > 0) {
    LOG_WARN("{}::calculateCleaningEfficiency {} covered points off the map", owner, skipped);
  }
  if (!cells.empty()) {
    const cv::Point* first = cells.data();
    const int count = static_cast<int>(cells.size());
    cv::polylines(mask, &first, &count, 1, false, cv::Scalar(255), thickness, cv::LINE_4, 0);
  }
  const double resolution = costmap.getResolution();
  return cv::countNonZero(mask) * resolution * resolution;
}

}  // namespace coverage
}  // namespace planning
