#include "planning/custom_planning/water_uptake_path_server.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <string>
#include <thread>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_msgs/msg/costmap.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/log_capture.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_testing/transforms.hpp"
#include "water_uptake_path_server_probe.hpp"

namespace {

using geometry_msgs::msg::Point32;
using geometry_msgs::msg::Polygon;
using geometry_msgs::msg::PolygonStamped;
using geometry_msgs::msg::PoseStamped;
using planning::custom_planning::WaterUptakePathServer;
using planning::custom_planning::testing::WaterUptakePathServerProbe;
using visualization_msgs::msg::Marker;
using WaterUptakePath = vantrell_protocol::srv::WaterUptakePath;

constexpr double kPi = 3.141592653589793;
constexpr auto kPatience = std::chrono::seconds(30);

Polygon polygon(const std::vector<std::pair<double, double>>& points) {
  Polygon p;
  for (const auto& [x, y] : points) {
    Point32 point;
    point.x = static_cast<float>(x);
    point.y = static_cast<float>(y);
    p.points.push_back(point);
  }
  return p;
}

Polygon square(double x0, double y0, double x1, double y1) {
  return polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// A costmap message of size_x x size_y cells at 5 cm, free unless painted.
struct Grid {
  unsigned int size_x;
  unsigned int size_y;
  double resolution{0.05};
  std::vector<uint8_t> cost = std::vector<uint8_t>(size_x * size_y, 0);

  // Cells whose centre lies in [x0, x1) x [y0, y1) metres get `value`.
  void paint(double x0, double y0, double x1, double y1, uint8_t value) {
    for (unsigned int my = 0; my < size_y; ++my) {
      for (unsigned int mx = 0; mx < size_x; ++mx) {
        const double x = (mx + 0.5) * resolution;
        const double y = (my + 0.5) * resolution;
        if (x >= x0 && x < x1 && y >= y0 && y < y1) {
          cost[my * size_x + mx] = value;
        }
      }
    }
  }

  nav2_msgs::msg::Costmap message() const {
    nav2_msgs::msg::Costmap msg;
    msg.header.frame_id = "map";
    msg.metadata.resolution = static_cast<float>(resolution);
    msg.metadata.size_x = size_x;
    msg.metadata.size_y = size_y;
    msg.metadata.origin.orientation.w = 1.0;
    msg.data = cost;
    return msg;
  }
};

double headingOf(const PoseStamped& p) { return p.pose.orientation.z; }

double wrap(double angle) {
  while (angle > kPi) {
    angle -= 2.0 * kPi;
  }
  while (angle <= -kPi) {
    angle += 2.0 * kPi;
  }
  return angle;
}

class WaterUptakeServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // OpenCV's worker threads come from a library the thread sanitizer cannot
    // see into; the image work runs on the calling thread instead.
    cv::setNumThreads(0);
    rclcpp::init(0, nullptr);
  }
  static void TearDownTestSuite() { rclcpp::shutdown(); }

  void SetUp() override {
    log_ = test_support::clearedLog();
    static int test_number = 0;
    ++test_number;
    topic_ = "/water_uptake_test_costmap_" + std::to_string(test_number);
    helper_ = rclcpp::Node::make_shared("water_uptake_helper_" + std::to_string(test_number));
    costmap_pub_ = helper_->create_publisher<nav2_msgs::msg::Costmap>(
        topic_, rclcpp::QoS(rclcpp::KeepLast(1)).transient_local().reliable());
    zone_sub_ = helper_->create_subscription<PolygonStamped>(
        "vantrell_nav2_custom_planning/zone", rclcpp::QoS(10),
        [this](std::shared_ptr<const PolygonStamped> m) { zones_.push_back(*m); });
    rect_sub_ = helper_->create_subscription<PolygonStamped>(
        "vantrell_nav2_custom_planning/max_rect", rclcpp::QoS(10),
        [this](std::shared_ptr<const PolygonStamped> m) { rects_.push_back(*m); });
    points_sub_ = helper_->create_subscription<Marker>(
        "vantrell_nav2_custom_planning/water_points", rclcpp::QoS(10),
        [this](std::shared_ptr<const Marker> m) { markers_.push_back(*m); });
    executor_.add_node(helper_);
  }

