// Merging re-extracted regions into the contour manager's list.
#include <chrono>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>

#include "contour_snapshot.hpp"
#include "logger/logger.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"

namespace planning {

namespace {

// A probe point may lie this far outside the other outline, in metres.
constexpr double kOverlapMargin = 0.5;
// A merge slower than this is reported, in milliseconds.
constexpr int64_t kSlowMergeMs = 50;
// The outline simplified for the overlap test, with its area (cells^2).
struct Approximation {
  std::vector<cv::Point> points;
  double area{0.0};
};

Approximation approximate(const std::vector<cv::Point>& outline, double epsilon) {
  Approximation result;
  // A negative or undefined tolerance is refused by the simplification; 0 keeps the outline.
  cv::approxPolyDP(outline, result.points, epsilon > 0.0 ? epsilon : 0.0, true);
  result.area = cv::contourArea(result.points, false);
  return result;
}

}  // namespace

bool ContourManager::intersectOrContain(const double& a1, const double& a2,
                                        const std::vector<cv::Point>& c1,
                                        const std::vector<cv::Point>& c2, double& o1,
                                        double& o2) const {
  const bool first_is_smaller = a1 < a2;
  const std::vector<cv::Point>& probe = first_is_smaller ? c1 : c2;
  const std::vector<cv::Point>& polygon = first_is_smaller ? c2 : c1;
  double largest = -1.0;
  double smallest = std::numeric_limits<double>::max();
  if (probe.empty() || polygon.empty()) {
    o1 = largest;
    o2 = smallest;
    return false;
  }
  for (const auto& point : probe) {
    const double d = cv::pointPolygonTest(
        polygon, cv::Point2f(static_cast<float>(point.x), static_cast<float>(point.y)), true);
    largest = std::max(largest, d);
    smallest = std::min(smallest, d);
  }
  o1 = largest;
  o2 = smallest;
  const double resolution = zoneResolution();
  return largest >= 0.0 && smallest >= -(kOverlapMargin / resolution);
}

void ContourManager::updateContourInfoVecAndSort(std::vector<ContourInfo>& new_records, int i) {
  if (i < 0 || static_cast<size_t>(i) >= contour_info_vec_.size() || new_records.empty()) {
    return;
  }
  const auto start = std::chrono::system_clock::now();
  contour_info_vec_[i] = new_records[0];
  cv::Mat picture;
  if (save_contour_file_ && !zone_coverage_mat_.empty()) {
    picture = cv::Mat::zeros(zone_coverage_mat_.size(), CV_8UC3);
  }
  bool drawn = false;
  double o1 = -1.0;
  double o2 = std::numeric_limits<double>::max();
  // Older outlines are simplified once per merge; they do not change during it.
  std::vector<Approximation> old_shapes(contour_info_vec_.size());
  for (size_t k = 0; k < contour_info_vec_.size(); ++k) {
    if (static_cast<int>(k) != i && contour_info_vec_[k].points.size() > 2) {
      old_shapes[k] = approximate(contour_info_vec_[k].points, epsilon_);
    }
  }
  for (size_t j = 0; j < new_records.size(); ++j) {
    if (new_records[j].points.size() <= 2) {
      continue;
    }
    const Approximation shape = approximate(new_records[j].points, epsilon_);
    for (size_t k = 0; k < contour_info_vec_.size(); ++k) {
      if (static_cast<int>(k) == i || contour_info_vec_[k].points.size() <= 2) {
        continue;
      }
      // Crossed on purpose: the larger approximation probes the smaller one.
      if (!intersectOrContain(shape.area, old_shapes[k].area, old_shapes[k].points, shape.points,
                              o1, o2)) {
        continue;
      }
      if (shape.area > old_shapes[k].area) {
        contour_info_vec_[k].state = ContourInfo::kFinished;
      } else if (j >= 1) {
        new_records[j].state = ContourInfo::kFinished;
      }
      // New record 0 was copied into place i before this test, so when it overlaps a record
      // at least as large, neither is finished: both stay active.
      if (!picture.empty()) {
        cv::drawContours(picture, std::vector<std::vector<cv::Point>>{contour_info_vec_[k].points},
                         -1, cv::Scalar(0, 0, 255), 1, cv::LINE_8);
        cv::drawContours(picture, std::vector<std::vector<cv::Point>>{new_records[j].points}, -1,
                         cv::Scalar(255, 255, 255), 1, cv::LINE_8);
        drawn = true;
      }
    }
  }
  if (drawn) {
    writeOverlapSnapshot(picture, o1, o2);
  }
  if (new_records.size() > 1) {
    contour_info_vec_.insert(contour_info_vec_.end(), new_records.begin() + 1, new_records.end());
    sortContourInfos(contour_info_vec_.begin() + i + 1, contour_info_vec_.end(), std::string());
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now() - start)
                           .count();
  if (elapsed > kSlowMergeMs) {
    LOG_WARN("ContourManager::updateContourInfoVecAndSort use tim {} ms", elapsed);
  }
}

void ContourManager::writeOverlapSnapshot(const cv::Mat& picture, double o1, double o2) const {
  std::ostringstream text;
  text << o1 << std::endl << o2 << std::endl;
  const int number = contour_detail::nextSnapshotNumber(contour_detail::SnapshotSeries::kOverlaps);
  contour_detail::writeSnapshot("updateContourInfoVecAndSort",
                                snapshot_root_ + "images1/" + std::to_string(number) + "_dst2",
                                picture, text.str());
}

}  // namespace planning
