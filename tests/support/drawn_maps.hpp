#ifndef TESTS__SUPPORT__DRAWN_MAPS_HPP_
#define TESTS__SUPPORT__DRAWN_MAPS_HPP_

#include <cstdint>
#include <map>
#include <opencv2/core.hpp>
#include <string>

// Floor plans drawn with OpenCV for tests and benchmarks. One pixel per
// cell, row = cell y, column = cell x, 255 free, 0 wall, 205 unknown: the
// form the grid-map test hooks read (vantrell_nav2_gridmap/testing).
namespace test_support {

constexpr uint8_t kFree = 255;
constexpr uint8_t kWall = 0;
constexpr uint8_t kUnknown = 205;

struct DrawnMap {
  cv::Mat image;
  double resolution{0.05};
  double origin_x{0.0};
  double origin_y{0.0};
  // Named cells worth driving to or testing at.
  std::map<std::string, cv::Point> places;

  // Throws std::out_of_range for a name the map does not have.
  cv::Point place(const std::string& name) const;
  // Centre of a cell in the map frame.
  cv::Point2d cellToWorld(const cv::Point& cell) const;
  cv::Point2d placeInWorld(const std::string& name) const { return cellToWorld(place(name)); }
};

// A free room with a one-cell wall all around.
// Places: "centre", "near_left_wall" (2 cells from the left wall).
DrawnMap drawEmptyRoom(int width = 100, int height = 80, double resolution = 0.05);

// Two rooms side by side; the dividing wall (at column width / 2, two
// cells thick) has a door of door_cells cells at mid height.
// Places: "left_room", "right_room", "door".
DrawnMap drawRoomWithDoor(int width = 120, int height = 80, int door_cells = 16,
                          double resolution = 0.05);

// 20 m x 15 m at 0.05 m: unknown outside the building, a corridor along
// the middle, three offices on each side with doors onto it, a table in
// each office and a narrow gap between two cabinets in the corridor.
// Places: "corridor_west", "corridor_east", "office_1" .. "office_6",
// "door_1" .. "door_6", "cabinet_gap", "outside".
DrawnMap drawOfficeFloor();

// A lift hall with a lift car on its north side. The car is a box open
// towards the hall. Places: "hall_centre", "car_centre", "car_door",
// "car_corner" (just inside the car's inner corner).
DrawnMap drawLiftHall(double resolution = 0.05);

// A large floor for benchmarks: size x size cells divided into square
// rooms of room_cells cells, each wall pierced by one door per room side.
// Places: "first_room", "last_room" (centres of the corner rooms).
DrawnMap drawRoomGrid(int size = 2000, int room_cells = 100, int door_cells = 20);

}  // namespace test_support

#endif  // TESTS__SUPPORT__DRAWN_MAPS_HPP_
