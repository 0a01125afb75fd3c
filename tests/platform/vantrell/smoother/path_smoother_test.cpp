#include "vantrell_nav2_smoother/path_smoother.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "tf2/utils.h"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_smoother/testing/path_smoother_faults.hpp"

namespace {

namespace gm = vantrell_nav2_gridmap::testing;
using vantrell_nav2_smoother::testing::PathSmootherFaults;

constexpr double kResolution = 0.05;

geometry_msgs::msg::PoseStamped poseAt(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(0.5 * yaw);
  pose.pose.orientation.w = std::cos(0.5 * yaw);
  return pose;
}

nav_msgs::msg::Path pathThrough(const std::vector<cv::Point2d>& points, double yaw = 0.0) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (const auto& p : points) {
    path.poses.push_back(poseAt(p.x, p.y, yaw));
  }
  return path;
}

// Along x from x0 to x1 at y, every 5 cm, swinging by `amplitude` to either side.
nav_msgs::msg::Path zigzag(double x0, double x1, double y, double amplitude) {
  std::vector<cv::Point2d> points;
  for (int i = 0; x0 + 0.05 * i <= x1 + 1e-9; ++i) {
    points.emplace_back(x0 + 0.05 * i, y + ((i % 2 == 0) ? amplitude : -amplitude));
  }
  return pathThrough(points);
}

// Sum of the absolute turns along the path: what curvature costs the robot.
double totalTurn(const nav_msgs::msg::Path& path) {
  double total = 0.0;
  for (size_t i = 1; i + 1 < path.poses.size(); ++i) {
    const auto& a = path.poses[i - 1].pose.position;
    const auto& b = path.poses[i].pose.position;
    const auto& c = path.poses[i + 1].pose.position;
    const double in = std::atan2(b.y - a.y, b.x - a.x);
    const double out = std::atan2(c.y - b.y, c.x - b.x);
    total += std::abs(std::remainder(out - in, 2.0 * M_PI));
  }
  return total;
}

double yawOf(const geometry_msgs::msg::PoseStamped& pose) {
  return tf2::getYaw(pose.pose.orientation);
}

// Points given along and across a line through `centre` at `angle` (radians).
struct Slant {
  cv::Point2d centre;
  double angle;

  cv::Point2d at(double along, double across) const {
    return centre + cv::Point2d(along * std::cos(angle) - across * std::sin(angle),
                                along * std::sin(angle) + across * std::cos(angle));
  }
  double across(const geometry_msgs::msg::PoseStamped& pose) const {
    return -(pose.pose.position.x - centre.x) * std::sin(angle) +
           (pose.pose.position.y - centre.y) * std::cos(angle);
  }
  // Paints the band `from`..`to` across, `half_length` either side along.
  void fill(cv::Mat& drawn, double half_length, double from, double to, uint8_t value) const {
    auto cell = [this](double along, double across) {
      const cv::Point2d p = at(along, across) / kResolution;
      return cv::Point(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    };
    const std::vector<cv::Point> band = {cell(-half_length, from), cell(half_length, from),
                                         cell(half_length, to), cell(-half_length, to)};
    cv::fillConvexPoly(drawn, band, cv::Scalar(value));
  }
};

class PathSmootherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PathSmootherFaults::reset();
    // 6 m x 4 m, free, with a wall along y = 3.0 .. 3.2 m.
    cv::Mat drawn(80, 120, CV_8UC1, cv::Scalar(gm::kDrawnFree));
    cv::rectangle(drawn, cv::Point(0, 60), cv::Point(119, 63), cv::Scalar(gm::kDrawnOccupied),
                  cv::FILLED);
    map_ = gm::makeGridMap("smoother_test", drawn, kResolution);
  }
  void TearDown() override { PathSmootherFaults::reset(); }

  bool smooth(PathSmoother& smoother, const nav_msgs::msg::Path& in, nav_msgs::msg::Path& out,
              geometry_msgs::msg::Twist twist = geometry_msgs::msg::Twist()) {
    smoother.setOriginalPath(in);
    smoother.setCurrentData(in.poses.empty() ? poseAt(0, 0) : in.poses.front(), twist);
    smoother.smoothPath();
    return smoother.getSmoothedNavPath(out);
  }

  // As the local planner smooths for the padded outline, the robot driving on at 0.3 m/s.
  bool smoothDriving(const cv::Mat& drawn, const nav_msgs::msg::Path& in, double step,
                     nav_msgs::msg::Path& out) {
    PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(),
                          gm::makeGridMap("drawn", drawn, kResolution));
    smoother.config(0.7, 0.5, 0.0, 1.5, 0.5, 100.0, step);
    geometry_msgs::msg::Twist twist;
    twist.linear.x = 0.3;
    return smooth(smoother, in, out, twist);
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
};

