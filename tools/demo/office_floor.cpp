#include "office_floor.hpp"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace demo {

namespace {

constexpr double kWidth = 30.0;
constexpr double kHeight = 20.0;
constexpr uint8_t kFree = 255;
constexpr uint8_t kSolid = 0;
constexpr uint8_t kUnknown = 205;

int toCell(double metres) {
  return static_cast<int>(std::floor(metres / OfficeFloor::kResolution));
}

// Paints the cells covering [x0, x1) x [y0, y1), given in metres.
void box(cv::Mat& image, double x0, double y0, double x1, double y1, uint8_t value) {
  cv::rectangle(image, cv::Point(toCell(x0), toCell(y0)), cv::Point(toCell(x1) - 1, toCell(y1) - 1),
                cv::Scalar(value), cv::FILLED);
}

void solid(cv::Mat& image, double x0, double y0, double x1, double y1) {
  box(image, x0, y0, x1, y1, kSolid);
}

// A gap in a wall.
void opening(cv::Mat& image, double x0, double y0, double x1, double y1) {
  box(image, x0, y0, x1, y1, kFree);
}

void plant(cv::Mat& image, double x, double y) {
  cv::circle(image, cv::Point(toCell(x), toCell(y)), toCell(0.3), cv::Scalar(kSolid), cv::FILLED);
}

void drawShell(cv::Mat& image) {
  box(image, 0.5, 0.5, 29.5, 19.5, kSolid);
  box(image, 0.65, 0.65, 29.35, 19.35, kFree);
  // Corridor, 2 m wide.
  solid(image, 0.65, 8.4, 29.35, 8.5);
  solid(image, 0.65, 10.5, 29.35, 10.6);
  // North partitions: offices A, B, C, then the meeting room.
  for (const double x : {6.0, 12.0, 18.0}) {
    solid(image, x, 10.6, x + 0.1, 19.35);
  }
  // South partitions: reception, kitchen, open-plan area.
  for (const double x : {8.0, 13.0}) {
    solid(image, x, 0.65, x + 0.1, 8.4);
  }
}

void drawDoors(cv::Mat& image) {
  // One 1 m door per office, two into the meeting room.
  for (const double x : {2.5, 8.5, 14.5, 20.0, 26.0}) {
    opening(image, x, 10.5, x + 1.0, 10.6);
  }
  // The reception lies open to the corridor; the kitchen has a door; the open-plan area two
  // wide openings.
  opening(image, 1.5, 8.4, 7.0, 8.5);
  opening(image, 10.0, 8.4, 11.0, 8.5);
  opening(image, 15.0, 8.4, 17.0, 8.5);
  opening(image, 24.0, 8.4, 26.0, 8.5);
}

void drawOffices(cv::Mat& image) {
  for (const double left : {0.65, 6.1, 12.1}) {
    // Desk against the north wall, its chair, a cabinet on the east wall.
    solid(image, left + 1.5, 18.45, left + 3.1, 19.35);
    solid(image, left + 2.05, 17.6, left + 2.55, 18.1);
    solid(image, left + 4.75, 14.0, left + 5.35, 15.4);
  }
  plant(image, 1.2, 11.3);
}

void drawMeetingRoom(cv::Mat& image) {
  solid(image, 21.0, 14.1, 26.0, 15.9);
  for (const double x : {21.5, 22.7, 23.9, 25.1}) {
    solid(image, x, 13.3, x + 0.45, 13.75);
    solid(image, x, 16.25, x + 0.45, 16.7);
  }
  solid(image, 28.4, 11.0, 29.35, 13.0);  // sideboard
  plant(image, 28.7, 18.7);
  plant(image, 18.8, 18.7);
}

void drawReception(cv::Mat& image) {
  // L-shaped desk and a waiting bench.
  solid(image, 1.5, 3.0, 4.5, 3.6);
  solid(image, 3.9, 3.6, 4.5, 5.0);
  solid(image, 0.65, 6.5, 1.3, 8.0);
  plant(image, 7.3, 1.3);
}

void drawKitchen(cv::Mat& image) {
  solid(image, 8.1, 0.65, 12.9, 1.3);  // counter
  solid(image, 9.9, 3.4, 11.1, 4.2);   // table
  solid(image, 12.3, 5.0, 12.9, 6.4);  // fridge
}

void drawOpenPlan(cv::Mat& image) {
  for (const double x : {15.0, 19.0, 23.0}) {
    solid(image, x, 1.8, x + 2.4, 3.2);
    solid(image, x, 5.4, x + 2.4, 6.8);
  }
  for (const double x : {18.0, 22.0}) {  // pillars
    solid(image, x, 4.1, x + 0.4, 4.5);
  }
  solid(image, 27.4, 1.5, 28.2, 4.5);  // sofa
}

}  // namespace

OfficeFloor drawOfficeFloor() {
  OfficeFloor floor;
  floor.image = cv::Mat(toCell(kHeight), toCell(kWidth), CV_8UC1, cv::Scalar(kUnknown));
  drawShell(floor.image);
  drawDoors(floor.image);
  drawOffices(floor.image);
  drawMeetingRoom(floor.image);
  drawReception(floor.image);
  drawKitchen(floor.image);
  drawOpenPlan(floor.image);
  floor.places = {
      {"reception", 3.0, 6.0},  {"office_a", 3.0, 13.5},      {"office_b", 9.0, 13.5},
      {"office_c", 15.0, 13.5}, {"meeting_room", 23.5, 12.2}, {"kitchen", 10.5, 6.2},
      {"open_plan", 20.2, 4.3}, {"corridor_west", 2.0, 9.5},  {"corridor_east", 28.0, 9.5},
  };
  return floor;
}

}  // namespace demo
