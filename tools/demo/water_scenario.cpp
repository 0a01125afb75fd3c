#include "water_scenario.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

#include "localisation.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "path_picture.hpp"
#include "planning_sim/node_host.hpp"
#include "planning_sim/node_parameters.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

constexpr char kCostmapTopic[] = "/global_costmap/costmap_raw";
constexpr char kServiceParameter[] = "water_uptake_path_server.water_uptake_service_name";
constexpr char kZoneTopic[] = "/vantrell_nav2_custom_planning/zone";
constexpr char kRectangleTopic[] = "/vantrell_nav2_custom_planning/max_rect";
constexpr char kPointsTopic[] = "/vantrell_nav2_custom_planning/water_points";
constexpr std::chrono::seconds kServerPatience{10};
constexpr std::chrono::seconds kAnswerPatience{30};
// Occupancy at or above this is a wall, as a map server reads its image.
constexpr int8_t kOccupied = 65;

// Office B of the bundled floor, wall to wall, and the corridor at its door.
const std::vector<MapPoint> kOfficeB{{6.2, 10.7}, {11.9, 10.7}, {11.9, 19.2}, {6.2, 19.2}};
constexpr Pose2 kOfficeBDoor{9.0, 9.5, 1.5708};

// BGR, apart from the path's colours.
const cv::Scalar kZoneColour(0, 140, 255);
const cv::Scalar kRectangleColour(60, 160, 0);
const cv::Scalar kLegendColour(40, 40, 40);

std::string corners(const geometry_msgs::msg::Polygon& polygon) {
  std::string text;
  for (const auto& point : polygon.points) {
    text += (text.empty() ? "" : " ") + formatPosition(point.x, point.y);
  }
  return text;
}

bool onMap(const nav_msgs::msg::OccupancyGrid& grid, double x, double y) {
  const double column = (x - grid.info.origin.position.x) / grid.info.resolution;
  const double row = (y - grid.info.origin.position.y) / grid.info.resolution;
  return column >= 0.0 && row >= 0.0 && column < grid.info.width && row < grid.info.height;
}

double area(const geometry_msgs::msg::Polygon& polygon) {
  double twice = 0.0;
  const auto& points = polygon.points;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& a = points[i];
    const auto& b = points[(i + 1) % points.size()];
    twice += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
  }
  return std::abs(twice) / 2.0;
}

// Whether b lies left of (positive), right of (negative) or on the line from o through a.
double turn(const geometry_msgs::msg::Point32& o, const geometry_msgs::msg::Point32& a,
            const geometry_msgs::msg::Point32& b) {
  return (static_cast<double>(a.x) - o.x) * (static_cast<double>(b.y) - o.y) -
         (static_cast<double>(a.y) - o.y) * (static_cast<double>(b.x) - o.x);
}

// Whether the closed segments pq and rs meet.
bool segmentsMeet(const geometry_msgs::msg::Point32& p, const geometry_msgs::msg::Point32& q,
                  const geometry_msgs::msg::Point32& r, const geometry_msgs::msg::Point32& s) {
  const double d1 = turn(r, s, p);
  const double d2 = turn(r, s, q);
  const double d3 = turn(p, q, r);
  const double d4 = turn(p, q, s);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
    return true;
  }
  auto within = [](const geometry_msgs::msg::Point32& a, const geometry_msgs::msg::Point32& b,
                   const geometry_msgs::msg::Point32& c) {
    return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
           c.y <= std::max(a.y, b.y);
  };
  return (d1 == 0 && within(r, s, p)) || (d2 == 0 && within(r, s, q)) ||
         (d3 == 0 && within(p, q, r)) || (d4 == 0 && within(p, q, s));
}

// Whether every corner lies within `slack` metres of the line through the first corner and the
// corner farthest from it.
bool onOneLine(const geometry_msgs::msg::Polygon& polygon, double slack) {
  const auto& points = polygon.points;
  const auto& first = points.front();
  auto far = first;
  double length = 0.0;
  for (const auto& point : points) {
    const double d = std::hypot(point.x - first.x, point.y - first.y);
    if (d > length) {
      length = d;
      far = point;
    }
  }
  if (length <= slack) {
    return true;
  }
  return std::all_of(points.begin(), points.end(), [&](const auto& point) {
    return std::abs(turn(first, far, point)) / length <= slack;
  });
}

