#include "lift_scenario.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "demo_map.hpp"
#include "lift_host.hpp"
#include "path_picture.hpp"
#include "planning/planner_keys.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LiftFree = vantrell_nav2_protocol::action::LiftFree;
using FuzzyLiftFree = vantrell_nav2_protocol::action::FuzzyLiftFree;
using ForceGlobalPath = vantrell_nav2_protocol::action::ForceGlobalPath;
using Polygon = geometry_msgs::msg::Polygon;

constexpr std::chrono::seconds kPatience{30};
namespace keys = planning::global_keys;
constexpr uint32_t kWheelchair = 0x100;
// Pairs 1 to 4 are the corners of the waiting area in front of a door, scaled by half the car's
// length and width; the first and last pairs only pad the list.
const std::vector<double> kLiftPolygon{0, 0, 1, 1, -1, 1, -1, -1, 1, -1, 0, 0};

const cv::Scalar kCarColour(60, 160, 0);
const cv::Scalar kRefusedColour(30, 30, 220);
const cv::Scalar kHallColour(200, 150, 60);
const cv::Scalar kWaitingColour(0, 190, 230);

void fill(cv::Mat& image, int x0, int y0, int x1, int y1, uint8_t value) {
  image(cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1)).setTo(value);
}

geometry_msgs::msg::Point32 corner(double x, double y) {
  geometry_msgs::msg::Point32 point;
  point.x = static_cast<float>(x);
  point.y = static_cast<float>(y);
  return point;
}

Polygon box(double x0, double y0, double x1, double y1) {
  Polygon polygon;
  polygon.points = {corner(x0, y0), corner(x1, y0), corner(x1, y1), corner(x0, y1)};
  return polygon;
}

// Where the wheelchair stands in car B.
const Polygon kWheelchairOutline = box(6.6, 6.6, 7.4, 7.4);

// A car whose inside spans the columns [first, last] north of the hall wall; its door is 1.5 m.
Polygon drawCar(cv::Mat& image, int first, int last) {
  constexpr int kFrontWall = 110;
  fill(image, first - 2, kFrontWall, first - 1, image.rows - 1, 0);
  fill(image, last + 1, kFrontWall, last + 2, image.rows - 1, 0);
  fill(image, first - 2, kFrontWall, last + 2, kFrontWall + 1, 0);
  const int door = (first + last + 1) / 2 - 15;
  fill(image, door, kFrontWall, door + 29, kFrontWall + 1, 255);
  const double r = LiftHall::kResolution;
  const double west = first * r;
  const double east = (last + 1) * r;
  const double front = (kFrontWall + 2) * r;
  const double back = (image.rows - 1) * r;
  Polygon car;
  car.points = {corner(west, back), corner(west, front), corner(east, front), corner(east, back)};
  return car;
}

std::string position(double x, double y) {
  char text[64];
  std::snprintf(text, sizeof(text), "(%.2f, %.2f)", x, y);
  return text;
}

std::string position(const Pose2& pose) { return position(pose.x, pose.y); }

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::vector<cv::Point2d> pointsOf(const nav_msgs::msg::Path& path) {
  std::vector<cv::Point2d> points;
  for (const auto& pose : path.poses) {
    points.emplace_back(pose.pose.position.x, pose.pose.position.y);
  }
  return points;
}

double lengthOf(const std::vector<cv::Point2d>& points) {
  double length = 0.0;
  for (size_t i = 1; i < points.size(); ++i) {
    length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
  }
  return length;
}

Pose2 centreOf(const Polygon& polygon) {
  Pose2 centre;
  for (const auto& point : polygon.points) {
    centre.x += point.x / static_cast<double>(polygon.points.size());
    centre.y += point.y / static_cast<double>(polygon.points.size());
  }
  return centre;
}

// What the scenario learnt, for the picture.
struct LiftRide {
  std::vector<DrawnLeg> legs;
  Polygon hall;
  Polygon waiting_area;
};

// "N. what: text" for a lift check; true when the car is free.
bool reportCheck(std::ostream& out, int step, const std::string& what,
                 const ActionOutcome<FuzzyLiftFree>& outcome) {
  out << step << ". is_fuzzy_global_free " << what << ": ";
  if (!outcome.succeeded()) {
    out << "no answer\n";
    return false;
  }
  const auto& result = outcome.result;
  if (result.is_free) {
    out << "free place " << position(toPose2(result.free_pose)) << "\n";
  } else {
    out << "not free" << (result.has_emergency ? ", emergency patient in the car" : "") << "\n";
  }
  return result.is_free;
}