  void TearDown() override {
    if (node_) {
      executor_.remove_node(node_->get_node_base_interface());
    }
    executor_.remove_node(helper_);
    probe_.reset();
    server_.reset();
    node_.reset();
  }

  void startServer(std::vector<rclcpp::Parameter> overrides = {}) {
    overrides.emplace_back("water_uptake_path_server.topic_name", topic_);
    rclcpp::NodeOptions options;
    options.parameter_overrides(overrides);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("water_uptake_test", options);
    server_ = WaterUptakePathServer::create(node_);
    probe_ = std::make_unique<WaterUptakePathServerProbe>(*server_);
    executor_.add_node(node_->get_node_base_interface());
    client_ = helper_->create_client<WaterUptakePath>(
        node_->get_parameter("water_uptake_path_server.water_uptake_service_name").as_string());
  }

  void publishCostmap(const Grid& grid) {
    costmap_pub_->publish(grid.message());
    const std::pair<unsigned int, unsigned int> size{grid.size_x, grid.size_y};
    // Until the server has taken this costmap in.
    for (int i = 0; i < 3000 && probe_->costmapSize() != size; ++i) {
      executor_.spin_once(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(probe_->costmapSize(), size);
  }

  void placeRobot(double x, double y) {
    if (!broadcaster_) {
      broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(helper_);
    }
    broadcaster_->sendTransform(tf2_testing::makeTransform("map", "base_footprint", x, y, 0.0));
    ASSERT_TRUE(probe_->tfBuffer().canTransform("map", "base_footprint", tf2::TimePointZero,
                                                tf2::durationFromSec(30.0)));
    const auto t = probe_->tfBuffer().lookupTransform("map", "base_footprint", tf2::TimePointZero);
    ASSERT_NEAR(t.transform.translation.x, x, 1e-9);
  }

  std::vector<PoseStamped> call(const std::vector<Polygon>& zones) {
    auto request = std::make_shared<WaterUptakePath::Request>();
    request->zone_polygons = zones;
    auto pending = client_->async_send_request(request);
    EXPECT_EQ(executor_.spin_until_future_complete(pending.future, kPatience),
              rclcpp::FutureReturnCode::SUCCESS);
    // The debug messages went out before the answer.
    executor_.spin_some();
    return pending.future.get()->path;
  }

  int logged(const std::string& text) const {
    const auto texts = log_->texts();
    return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) {
      return t.find(text) != std::string::npos;
    }));
  }

  // The rectangle published by the last successful request, in metres.
  std::vector<std::pair<double, double>> lastRect() const {
    std::vector<std::pair<double, double>> corners;
    for (const auto& p : rects_.back().polygon.points) {
      corners.emplace_back(p.x, p.y);
    }
    return corners;
  }

  std::shared_ptr<test_support::CaptureSink> log_;
  std::string topic_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  rclcpp::Node::SharedPtr helper_;
  std::shared_ptr<rclcpp::Publisher<nav2_msgs::msg::Costmap>> costmap_pub_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  std::shared_ptr<rclcpp::Subscription<PolygonStamped>> zone_sub_;
  std::shared_ptr<rclcpp::Subscription<PolygonStamped>> rect_sub_;
  std::shared_ptr<rclcpp::Subscription<Marker>> points_sub_;
  std::vector<PolygonStamped> zones_;
  std::vector<PolygonStamped> rects_;
  std::vector<Marker> markers_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<WaterUptakePathServer> server_;
  std::unique_ptr<WaterUptakePathServerProbe> probe_;
  rclcpp::Client<WaterUptakePath>::SharedPtr client_;
};

// ---------------------------------------------------------------- answers