// Whether two edges that do not follow each other meet: a zone drawn as a bow tie.
bool crossesItself(const geometry_msgs::msg::Polygon& polygon) {
  const auto& points = polygon.points;
  const size_t n = points.size();
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) {
        continue;
      }
      if (segmentsMeet(points[i], points[(i + 1) % n], points[j], points[(j + 1) % n])) {
        return true;
      }
    }
  }
  return false;
}

// Free cells of the grid inside the zone, the zone filled as the node fills it.
int freeCellsIn(const nav_msgs::msg::OccupancyGrid& grid, const geometry_msgs::msg::Polygon& zone) {
  const auto& info = grid.info;
  std::vector<cv::Point> outline;
  for (const auto& point : zone.points) {
    outline.emplace_back(static_cast<int>((point.x - info.origin.position.x) / info.resolution),
                         static_cast<int>((point.y - info.origin.position.y) / info.resolution));
  }
  cv::Mat inside =
      cv::Mat::zeros(static_cast<int>(info.height), static_cast<int>(info.width), CV_8UC1);
  cv::fillPoly(inside, std::vector<std::vector<cv::Point>>{outline}, cv::Scalar(255));
  int free = 0;
  for (int row = 0; row < inside.rows; ++row) {
    for (int column = 0; column < inside.cols; ++column) {
      const int8_t value = grid.data[static_cast<size_t>(row) * info.width + column];
      if (inside.at<uint8_t>(row, column) != 0 && value >= 0 && value < kOccupied) {
        ++free;
      }
    }
  }
  return free;
}

geometry_msgs::msg::Polygon toPolygon(const std::vector<MapPoint>& points) {
  geometry_msgs::msg::Polygon polygon;
  for (const MapPoint& point : points) {
    geometry_msgs::msg::Point32 corner;
    corner.x = static_cast<float>(point.x);
    corner.y = static_cast<float>(point.y);
    polygon.points.push_back(corner);
  }
  return polygon;
}

Pose2 centreOf(const geometry_msgs::msg::Polygon& polygon) {
  Pose2 centre;
  for (const auto& point : polygon.points) {
    centre.x += point.x / static_cast<double>(polygon.points.size());
    centre.y += point.y / static_cast<double>(polygon.points.size());
  }
  return centre;
}

// Map-frame metres to pixels of a picture drawn by drawPlans (north up, whole cells scaled).
cv::Point pixel(const nav_msgs::msg::OccupancyGrid& grid, int scale, double x, double y) {
  const double column = (x - grid.info.origin.position.x) / grid.info.resolution;
  const double row = grid.info.height - (y - grid.info.origin.position.y) / grid.info.resolution;
  return cv::Point(static_cast<int>(std::lround(column * scale)),
                   static_cast<int>(std::lround(row * scale)));
}

void drawOutline(cv::Mat& picture, const nav_msgs::msg::OccupancyGrid& grid, int scale,
                 const geometry_msgs::msg::Polygon& polygon, const cv::Scalar& colour) {
  std::vector<cv::Point> outline;
  for (const auto& point : polygon.points) {
    outline.push_back(pixel(grid, scale, point.x, point.y));
  }
  cv::polylines(picture, outline, true, colour, std::max(1, scale / 2), cv::LINE_AA);
}

