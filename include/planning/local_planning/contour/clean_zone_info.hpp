#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_

#include <opencv2/core.hpp>
#include <vector>

namespace planning {

// One zone to clean.
struct CleanZoneInfo {
  // The zone polygon, each point relative to the top-left corner of `rect`.
  std::vector<cv::Point> points;
  // The zone's bounding rectangle in grid-map cells.
  cv::Rect rect;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__CLEAN_ZONE_INFO_HPP_