TEST_F(WaterUptakeServiceTest, AnswersFivePosesAlongTheDiagonalOfAFreeZone) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  const Polygon zone = square(2.0, 2.0, 8.0, 8.0);
  const auto path = call({zone});
  ASSERT_EQ(path.size(), 5u);

  // Near corner: the zone's corner by the robot, 8 cells (0.4 m) in.
  const auto& near = path[0].pose.position;
  EXPECT_NEAR(near.x, 2.45, 0.2);
  EXPECT_NEAR(near.y, 2.45, 0.2);
  EXPECT_NEAR(headingOf(path[0]), std::atan2(near.y - 1.0, near.x - 1.0), 1e-9);

  // The diagonal runs at about 45 degrees and is longer than 5 m: E lies 5 m out.
  const double theta = headingOf(path[1]);
  EXPECT_NEAR(theta, kPi / 4, 0.05);
  EXPECT_NEAR(std::hypot(path[1].pose.position.x - near.x, path[1].pose.position.y - near.y), 5.0,
              1e-6);
  EXPECT_NEAR(path[2].pose.position.x, path[1].pose.position.x + 0.5 * std::cos(theta), 1e-6);
  EXPECT_NEAR(path[2].pose.position.y, path[1].pose.position.y + 0.5 * std::sin(theta), 1e-6);
  EXPECT_NEAR(headingOf(path[3]), wrap(theta + kPi / 2), 1e-9);
  EXPECT_NEAR(headingOf(path[4]), wrap(theta + kPi / 2 + kPi), 1e-9);
  EXPECT_NEAR(std::hypot(path[4].pose.position.x - path[3].pose.position.x,
                         path[4].pose.position.y - path[3].pose.position.y),
              1.2, 1e-6);

  for (const auto& pose : path) {
    EXPECT_EQ(pose.header.frame_id, "");
    EXPECT_EQ(pose.header.stamp.sec, 0);
    EXPECT_EQ(pose.header.stamp.nanosec, 0u);
    EXPECT_EQ(pose.pose.position.z, 0.0);
    EXPECT_EQ(pose.pose.orientation.w, 1.0);
    EXPECT_GT(pose.pose.position.x, 2.0);
    EXPECT_LT(pose.pose.position.x, 8.0);
    EXPECT_GT(pose.pose.position.y, 2.0);
    EXPECT_LT(pose.pose.position.y, 8.0);
  }
  EXPECT_EQ(logged("zone_polygons_ points size is 4"), 1);
  EXPECT_EQ(logged("[WaterUptakePathServer] getPostTaskPath use time is"), 1);
  EXPECT_EQ(logged("water_uptake mode 2: two points"), 1);
}

TEST_F(WaterUptakeServiceTest, PublishesZoneRectangleAndPointsWhileInactive) {
  startServer();
  ASSERT_EQ(node_->get_current_state().label(), "unconfigured");
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  const Polygon zone = square(2.0, 2.0, 8.0, 8.0);
  const auto path = call({zone});
  ASSERT_EQ(path.size(), 5u);

  ASSERT_EQ(zones_.size(), 1u);
  EXPECT_EQ(zones_[0].header.frame_id, "map");
  EXPECT_EQ(zones_[0].header.stamp.sec, 0);
  EXPECT_EQ(zones_[0].polygon, zone);

  ASSERT_EQ(rects_.size(), 1u);
  EXPECT_EQ(rects_[0].header.frame_id, "map");
  ASSERT_EQ(rects_[0].polygon.points.size(), 4u);
  for (const auto& [x, y] : lastRect()) {
    EXPECT_GE(x, 2.3);
    EXPECT_LE(x, 7.7);
    EXPECT_GE(y, 2.3);
    EXPECT_LE(y, 7.7);
  }
  // Most of the eroded zone (5.2 m square) is covered.
  const auto r = lastRect();
  const double side_a = std::hypot(r[1].first - r[0].first, r[1].second - r[0].second);
  const double side_b = std::hypot(r[2].first - r[1].first, r[2].second - r[1].second);
  EXPECT_GT(side_a * side_b, 0.85 * 5.2 * 5.2);

  ASSERT_EQ(markers_.size(), 1u);
  const Marker& marker = markers_[0];
  EXPECT_EQ(marker.header.frame_id, "map");
  EXPECT_EQ(marker.ns, "multi_points");
  EXPECT_EQ(marker.id, 0);
  EXPECT_EQ(marker.type, Marker::POINTS);
  EXPECT_EQ(marker.action, Marker::ADD);
  EXPECT_EQ(marker.scale.x, 0.1);
  EXPECT_EQ(marker.scale.y, 0.1);
  ASSERT_EQ(marker.points.size(), 5u);
  ASSERT_EQ(marker.colors.size(), 5u);
  EXPECT_EQ(marker.colors[0].g, 1.0f);
  EXPECT_EQ(marker.colors[0].r, 0.0f);
  EXPECT_EQ(marker.colors[1].r, 1.0f);
  EXPECT_EQ(marker.colors[1].g, 0.0f);
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(marker.colors[i].b, 1.0f);
    EXPECT_EQ(marker.colors[i].a, 1.0f);
  }
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(marker.points[i].x, path[i].pose.position.x);
    EXPECT_EQ(marker.points[i].y, path[i].pose.position.y);
  }
}