// A strip below the map naming what is drawn, each entry in its colour.
cv::Mat withLegend(const cv::Mat& picture, bool with_rectangle) {
  constexpr int kStrip = 28;
  constexpr double kFontScale = 0.5;
  cv::Mat framed;
  cv::copyMakeBorder(picture, framed, 0, kStrip, 0, 0, cv::BORDER_CONSTANT,
                     cv::Scalar(255, 255, 255));
  std::vector<std::pair<std::string, cv::Scalar>> entries{{"zone", kZoneColour}};
  if (with_rectangle) {
    entries.emplace_back("largest free rectangle", kRectangleColour);
  }
  entries.emplace_back("path: near corner green, end point red; robot: large green dot",
                       kLegendColour);
  int left = 10;
  for (const auto& [text, colour] : entries) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, kFontScale, 1, &baseline);
    cv::putText(framed, text, cv::Point(left, picture.rows + (kStrip + size.height) / 2),
                cv::FONT_HERSHEY_SIMPLEX, kFontScale, colour, 1, cv::LINE_AA);
    left += size.width + 30;
  }
  return framed;
}

void reportPath(std::ostream& out, const UptakeAnswer& answer) {
  char line[160];
  std::snprintf(line, sizeof(line), "answer: %zu poses in %.1f ms\n", answer.path.size(),
                answer.milliseconds);
  out << line;
  for (size_t i = 0; i < answer.path.size(); ++i) {
    const auto& pose = answer.path[i].pose;
    // The service carries each heading in orientation.z, in radians.
    std::snprintf(line, sizeof(line), "  pose %zu: %s heading %.2f rad\n", i + 1,
                  formatPosition(pose.position.x, pose.position.y).c_str(), pose.orientation.z);
    out << line;
  }
  if (answer.rectangle && answer.rectangle->points.size() == 4) {
    const auto& p = answer.rectangle->points;
    std::snprintf(line, sizeof(line), ", %.2f m x %.2f m\n",
                  std::hypot(p[1].x - p[0].x, p[1].y - p[0].y),
                  std::hypot(p[2].x - p[1].x, p[2].y - p[1].y));
    out << "largest free rectangle: " << corners(*answer.rectangle) << line;
  }
}

// What a costmap node publishes of its master costmap, read through the costmap's getters.
nav2_msgs::msg::Costmap costmapMessage(nav2_costmap_2d::Costmap2D& costmap,
                                       const std::string& frame) {
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap.getMutex());
  nav2_msgs::msg::Costmap message;
  message.header.frame_id = frame;
  message.metadata.layer = "master";
  message.metadata.resolution = static_cast<float>(costmap.getResolution());
  message.metadata.size_x = costmap.getSizeInCellsX();
  message.metadata.size_y = costmap.getSizeInCellsY();
  message.metadata.origin.position.x = costmap.getOriginX();
  message.metadata.origin.position.y = costmap.getOriginY();
  message.metadata.origin.orientation.w = 1.0;
  const unsigned char* cells = costmap.getCharMap();
  message.data.assign(
      cells, cells + static_cast<size_t>(message.metadata.size_x) * message.metadata.size_y);
  return message;
}

// Why an answer holds no path, told by what the node published while serving it.
std::string whyNoPath(const UptakeAnswer& answer) {
  if (!answer.rectangle) {
    return "too little of the zone is free once the node keeps clear of walls, furniture and "
           "unmapped space";
  }
  return "the node could not find where the robot stands";
}

}  // namespace

WaterUptakeHost::WaterUptakeHost(const nav_msgs::msg::OccupancyGrid& grid,
                                 const rclcpp::NodeOptions& options) {
  host_ = std::make_shared<rclcpp::Node>("demo_water_host");
  costmap_pub_ = host_->create_publisher<nav2_msgs::msg::Costmap>(
      kCostmapTopic, rclcpp::QoS(rclcpp::KeepLast(1)).transient_local().reliable());
  costmap_pub_->publish(costmapOf(grid));
  broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(host_);
  zone_sub_ = host_->create_subscription<geometry_msgs::msg::PolygonStamped>(
      kZoneTopic, rclcpp::QoS(10),
      [this](std::shared_ptr<const geometry_msgs::msg::PolygonStamped> msg) {
        latest_.zone = msg->polygon;
      });
  rectangle_sub_ = host_->create_subscription<geometry_msgs::msg::PolygonStamped>(
      kRectangleTopic, rclcpp::QoS(10),
      [this](std::shared_ptr<const geometry_msgs::msg::PolygonStamped> msg) {
        latest_.rectangle = msg->polygon;
      });
  points_sub_ = host_->create_subscription<visualization_msgs::msg::Marker>(
      kPointsTopic, rclcpp::QoS(10),
      [this](std::shared_ptr<const visualization_msgs::msg::Marker> msg) {
        latest_.points = *msg;
      });

  node_ = std::make_shared<planning::custom_planning::CustomPlanningServer>(options);
  executor_.add_node(host_);
  executor_.add_node(node_->get_node_base_interface());
  try {
    planning_sim::bringUp(*node_);
    const std::string service = node_->get_parameter(kServiceParameter).as_string();
    client_ = host_->create_client<WaterUptakePath>(service);
    if (!client_->wait_for_service(kServerPatience)) {
      throw std::runtime_error("the service \"" + service + "\" did not appear");
    }
    // The node takes in the costmap that waited for its subscription.
    executor_.spin_some();
  } catch (...) {
    executor_.remove_node(node_->get_node_base_interface());
    executor_.remove_node(host_);
    throw;
  }
}