// Plans with the lift planner and reports it; the robot then stands at the end of the plan.
bool planLeg(LiftHost& host, std::ostream& out, int step, const std::string& planner, int16_t mode,
             Pose2& robot, const Pose2& goal, LiftRide& ride) {
  GlobalPlanning::Goal request;
  request.current_planning_id = planner;
  request.goal_mode = mode;
  request.goal_poses = {toPose(goal)};
  host.placeRobot(robot);
  const auto outcome = host.call<GlobalPlanning>("global_planning", request, kPatience);

  DrawnLeg leg;
  leg.start = robot;
  leg.goal = goal;
  leg.succeeded = outcome.succeeded() && !outcome.result.multi_paths.paths.empty() &&
                  !outcome.result.multi_paths.paths.back().nav_path.poses.empty();
  size_t poses = 0;
  double length = 0.0;
  for (const auto& path : outcome.result.multi_paths.paths) {
    leg.paths.push_back(pointsOf(path.nav_path));
    poses += leg.paths.back().size();
    length += lengthOf(leg.paths.back());
  }
  const bool backwards = leg.succeeded && outcome.result.multi_paths.paths.front().move_backward;
  char line[240];
  std::snprintf(line, sizeof(line),
                "%d. global_planning %s (mode %d) %s -> %s: %s, code %d, %zu poses, %.2f m%s, "
                "%.1f ms\n",
                step, planner.c_str(), mode, position(robot).c_str(), position(goal).c_str(),
                leg.succeeded ? "succeeded" : "failed", outcome.result.error_code, poses, length,
                backwards ? ", driven backwards" : "", outcome.milliseconds);
  out << line;
  ride.legs.push_back(leg);
  if (leg.succeeded) {
    robot = toPose2(outcome.result.multi_paths.paths.back().nav_path.poses.back());
  }
  return leg.succeeded;
}

cv::Point pixel(const nav_msgs::msg::OccupancyGrid& grid, int scale, double x, double y) {
  const double column = (x - grid.info.origin.position.x) / grid.info.resolution;
  const double row = grid.info.height - (y - grid.info.origin.position.y) / grid.info.resolution;
  return cv::Point(static_cast<int>(std::lround(column * scale)),
                   static_cast<int>(std::lround(row * scale)));
}

void drawOutline(cv::Mat& picture, const nav_msgs::msg::OccupancyGrid& grid, const Polygon& polygon,
                 const cv::Scalar& colour) {
  const int scale = std::max(1, picture.cols / std::max(1, static_cast<int>(grid.info.width)));
  std::vector<cv::Point> points;
  for (const auto& point : polygon.points) {
    points.push_back(pixel(grid, scale, point.x, point.y));
  }
  if (points.size() > 1) {
    cv::polylines(picture, points, true, colour, std::max(1, scale / 2), cv::LINE_AA);
  }
}

}  // namespace

LiftHall drawLiftHall() {
  LiftHall hall;
  hall.image = cv::Mat(160, 200, CV_8UC1, cv::Scalar(255));
  cv::Mat& image = hall.image;
  fill(image, 0, 0, 199, 0, 0);
  fill(image, 0, 159, 199, 159, 0);
  fill(image, 0, 0, 0, 159, 0);
  fill(image, 199, 0, 199, 159, 0);
  // The lift shaft wall north of the hall, then the two cars cut into it.
  fill(image, 1, 110, 198, 158, 0);
  fill(image, 40, 112, 79, 158, 255);
  fill(image, 120, 112, 159, 158, 255);
  hall.car_a = drawCar(image, 40, 79);
  hall.car_b = drawCar(image, 120, 159);
  // A bench along the south wall and a planter in the east of the hall.
  fill(image, 20, 10, 59, 17, 0);
  fill(image, 160, 40, 175, 55, 0);
  hall.door_a = {3.0, 5.55, -M_PI / 2.0};
  hall.door_b = {7.0, 5.55, -M_PI / 2.0};
  hall.robot = {5.0, 2.0, M_PI / 2.0};
  return hall;
}

