#include "support/drawn_maps.hpp"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

namespace test_support {

cv::Point DrawnMap::place(const std::string& name) const {
  const auto it = places.find(name);
  if (it == places.end()) {
    throw std::out_of_range("drawn map has no place named '" + name + "'");
  }
  return it->second;
}

cv::Point2d DrawnMap::cellToWorld(const cv::Point& cell) const {
  return {origin_x + (cell.x + 0.5) * resolution, origin_y + (cell.y + 0.5) * resolution};
}

namespace {

// Inclusive corners, as cv::rectangle takes them.
void fill(cv::Mat& image, int x0, int y0, int x1, int y1, uint8_t value) {
  cv::rectangle(image, cv::Point(x0, y0), cv::Point(x1, y1), cv::Scalar(value), cv::FILLED);
}

void border(cv::Mat& image, int x0, int y0, int x1, int y1) {
  cv::rectangle(image, cv::Point(x0, y0), cv::Point(x1, y1), cv::Scalar(kWall), 1);
}

}  // namespace

DrawnMap drawEmptyRoom(int width, int height, double resolution) {
  DrawnMap map;
  map.resolution = resolution;
  map.image = cv::Mat(height, width, CV_8UC1, cv::Scalar(kFree));
  border(map.image, 0, 0, width - 1, height - 1);
  map.places["centre"] = {width / 2, height / 2};
  map.places["near_left_wall"] = {2, height / 2};
  return map;
}

DrawnMap drawRoomWithDoor(int width, int height, int door_cells, double resolution) {
  DrawnMap map = drawEmptyRoom(width, height, resolution);
  map.places.clear();
  const int wall = width / 2;
  fill(map.image, wall - 1, 0, wall, height - 1, kWall);
  const int door_start = height / 2 - door_cells / 2;
  fill(map.image, wall - 1, door_start, wall, door_start + door_cells - 1, kFree);
  map.places["left_room"] = {width / 4, height / 2};
  map.places["right_room"] = {3 * width / 4, height / 2};
  map.places["door"] = {wall, height / 2};
  return map;
}

DrawnMap drawOfficeFloor() {
  DrawnMap map;
  map.resolution = 0.05;
  map.image = cv::Mat(300, 400, CV_8UC1, cv::Scalar(kUnknown));
  cv::Mat& img = map.image;

  // Building shell.
  fill(img, 10, 10, 389, 289, kFree);
  border(img, 10, 10, 389, 289);
  // Corridor walls: the corridor is rows 130..169 (2 m).
  fill(img, 11, 128, 388, 129, kWall);
  fill(img, 11, 170, 388, 171, kWall);
  // Office partitions.
  fill(img, 136, 11, 137, 127, kWall);
  fill(img, 262, 11, 263, 127, kWall);
  fill(img, 136, 172, 137, 288, kWall);
  fill(img, 262, 172, 263, 288, kWall);

  const int mids[3] = {73, 199, 326};
  for (int k = 0; k < 3; ++k) {
    const int mid = mids[k];
    const std::string north = std::to_string(k + 1);
    const std::string south = std::to_string(k + 4);
    // 0.9 m doors onto the corridor.
    fill(img, mid - 9, 128, mid + 8, 129, kFree);
    fill(img, mid - 9, 170, mid + 8, 171, kFree);
    // A 2 m x 1 m table in each office.
    fill(img, mid - 20, 60, mid + 19, 79, kWall);
    fill(img, mid - 20, 220, mid + 19, 239, kWall);
    map.places["office_" + north] = {mid, 30};
    map.places["office_" + south] = {mid, 270};
    map.places["door_" + north] = {mid, 129};
    map.places["door_" + south] = {mid, 170};
  }
  // Two cabinets leave a 1 m gap in the corridor.
  fill(img, 100, 130, 119, 139, kWall);
  fill(img, 100, 160, 119, 169, kWall);
  map.places["cabinet_gap"] = {110, 150};
  map.places["corridor_west"] = {30, 150};
  map.places["corridor_east"] = {370, 150};
  map.places["outside"] = {5, 5};
  return map;
}

DrawnMap drawLiftHall(double resolution) {
  DrawnMap map = drawEmptyRoom(160, 160, resolution);
  map.places.clear();
  cv::Mat& img = map.image;
  // The car: inside columns 60..99, rows 110..158, open to the hall through
  // a 1.5 m door in its south wall.
  fill(img, 58, 108, 59, 159, kWall);
  fill(img, 100, 108, 101, 159, kWall);
  fill(img, 58, 108, 101, 109, kWall);
  fill(img, 65, 108, 94, 109, kFree);
  map.places["hall_centre"] = {80, 50};
  map.places["car_centre"] = {80, 134};
  map.places["car_door"] = {80, 109};
  map.places["car_corner"] = {61, 157};
  return map;
}

DrawnMap drawRoomGrid(int size, int room_cells, int door_cells) {
  DrawnMap map = drawEmptyRoom(size, size, 0.05);
  map.places.clear();
  cv::Mat& img = map.image;
  for (int line = room_cells; line < size - 1; line += room_cells) {
    fill(img, line - 1, 0, line, size - 1, kWall);
    fill(img, 0, line - 1, size - 1, line, kWall);
  }
  for (int line = room_cells; line < size - 1; line += room_cells) {
    for (int start = 0; start < size; start += room_cells) {
      const int mid = start + room_cells / 2;
      if (mid >= size - 1) {
        continue;
      }
      const int from = mid - door_cells / 2;
      const int to = from + door_cells - 1;
      fill(img, line - 1, from, line, to, kFree);
      fill(img, from, line - 1, to, line, kFree);
    }
  }
  const int half = room_cells / 2;
  const int last = ((size - 2) / room_cells) * room_cells + half;
  map.places["first_room"] = {half, half};
  map.places["last_room"] = {std::min(last, size - 2), std::min(last, size - 2)};
  return map;
}

}  // namespace test_support