WaterUptakeHost::~WaterUptakeHost() {
  executor_.remove_node(node_->get_node_base_interface());
  executor_.remove_node(host_);
}

void WaterUptakeHost::placeRobot(const Pose2& pose) {
  broadcaster_->sendTransform(
      planning_sim::robotTransform("map", "base_footprint", toPose2D(pose), host_->now()));
}

UptakeAnswer WaterUptakeHost::request(const geometry_msgs::msg::Polygon& zone,
                                      std::chrono::seconds patience) {
  latest_ = UptakeAnswer();
  auto request = std::make_shared<WaterUptakePath::Request>();
  request->zone_polygons = {zone};
  const auto sent_at = std::chrono::steady_clock::now();
  auto pending = client_->async_send_request(request);
  if (executor_.spin_until_future_complete(pending.future, patience) !=
      rclcpp::FutureReturnCode::SUCCESS) {
    return latest_;
  }
  latest_.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent_at).count();
  latest_.answered = true;
  latest_.path = pending.future.get()->path;
  // The node published the zone, rectangle and points before it answered.
  executor_.spin_some();
  return latest_;
}

nav2_msgs::msg::Costmap costmapOf(const nav_msgs::msg::OccupancyGrid& grid) {
  const auto& info = grid.info;
  nav2_costmap_2d::Costmap2D costmap(info.width, info.height, info.resolution,
                                     info.origin.position.x, info.origin.position.y);
  for (unsigned int my = 0; my < info.height; ++my) {
    for (unsigned int mx = 0; mx < info.width; ++mx) {
      const int8_t value = grid.data[static_cast<size_t>(my) * info.width + mx];
      costmap.setCost(mx, my,
                      value < 0            ? nav2_costmap_2d::NO_INFORMATION
                      : value >= kOccupied ? nav2_costmap_2d::LETHAL_OBSTACLE
                                           : nav2_costmap_2d::FREE_SPACE);
    }
  }
  return costmapMessage(costmap, grid.header.frame_id);
}

geometry_msgs::msg::Polygon plannedZone(const DemoOptions& options, const DemoMap& map) {
  if (options.zone.empty() && !options.map_yaml.empty()) {
    throw InputError("give the zone of " + options.map_yaml + " with --zone");
  }
  const geometry_msgs::msg::Polygon zone =
      toPolygon(options.zone.empty() ? kOfficeB : options.zone);
  if (zone.points.size() < 3) {
    throw InputError("a zone needs at least three corners");
  }
  const auto& info = map.grid.info;
  for (size_t i = 0; i < zone.points.size(); ++i) {
    const auto& point = zone.points[i];
    if (!onMap(map.grid, point.x, point.y)) {
      const double x0 = info.origin.position.x;
      const double y0 = info.origin.position.y;
      throw InputError(
          "zone corner " + std::to_string(i + 1) + " " + formatPosition(point.x, point.y) +
          " lies off the map, which spans " + formatPosition(x0, y0) + " to " +
          formatPosition(x0 + info.width * info.resolution, y0 + info.height * info.resolution));
    }
  }
  if (onOneLine(zone, info.resolution / 2.0)) {
    throw InputError("the zone encloses no area: its corners lie on one line");
  }
  if (crossesItself(zone)) {
    throw InputError("the zone " + corners(zone) +
                     " crosses itself: give its corners in order around it");
  }
  if (area(zone) < info.resolution * info.resolution) {
    throw InputError("the zone " + corners(zone) + " encloses less than one cell");
  }
  if (freeCellsIn(map.grid, zone) == 0) {
    throw InputError("the zone " + corners(zone) +
                     " holds no free cell: it covers only walls, furniture or unmapped space");
  }
  return zone;
}