TEST_F(PathSmootherTest, ZigzagComesOutWithLessTurningAndItsEndsHeld) {
  const auto in = zigzag(0.5, 3.5, 1.0, 0.04);
  struct Case {
    const char* name;
    double curvature;
    double smoothness;
  };
  for (const Case& c :
       {Case{"smoothness", 0.0, 1.5}, Case{"curvature", 2.0, 0.0}, Case{"both", 1.0, 1.0}}) {
    SCOPED_TRACE(c.name);
    PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
    smoother.config(0.3, 0.5, c.curvature, c.smoothness, 0.0, 100.0, 0.05);
    nav_msgs::msg::Path out;
    ASSERT_TRUE(smooth(smoother, in, out));
    EXPECT_LT(totalTurn(out), 0.5 * totalTurn(in));
    EXPECT_EQ(out.header.frame_id, "map");
    ASSERT_GE(out.poses.size(), 2u);
    EXPECT_DOUBLE_EQ(out.poses.front().pose.position.x, 0.5);
    EXPECT_DOUBLE_EQ(out.poses.front().pose.position.y, 1.04);
    EXPECT_NEAR(out.poses.back().pose.position.x, 3.5, 1e-9);
    // Every pose heads along its next segment; the last keeps the one before.
    for (size_t i = 0; i + 1 < out.poses.size(); ++i) {
      const auto& a = out.poses[i].pose.position;
      const auto& b = out.poses[i + 1].pose.position;
      EXPECT_NEAR(
          std::remainder(yawOf(out.poses[i]) - std::atan2(b.y - a.y, b.x - a.x), 2.0 * M_PI), 0.0,
          1e-9);
    }
  }
  // Heavier smoothing straightens more.
  PathSmoother light(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  PathSmoother heavy(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  light.config(0.3, 0.5, 0.0, 0.2, 0.0, 100.0, 0.05);
  heavy.config(0.3, 0.5, 0.0, 5.0, 0.0, 100.0, 0.05);
  nav_msgs::msg::Path a;
  nav_msgs::msg::Path b;
  ASSERT_TRUE(smooth(light, in, a));
  ASSERT_TRUE(smooth(heavy, in, b));
  EXPECT_LT(totalTurn(b), totalTurn(a));
}

TEST_F(PathSmootherTest, KeepsClearOfAWallItRunsBeside) {
  // 10 cm from the wall's face (y = 3.0 m), with a bend that brings it closer.
  const auto in = pathThrough({{0.5, 2.9}, {1.5, 2.9}, {2.0, 2.95}, {2.5, 2.9}, {3.5, 2.9}});
  PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  smoother.config(0.4, 5.0, 0.0, 0.5, 0.0, 100.0, 0.05);
  nav_msgs::msg::Path out;
  ASSERT_TRUE(smooth(smoother, in, out));
  auto distance = [this](const geometry_msgs::msg::PoseStamped& pose) {
    unsigned int mx = 0;
    unsigned int my = 0;
    map_->getMultiGridMap()->getCostmap()->worldToMap(pose.pose.position.x, pose.pose.position.y,
                                                      mx, my);
    return map_->getMultiGridMap()->getDistance(mx, my);
  };
  double nearest_in = 1e9;
  for (const auto& pose : in.poses) {
    nearest_in = std::min(nearest_in, distance(pose));
  }
  // Away from the held ends every pose has moved off the wall.
  for (size_t i = 0; i < out.poses.size(); ++i) {
    const double x = out.poses[i].pose.position.x;
    if (x > 1.0 && x < 3.0) {
      SCOPED_TRACE(i);
      EXPECT_GT(distance(out.poses[i]), nearest_in + 0.05);
      EXPECT_LT(out.poses[i].pose.position.y, 2.85);
    }
  }
}

TEST_F(PathSmootherTest, SettlesInASlantedCorridorNarrowerThanTwiceTheObstacleDistance) {
  // The local planner's configuration for a padded outline (obstacle distance 0.7 m) in a
  // corridor across the cells: the interpolated clearance bends sharply at the ridge between
  // the walls and at cell boundaries, where the walls' push never fades.
  struct Case {
    double angle_deg;
    double width;
    double swing;
  };
  for (const Case& c :
       {Case{28, 0.80, -0.10}, Case{42, 0.80, -0.05}, Case{49, 0.80, 0.0}, Case{63, 1.08, -0.10}}) {
    SCOPED_TRACE(c.angle_deg);
    const Slant slant{{3.0, 3.0}, c.angle_deg * M_PI / 180.0};
    cv::Mat drawn(120, 120, CV_8UC1, cv::Scalar(gm::kDrawnOccupied));
    slant.fill(drawn, 4.0, -c.width / 2, c.width / 2, gm::kDrawnFree);
    std::vector<cv::Point2d> points;
    for (int i = 0; i <= 60; ++i) {
      points.push_back(slant.at(-1.5 + 0.05 * i, c.swing * std::sin(0.1 * i)));
    }
    nav_msgs::msg::Path out;
    ASSERT_TRUE(smoothDriving(drawn, pathThrough(points), 0.1, out));
    for (const auto& pose : out.poses) {
      EXPECT_LT(std::abs(slant.across(pose)), c.width / 2 - 0.15);
    }
  }
}

TEST_F(PathSmootherTest, SmoothsAWobbleBeyondAGapWhereItsStepWasCut) {
  // Through a 2 m long gap between two walls across the cells, then 3 m of wobble in the open:
  // the crease in the gap cuts the step, and the wobble needs full steps to straighten.
  struct Case {
    double angle_deg;
    double width;
    double wobble;
  };
  for (const Case& c : {Case{7, 0.80, 0.03}, Case{49, 0.80, 0.02}, Case{77, 0.87, 0.01}}) {
    SCOPED_TRACE(c.angle_deg);
    const Slant slant{{3.0, 3.0}, c.angle_deg * M_PI / 180.0};
    cv::Mat drawn(160, 160, CV_8UC1, cv::Scalar(gm::kDrawnFree));
    slant.fill(drawn, 1.0, c.width / 2, c.width / 2 + 0.3, gm::kDrawnOccupied);
    slant.fill(drawn, 1.0, -c.width / 2 - 0.3, -c.width / 2, gm::kDrawnOccupied);
    std::vector<cv::Point2d> points;
    for (int i = 0; i <= 100; ++i) {
      points.push_back(
          slant.at(-1.0 + 0.05 * i, i > 40 ? (i % 2 == 0 ? -c.wobble : c.wobble) : 0.0));
    }
    const auto in = pathThrough(points);
    nav_msgs::msg::Path out;
    ASSERT_TRUE(smoothDriving(drawn, in, 0.05, out));
    EXPECT_LT(totalTurn(out), 0.5 * totalTurn(in));
  }
}

TEST_F(PathSmootherTest, StartBendsTowardsTheRobotsMotionAndTheRestIsKept) {
  // Straight along x; the robot at its start drives at 45 degrees to the left.
  std::vector<cv::Point2d> points;
  for (int i = 0; i <= 60; ++i) {
    points.emplace_back(0.5 + 0.05 * i, 1.0);
  }
  const auto in = pathThrough(points);
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 0.5;
  PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  smoother.config(0.3, 0.5, 0.0, 1.0, 2.0, 2.0, 0.1);
  smoother.setOriginalPath(in);
  smoother.setCurrentData(poseAt(0.5, 1.0, M_PI / 4), twist);
  smoother.smoothPath();
  nav_msgs::msg::Path out;
  ASSERT_TRUE(smoother.getSmoothedNavPath(out));
  // The first 2 m come at the 0.1 m step, the last metre as it was.
  ASSERT_EQ(out.poses.size(), 21u + 20u);
  EXPECT_GT(out.poses[3].pose.position.y, 1.02);
  EXPECT_NEAR(out.poses[20].pose.position.y, 1.0, 1e-9);
  for (size_t i = 21; i < out.poses.size(); ++i) {
    EXPECT_EQ(out.poses[i], in.poses[i - 21 + 41]);
  }

  // A robot standing still predicts nothing: the straight path stays straight.
  smoother.setCurrentData(poseAt(0.5, 1.0, M_PI / 4), geometry_msgs::msg::Twist());
  smoother.smoothPath();
  ASSERT_TRUE(smoother.getSmoothedNavPath(out));
  for (const auto& pose : out.poses) {
    EXPECT_NEAR(pose.pose.position.y, 1.0, 1e-9);
  }
}

TEST_F(PathSmootherTest, BackwardPathKeepsFacingAgainstItsMotion) {
  // Driven backwards along +x: the poses face -x.
  const auto in = pathThrough({{1.0, 1.0}, {1.5, 1.05}, {2.0, 1.0}}, M_PI);
  PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  nav_msgs::msg::Path out;
  ASSERT_TRUE(smooth(smoother, in, out));
  for (const auto& pose : out.poses) {
    EXPECT_GT(std::abs(yawOf(pose)), M_PI / 2);
  }
}

TEST_F(PathSmootherTest, FailuresLeaveTheArgumentUntouched) {
  const auto zig = zigzag(0.5, 2.0, 1.0, 0.04);
  const auto through_wall = pathThrough({{1.0, 2.0}, {1.0, 3.6}});
  struct Case {
    const char* name;
    nav_msgs::msg::Path path;
    double smoothness;
    double step;
    int forced;
  };
  const Case cases[] = {
      {"empty path", nav_msgs::msg::Path(), 1.0, 0.05, 0},
      {"through a wall", through_wall, 1.0, 0.05, 0},
      {"unusable step", zig, 1.0, -0.05, 0},
      {"no settling within the budget", zig, 1e7, 0.05, 0},
      {"forced", zig, 1.0, 0.05, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PathSmootherFaults::failNext(c.forced);
    PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
    smoother.config(0.3, 0.5, 0.0, c.smoothness, 0.0, 100.0, c.step);
    nav_msgs::msg::Path out = pathThrough({{9.0, 9.0}});
    EXPECT_FALSE(smooth(smoother, c.path, out));
    ASSERT_EQ(out.poses.size(), 1u);
    EXPECT_EQ(out.poses[0].pose.position.x, 9.0);
  }
  EXPECT_EQ(PathSmootherFaults::pending(), 0);

  // Nothing smoothed since the path was given: nothing to read.
  PathSmoother smoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), map_);
  nav_msgs::msg::Path out;
  smoother.setOriginalPath(zig);
  EXPECT_FALSE(smoother.getSmoothedNavPath(out));

  // A forced empty result is a success with no poses.
  PathSmootherFaults::emptyNext(1);
  ASSERT_TRUE(smooth(smoother, zig, out));
  EXPECT_TRUE(out.poses.empty());
  EXPECT_EQ(out.header.frame_id, "map");
  ASSERT_TRUE(smooth(smoother, zig, out));
  EXPECT_FALSE(out.poses.empty());
}

TEST_F(PathSmootherTest, NeedsAGridMap) {
  EXPECT_THROW(PathSmoother(std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), nullptr),
               std::invalid_argument);
}

}  // namespace
