#ifndef DEMO__OFFICE_FLOOR_HPP_
#define DEMO__OFFICE_FLOOR_HPP_

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace demo {

// A named spot of the bundled floor, in the map frame (metres).
struct Place {
  std::string name;
  double x;
  double y;
};

/**
 * The map bundled with the demo, drawn here rather than shipped as a file: a 30 m x 20 m office
 * floor at 0.05 m per cell. A corridor runs west to east through the middle; north of it three
 * offices and a meeting room, south of it the reception, a kitchen and an open-plan area, all
 * furnished (desks, chairs, cabinets, tables, counters, pillars, a sofa, plants).
 *
 * The image has one pixel per cell, row = cell y, column = cell x (not flipped): 255 free,
 * 0 wall or furniture, 205 unknown (outside the building).
 */
struct OfficeFloor {
  static constexpr double kResolution = 0.05;

  cv::Mat image;
  std::vector<Place> places;
};

OfficeFloor drawOfficeFloor();

}  // namespace demo

#endif  // DEMO__OFFICE_FLOOR_HPP_