TEST_F(WaterUptakeServiceTest, RectangleAvoidsObstaclesInTheZone) {
  startServer();
  Grid grid{200, 200};
  grid.paint(2.0, 5.0, 8.0, 8.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  grid.paint(6.0, 2.0, 8.0, 5.0, nav2_costmap_2d::NO_INFORMATION);
  grid.paint(5.5, 2.0, 6.0, 5.0, 100);  // inflated cost is not free either
  publishCostmap(grid);
  placeRobot(1.0, 1.0);
  const auto path = call({square(2.0, 2.0, 8.0, 8.0)});
  ASSERT_EQ(path.size(), 5u);
  // Inside the free area, clear of the wall, the unknown and the inflated cells.
  for (const auto& [x, y] : lastRect()) {
    EXPECT_LE(y, 5.0 - 0.1);
    EXPECT_LE(x, 5.5 - 0.1);
  }
  // The diagonal of a 2.7 m x 2.2 m rectangle is shorter than 5 m: E stops 0.5 m short.
  const auto& p0 = path[0].pose.position;
  const double diagonal = std::hypot(2.7, 2.2);
  EXPECT_NEAR(std::hypot(path[1].pose.position.x - p0.x, path[1].pose.position.y - p0.y),
              diagonal - 0.5, 0.35);
}

TEST_F(WaterUptakeServiceTest, TiltedZoneGetsATiltedRectangle) {
  startServer();
  Grid grid{200, 200};
  publishCostmap(grid);
  placeRobot(5.0, 0.5);
  // A 6 m x 2 m strip turned by 30 degrees about (5, 5).
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  std::vector<std::pair<double, double>> corners;
  for (const auto& [u, v] :
       std::vector<std::pair<double, double>>{{-3, -1}, {3, -1}, {3, 1}, {-3, 1}}) {
    corners.emplace_back(5.0 + c * u - s * v, 5.0 + s * u + c * v);
  }
  const auto path = call({polygon(corners)});
  ASSERT_EQ(path.size(), 5u);
  const auto r = lastRect();
  const double side_a = std::hypot(r[1].first - r[0].first, r[1].second - r[0].second);
  const double side_b = std::hypot(r[2].first - r[1].first, r[2].second - r[1].second);
  // The square erosion takes 8 cells x (cos 30 + sin 30) = 0.55 m off each tilted side:
  // about 4.9 m x 0.9 m are left. An upright rectangle would hold well under half of it.
  EXPECT_GT(side_a * side_b, 0.8 * 4.9 * 0.9);
  // The long side runs along the strip.
  const double along = side_a > side_b
                           ? std::atan2(r[1].second - r[0].second, r[1].first - r[0].first)
                           : std::atan2(r[2].second - r[1].second, r[2].first - r[1].first);
  EXPECT_NEAR(std::abs(std::sin(along - kPi / 6)), 0.0, 0.08);
}

TEST_F(WaterUptakeServiceTest, ZoneAtTheMapEdgeStaysOnTheMap) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(6.0, 6.0);
  // A diamond whose corners touch the map's edges; its free area is not eroded there.
  const auto path = call({polygon({{0.0, 2.5}, {2.5, 0.0}, {5.0, 2.5}, {2.5, 5.0}})});
  ASSERT_EQ(path.size(), 5u);
  for (const auto& [x, y] : lastRect()) {
    EXPECT_GE(x, 0.0);
    EXPECT_GE(y, 0.0);
    EXPECT_LE(x, 10.0);
    EXPECT_LE(y, 10.0);
  }
  for (const auto& pose : path) {
    EXPECT_GT(pose.pose.position.x, -2.0);
    EXPECT_GT(pose.pose.position.y, -2.0);
    EXPECT_LT(pose.pose.position.x, 12.0);
    EXPECT_LT(pose.pose.position.y, 12.0);
  }

  // A square in the map corner reaches the edge cells: the border does not erode.
  const auto corner = call({square(0.0, 0.0, 3.0, 3.0)});
  ASSERT_EQ(corner.size(), 5u);
  double min_x = 1e9, min_y = 1e9;
  for (const auto& [x, y] : lastRect()) {
    min_x = std::min(min_x, x);
    min_y = std::min(min_y, y);
  }
  EXPECT_LT(min_x, 0.2);
  EXPECT_LT(min_y, 0.2);
}