int runLiftScenario(const DemoOptions& options, std::ostream& out) {
  checkPictureFile(options.output);
  const LiftHall drawn = drawLiftHall();
  const nav_msgs::msg::OccupancyGrid grid = occupancyGridOf(drawn.image, LiftHall::kResolution);
  out << "Lift ride in a drawn lift hall (10.0 m x 8.0 m, 0.05 m cells): two cars, a wheelchair "
         "in car B\n";

  LiftHost host(grid, kLiftPolygon, options.node_parameters);
  Pose2 robot = drawn.robot;
  host.placeRobot(robot);
  // In car B, as the robot's recognisers report it.
  host.reportObstacle(kWheelchairOutline, kWheelchair);
  LiftRide ride;
  bool as_expected = true;

  FuzzyLiftFree::Goal check;
  check.planner_name = keys::kLift;
  check.resize_flag = true;
  check.door_pose = toPose(drawn.door_b);
  check.lift_inner_frame = drawn.car_b;
  const bool car_b_free = reportCheck(
      out, 1, "lift, car B", host.call<FuzzyLiftFree>("is_fuzzy_global_free", check, kPatience));
  const size_t events = host.robotEventCount();
  out << "   robot events raised: " << events
      << (events > 0 ? " (70001: lift cannot be taken)" : "") << "\n";
  as_expected = as_expected && !car_b_free && events == 1;

  check.door_pose = toPose(drawn.door_a);
  check.lift_inner_frame = drawn.car_a;
  const auto car_a = host.call<FuzzyLiftFree>("is_fuzzy_global_free", check, kPatience);
  const bool car_a_free = reportCheck(out, 2, "lift, car A", car_a);
  const auto halls = host.takeCheckLiftAreas();
  // The hall comes first, then the car as the robot may use it.
  ride.hall = halls.empty() ? Polygon() : halls.front().polygon;
  as_expected = as_expected && car_a_free;
  if (!car_a_free) {
    out << "car A is not free: the ride ends here\n";
  } else {
    const Pose2 place = toPose2(car_a.result.free_pose);
    LiftFree::Goal is_free;
    is_free.target_pose = car_a.result.free_pose;
    const auto free_answer = host.call<LiftFree>("is_global_free", is_free, kPatience);
    out << "3. is_global_free at " << position(place) << ": free "
        << yesNo(free_answer.result.is_free) << ", robot inside car A "
        << yesNo(free_answer.result.is_contained) << "\n";

    as_expected =
        planLeg(host, out, 4, keys::kLift, keys::kLiftInMode, robot, place, ride) && as_expected;

    const auto forced =
        host.call<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal(), kPatience);
    std::vector<cv::Point2d> forced_points;
    if (forced.result.success && !forced.result.multi_paths.paths.empty()) {
      forced_points = pointsOf(forced.result.multi_paths.paths.front().nav_path);
    }
    char line[160];
    std::snprintf(line, sizeof(line), "5. force_global_path into car A: %s, %zu poses, %.2f m\n",
                  forced.result.success ? "succeeded" : "no path", forced_points.size(),
                  lengthOf(forced_points));
    out << line;
    as_expected = as_expected && forced.result.success;
    if (!forced_points.empty()) {
      DrawnLeg leg;
      leg.start = {forced_points.front().x, forced_points.front().y, 0.0};
      leg.goal = {forced_points.back().x, forced_points.back().y, 0.0};
      leg.paths = {forced_points};
      leg.succeeded = true;
      ride.legs.push_back(leg);
    }

    // Inside, the robot straightens up facing the back wall, clear of the door.
    robot.yaw = M_PI / 2.0;
    host.placeRobot(robot);
    is_free.target_pose = toPose(robot);
    const auto inside = host.call<LiftFree>("is_global_free", is_free, kPatience);
    out << "6. is_global_free with the robot at " << position(robot) << ": robot inside car A "
        << yesNo(inside.result.is_contained) << "\n";
    as_expected = as_expected && inside.result.is_contained;

    FuzzyLiftFree::Goal leave;
    leave.planner_name = keys::kLiftOut;
    Pose2 door_out = drawn.door_a;
    door_out.yaw = M_PI / 2.0;
    leave.door_pose = toPose(door_out);
    host.takeCheckAreas();
    const bool way_out =
        reportCheck(out, 7, "lift_out, car A",
                    host.call<FuzzyLiftFree>("is_fuzzy_global_free", leave, kPatience));
    const auto areas = host.takeCheckAreas();
    ride.waiting_area = areas.empty() ? Polygon() : areas.back().polygon;
    as_expected = as_expected && way_out && !ride.waiting_area.points.empty();
    if (way_out && !ride.waiting_area.points.empty()) {
      Pose2 waiting = centreOf(ride.waiting_area);
      waiting.yaw = M_PI / 2.0;
      out << "   waiting area in front of car A, centred at " << position(waiting) << "\n";
      as_expected =
          planLeg(host, out, 8, keys::kLiftOut, keys::kLiftOutMode, robot, waiting, ride) &&
          as_expected;
    }
  }

  cv::Mat picture = drawPlans(grid, ride.legs);
  drawOutline(picture, grid, drawn.car_a, kCarColour);
  drawOutline(picture, grid, drawn.car_b, kRefusedColour);
  drawOutline(picture, grid, kWheelchairOutline, kRefusedColour);
  drawOutline(picture, grid, ride.hall, kHallColour);
  drawOutline(picture, grid, ride.waiting_area, kWaitingColour);
  writePicture(options.output, picture);
  std::error_code ignored;
  const auto written = std::filesystem::absolute(options.output, ignored);
  out << "picture written to " << (written.empty() ? options.output : written.string())
      << " (car A green, car B and its wheelchair red, lift hall blue, waiting area yellow; paths "
         "1 into car A, 2 forced, 3 out of car A)\n";
  return as_expected ? kAllPlansSucceeded : kPlanFailed;
}

}  // namespace demo