cv::Mat drawUptake(const nav_msgs::msg::OccupancyGrid& grid,
                   const geometry_msgs::msg::Polygon& zone, const Pose2& robot,
                   const UptakeAnswer& answer) {
  DrawnLeg leg;
  leg.start = robot;
  leg.succeeded = !answer.path.empty();
  if (leg.succeeded) {
    // The poses only: how the robot gets to the first one is the global planner's business.
    std::vector<cv::Point2d> path;
    for (const auto& pose : answer.path) {
      path.emplace_back(pose.pose.position.x, pose.pose.position.y);
    }
    leg.paths.push_back(path);
    leg.goal = {path.back().x, path.back().y, 0.0};
  } else {
    leg.goal = centreOf(zone);
  }
  cv::Mat picture = drawPlans(grid, {leg});

  const int scale = picture.cols / std::max(1, static_cast<int>(grid.info.width));
  drawOutline(picture, grid, scale, zone, kZoneColour);
  if (answer.rectangle) {
    drawOutline(picture, grid, scale, *answer.rectangle, kRectangleColour);
  }
  if (answer.points) {
    const auto& marker = *answer.points;
    for (size_t i = 0; i < marker.points.size(); ++i) {
      const cv::Scalar colour = i < marker.colors.size() ? cv::Scalar(255.0 * marker.colors[i].b,
                                                                      255.0 * marker.colors[i].g,
                                                                      255.0 * marker.colors[i].r)
                                                         : kLegendColour;
      cv::circle(picture, pixel(grid, scale, marker.points[i].x, marker.points[i].y), 2 * scale,
                 colour, cv::FILLED, cv::LINE_AA);
    }
  }
  return withLegend(picture, answer.rectangle.has_value());
}

int runWaterScenario(const DemoOptions& options, std::ostream& out) {
  checkPictureFile(options.output);
  const DemoMap map = loadDemoMap(options.map_yaml);
  const geometry_msgs::msg::Polygon zone = plannedZone(options, map);
  const Pose2 robot = options.start ? *options.start : kOfficeBDoor;
  checkPosition(map.grid, robot, "robot");

  out << "Water uptake on " << map.description << "\n";
  out << (options.zone.empty() ? "zone office B: " : "zone: ") << corners(zone) << "\n";
  out << "robot at " << formatPosition(robot.x, robot.y) << "\n";
  WaterUptakeHost host(map.grid, planning_sim::nodeOptionsWith(planning_sim::PlanningNode::kCustom,
                                                               options.node_parameters));
  host.placeRobot(robot);
  const UptakeAnswer answer = host.request(zone, kAnswerPatience);
  if (!answer.answered) {
    throw std::runtime_error("the water-uptake service did not answer");
  }
  if (answer.path.empty() && !answer.zone) {
    throw std::runtime_error("the custom planning node had no costmap to read the zone on");
  }
  reportPath(out, answer);
  if (answer.path.empty()) {
    out << "no path: " << whyNoPath(answer) << "\n";
  }

  writePicture(options.output, drawUptake(map.grid, zone, robot, answer));
  std::error_code ignored;
  const auto written = std::filesystem::absolute(options.output, ignored);
  out << "picture written to " << (written.empty() ? options.output : written.string()) << "\n";
  return answer.path.empty() ? kPlanFailed : kAllPlansSucceeded;
}

}  // namespace demo