TEST_F(WaterUptakeServiceTest, RectangleOverhangingTheMapEdgeIsClampedOntoIt) {
  startServer();
  // A free strip turned by -44 degrees and cut off by the map's left edge: its
  // largest rectangle, turned back, overhangs the edge by a cell or two.
  cv::Mat strip = cv::Mat::zeros(120, 120, CV_8UC1);
  cv::Point2f c[4];
  cv::RotatedRect({32.0f, 60.0f}, {90.0f, 50.0f}, -44.0f).points(c);
  std::vector<cv::Point> outline;
  for (const auto& p : c) {
    outline.emplace_back(cvRound(p.x), cvRound(p.y));
  }
  cv::fillConvexPoly(strip, outline, cv::Scalar(255));
  Grid grid{120, 120};
  for (int my = 0; my < 120; ++my) {
    for (int mx = 0; mx < 120; ++mx) {
      grid.cost[my * 120 + mx] = strip.at<unsigned char>(my, mx) ? 0 : 254;
    }
  }
  publishCostmap(grid);
  placeRobot(3.0, 3.0);
  const auto path = call({square(0.0, 0.0, 5.97, 5.97)});
  ASSERT_EQ(path.size(), 5u);
  ASSERT_EQ(rects_.size(), 1u);
  double min_x = 1e9;
  for (const auto& [x, y] : lastRect()) {
    EXPECT_GE(x, 0.0);
    EXPECT_GE(y, 0.0);
    EXPECT_LT(x, 6.0);
    EXPECT_LT(y, 6.0);
    min_x = std::min(min_x, x);
  }
  // The overhanging corner sits on the first column of cells.
  EXPECT_NEAR(min_x, 0.025, 1e-6);
  for (const auto& pose : path) {
    EXPECT_GT(pose.pose.position.x, -2.0);
    EXPECT_LT(pose.pose.position.x, 8.0);
    EXPECT_GT(pose.pose.position.y, -2.0);
    EXPECT_LT(pose.pose.position.y, 8.0);
  }
}

TEST_F(WaterUptakeServiceTest, OnlyTheFirstPolygonCountsAndNothingLeaksBetweenRequests) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(5.0, 5.0);
  const auto first = call({square(1.0, 1.0, 4.0, 4.0), square(6.0, 6.0, 9.0, 9.0)});
  ASSERT_EQ(first.size(), 5u);
  for (const auto& [x, y] : lastRect()) {
    EXPECT_LT(x, 4.0);
    EXPECT_LT(y, 4.0);
  }
  const unsigned char* images = probe_->freeMap().data;
  const auto second = call({square(6.0, 6.0, 9.0, 9.0)});
  // Same costmap size: the images are cleared and reused, not reallocated.
  EXPECT_EQ(probe_->freeMap().data, images);
  ASSERT_EQ(second.size(), 5u);
  for (const auto& [x, y] : lastRect()) {
    EXPECT_GT(x, 6.0);
    EXPECT_GT(y, 6.0);
  }
}

TEST_F(WaterUptakeServiceTest, FollowsTheLatestCostmapOfAnySize) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(11.0, 1.0);
  EXPECT_TRUE(call({square(10.5, 0.5, 14.0, 4.0)}).empty());
  EXPECT_EQ(logged("[WaterUptakePathServer] getPostTaskPath worldToMap failed"), 1);

  EXPECT_EQ(probe_->freeMap().cols, 200);
  publishCostmap(Grid{300, 100});
  const auto path = call({square(10.5, 0.5, 14.0, 4.0)});
  ASSERT_EQ(path.size(), 5u);
  EXPECT_EQ(probe_->freeMap().cols, 300);
  EXPECT_EQ(probe_->freeMap().rows, 100);
}

TEST_F(WaterUptakeServiceTest, ErodeRadiusBelowOneCellIsServed) {
  startServer({rclcpp::Parameter("water_uptake_path_server.costmap_erode_radius", 0.01)});
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  EXPECT_EQ(call({square(2.0, 2.0, 5.0, 5.0)}).size(), 5u);
  EXPECT_EQ(logged(" costmap_erode_radius_ is :0.01"), 1);
}

