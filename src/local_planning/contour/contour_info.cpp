#include "planning/local_planning/contour/contour_info.hpp"

#include <algorithm>
#include <cmath>

namespace planning {

bool contourComesFirst(const ContourInfo& a, const ContourInfo& b, const std::string& key) {
  const bool a_is_key = a.uuid == key;
  const bool b_is_key = b.uuid == key;
  if (a_is_key != b_is_key) {
    return a_is_key;
  }
  if (a.robot_distance >= 0.0 && b.robot_distance >= 0.0) {
    return a.area > b.area;
  }
  if (a.robot_distance == b.robot_distance) {
    return a.area < b.area;
  }
  if (a.robot_distance > 0.0 && b.robot_distance < 0.0) {
    return true;
  }
  if (a.robot_distance < 0.0 && b.robot_distance > 0.0) {
    return false;
  }
  return std::fabs(a.robot_distance) < std::fabs(b.robot_distance);
}

void sortContourInfos(std::vector<ContourInfo>::iterator first,
                      std::vector<ContourInfo>::iterator last, const std::string& key) {
  std::sort(first, last, [key](const ContourInfo& a, const ContourInfo& b) {
    return contourComesFirst(a, b, key);
  });
}

}  // namespace planning
