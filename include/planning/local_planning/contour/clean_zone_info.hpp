#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace planning {

// One zone to clean.
struct CleanZoneInfo {
  // The zone polygon, each point relative to the top-left corner of `rect`.
  std::vector<cv::Point> points;
  // The zone's bounding rectangle in grid-map cells.
  cv::Rect rect;
};

// The zone of a polygon of grid-map cells.
inline CleanZoneInfo makeCleanZoneInfo(const std::vector<cv::Point>& polygon) {
  CleanZoneInfo zone;
  zone.rect = cv::boundingRect(polygon);
  zone.points.reserve(polygon.size());
  for (const auto& point : polygon) {
    zone.points.push_back(point - zone.rect.tl());
  }
  return zone;
}

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_