// ---------------------------------------------------------------- failures

TEST_F(WaterUptakeServiceTest, RequestBeforeAnyCostmap) {
  startServer();
  placeRobot(1.0, 1.0);
  EXPECT_TRUE(call({square(2.0, 2.0, 8.0, 8.0)}).empty());
  EXPECT_EQ(logged("[WaterUptakePathServer] "), 1);
  EXPECT_EQ(logged("use time is"), 0);
  EXPECT_TRUE(zones_.empty());
}

TEST_F(WaterUptakeServiceTest, MissingZone) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  EXPECT_TRUE(call({}).empty());
  EXPECT_TRUE(call({Polygon(), square(2.0, 2.0, 8.0, 8.0)}).empty());
  EXPECT_EQ(logged("get goal_zone error, size is zero, error code is 101100010"), 2);
  EXPECT_EQ(logged("use time is"), 2);
  EXPECT_TRUE(zones_.empty());
}

TEST_F(WaterUptakeServiceTest, ZoneOfTwoPoints) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  EXPECT_TRUE(call({polygon({{2.0, 2.0}, {8.0, 8.0}})}).empty());
  EXPECT_EQ(zones_.size(), 1u);
  EXPECT_EQ(logged("zone_polygons_ points size is 2"), 1);
  EXPECT_EQ(logged("zone_polygons_ points must larger than 2"), 1);
  EXPECT_TRUE(rects_.empty());
}

TEST_F(WaterUptakeServiceTest, ZonePointsOffTheMap) {
  startServer();
  publishCostmap(Grid{200, 200});
  placeRobot(1.0, 1.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& zone : {polygon({{2.0, 2.0}, {12.0, 2.0}, {8.0, 8.0}}),
                           polygon({{-0.5, 2.0}, {8.0, 2.0}, {8.0, 8.0}}),
                           polygon({{2.0, 2.0}, {nan, 2.0}, {8.0, 8.0}}),
                           polygon({{2.0, 2.0}, {8.0, -inf}, {8.0, 8.0}})}) {
    EXPECT_TRUE(call({zone}).empty());
  }
  EXPECT_EQ(logged("[WaterUptakePathServer] getPostTaskPath worldToMap failed"), 4);
  EXPECT_TRUE(rects_.empty());
}

TEST_F(WaterUptakeServiceTest, NoFreeCellAfterErosion) {
  startServer();
  Grid grid{200, 200};
  grid.paint(0.0, 5.0, 10.0, 5.05, nav2_costmap_2d::LETHAL_OBSTACLE);
  publishCostmap(grid);
  placeRobot(1.0, 1.0);
  // At most 16 cells across: the 8-fold erosion leaves nothing.
  EXPECT_TRUE(call({square(2.0, 2.0, 2.7, 2.7)}).empty());
  // A wide zone cut by a wall into two strips of at most 16 cells.
  EXPECT_TRUE(call({square(2.0, 4.3, 8.0, 5.75)}).empty());
  EXPECT_EQ(logged("count non zero is 0"), 2);
  EXPECT_EQ(zones_.size(), 2u);
  EXPECT_TRUE(rects_.empty());
}

TEST_F(WaterUptakeServiceTest, NoRobotPose) {
  startServer();
  publishCostmap(Grid{200, 200});
  EXPECT_TRUE(call({square(2.0, 2.0, 8.0, 8.0)}).empty());
  EXPECT_EQ(logged("[WaterUptakePathServer] failed to get robot pose"), 1);
  // The rectangle went out before the pose was needed.
  EXPECT_EQ(rects_.size(), 1u);
  EXPECT_TRUE(markers_.empty());
}

// ---------------------------------------------------------------- set-up

