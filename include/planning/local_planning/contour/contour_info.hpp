#ifndef PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_INFO_HPP_
#define PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_INFO_HPP_

#include <cstdint>
#include <functional>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace planning {

// Where a region to clean was found.
enum ContourType : int32_t {
  // In the coverage image of a whole zone.
  ZONE = 0,
  // Inside one large current region, in the zone's second image; smaller regions pass.
  INNER = 1,
};

// One region still to clean, in cells of its zone image (x = column, y = row).
struct ContourInfo {
  static constexpr uint32_t kActive = 0;
  static constexpr uint32_t kFinished = 1;
  static constexpr uint32_t kAbandoned = 2;

  // Unoriented outline area, cells^2.
  double area{0.0};
  // Signed distance in cells from the robot cell to the outline: positive inside.
  double robot_distance{0.0};
  uint32_t state{kActive};
  // Every boundary cell, in the reverse of the order the contour finder reports.
  std::vector<cv::Point> points;
  int32_t zone_index{0};
  std::string uuid;
  int32_t plan_fail_count{0};
  ContourType type{ZONE};
};

// Decides over a region as found (outline before reversal, area in cells^2, kind of
// extraction): true REJECTS it.
using ContourFilter = std::function<bool(std::vector<cv::Point>&, double, ContourType)>;

/**
 * The one order of every region list: the region whose uuid equals `key` first (an
 * empty key matches empty uuids); then regions the robot stands in or on, larger
 * first; then the others, nearer outline first, the smaller area first at equal
 * distance. Unstable: records that compare equal keep no defined order.
 */
void sortContourInfos(std::vector<ContourInfo>::iterator first,
                      std::vector<ContourInfo>::iterator last, const std::string& key);

// Whether `a` comes before `b` in that order.
bool contourComesFirst(const ContourInfo& a, const ContourInfo& b, const std::string& key);

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__CONTOUR__CONTOUR_INFO_HPP_