TEST_F(WaterUptakeServiceTest, DeclaresAndLogsItsParameters) {
  startServer({rclcpp::Parameter("water_uptake_path_server.task_finish_path_len", 6.5)});
  EXPECT_EQ(node_->get_parameter("water_uptake_path_server.task_finish_path_len").as_double(), 6.5);
  EXPECT_EQ(node_->get_parameter("water_uptake_path_server.repeat_move_dis").as_double(), 5.0);
  EXPECT_EQ(node_->get_parameter("water_uptake_path_server.cur_uptake_pos_offest").as_double(),
            -0.5);
  EXPECT_EQ(node_->get_parameter("water_uptake_path_server.visualize_debug").as_bool(), false);
  EXPECT_EQ(node_->get_parameter("water_uptake_path_server.water_uptake_service_name").as_string(),
            "/vantrell_nav2_custom_planning/WaterUptakePath");
  EXPECT_EQ(logged(" task_finish_path_len_ is :6.5"), 1);
  EXPECT_EQ(logged(" visualize_debug_ is :false"), 1);
  EXPECT_EQ(
      logged(" water_uptake_service_name_ is :/vantrell_nav2_custom_planning/WaterUptakePath"), 1);
}

TEST_F(WaterUptakeServiceTest, ServesUnderTheConfiguredName) {
  startServer({rclcpp::Parameter("water_uptake_path_server.water_uptake_service_name",
                                 std::string("/elsewhere/uptake"))});
  EXPECT_TRUE(client_->wait_for_service(std::chrono::seconds(5)));
  auto other =
      helper_->create_client<WaterUptakePath>("/vantrell_nav2_custom_planning/WaterUptakePath");
  EXPECT_FALSE(other->service_is_ready());
}

TEST(CornerToCell, ClampsCornersIntoTheCostmap) {
  const nav2_costmap_2d::Costmap2D costmap(100, 50, 0.05, 0.0, 0.0);
  unsigned int mx = 7;
  unsigned int my = 7;
  ASSERT_TRUE(WaterUptakePathServer::cornerToCell({-0.7f, -3.2f}, costmap, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  ASSERT_TRUE(WaterUptakePathServer::cornerToCell({12.9f, 130.5f}, costmap, mx, my));
  EXPECT_EQ(mx, 12u);
  EXPECT_EQ(my, 49u);
  ASSERT_TRUE(WaterUptakePathServer::cornerToCell({1e30f, 99.99f}, costmap, mx, my));
  EXPECT_EQ(mx, 99u);
  EXPECT_EQ(my, 49u);
  EXPECT_FALSE(WaterUptakePathServer::cornerToCell({std::numeric_limits<float>::quiet_NaN(), 1.0f},
                                                   costmap, mx, my));
  EXPECT_FALSE(
      WaterUptakePathServer::cornerToCell({1.0f, 1.0f}, nav2_costmap_2d::Costmap2D(), mx, my));
}

// Deactivate or cleanup releases the server while a request may be running on another executor
// thread: the request keeps the server until it has answered.
TEST_F(WaterUptakeServiceTest, ARequestRunningWhenTheServerIsReleasedStillAnswers) {
  startServer();
  publishCostmap(Grid{100, 100});
  // No robot pose yet: the request waits up to a second for one, with the server released
  // meanwhile.
  auto request = std::make_shared<WaterUptakePath::Request>();
  request->zone_polygons = {square(1.0, 1.0, 4.0, 4.0)};
  auto pending = client_->async_send_request(request);
  std::thread spinner(
      [this, &pending] { executor_.spin_until_future_complete(pending.future, kPatience); });
  for (int i = 0; i < 30000 && logged("zone_polygons_ points size is 4") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::weak_ptr<WaterUptakePathServer> watch = server_;
  probe_.reset();
  server_.reset();
  spinner.join();

  ASSERT_EQ(pending.future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(pending.future.get()->path.empty());
  EXPECT_EQ(logged("[WaterUptakePathServer] failed to get robot pose"), 1);
  EXPECT_TRUE(watch.expired());
}

// What a request throws is its failure: an empty answer and an ERROR naming it, never an
// exception out of the executor. Here the zone image no longer matches the costmap's size.
TEST_F(WaterUptakeServiceTest, ARequestThatThrowsIsAnsweredEmpty) {
  startServer();
  publishCostmap(Grid{100, 100});
  placeRobot(0.5, 0.5);
  const std::vector<Polygon> zones{square(1.0, 1.0, 4.0, 4.0)};
  ASSERT_EQ(call(zones).size(), 5u);
  probe_->zoneMap() = cv::Mat::zeros(3, 7, CV_8UC1);
  EXPECT_TRUE(call(zones).empty());
  EXPECT_EQ(logged("[ERROR] [WaterUptakePathServer] request failed: "), 1);
}

}  // namespace
