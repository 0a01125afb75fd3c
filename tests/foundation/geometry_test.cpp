#include "planning/geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "support/log_capture.hpp"
#include "tf2/utils.h"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

geometry_msgs::msg::Point32 point(float x, float y, float z) {
  geometry_msgs::msg::Point32 result;
  result.x = x;
  result.y = y;
  result.z = z;
  return result;
}

TEST(CalculatePoint, MovesAlongTheAngleAndKeepsZ) {
  const auto up = planning::calculatePoint(point(1.0f, 2.0f, 5.0f), M_PI / 2.0, 3.0);
  EXPECT_NEAR(up.x, 1.0f, 1e-6);
  EXPECT_FLOAT_EQ(up.y, 5.0f);
  EXPECT_FLOAT_EQ(up.z, 5.0f);

  const auto back = planning::calculatePoint(point(1.0f, 2.0f, 5.0f), M_PI, 1.0);
  EXPECT_NEAR(back.x, 0.0f, 1e-6);
  EXPECT_NEAR(back.y, 2.0f, 1e-6);
  EXPECT_FLOAT_EQ(back.z, 5.0f);
}

TEST(CalculatePoint, NegativeDistanceGoesBackwardsAndZeroStaysPut) {
  const auto start = point(0.1f, -7.3f, 0.25f);
  const auto behind = planning::calculatePoint(start, M_PI / 4.0, -std::sqrt(2.0));
  EXPECT_NEAR(behind.x, -0.9f, 1e-5);
  EXPECT_NEAR(behind.y, -8.3f, 1e-5);

  const auto same = planning::calculatePoint(start, 1.234, 0.0);
  EXPECT_EQ(same.x, start.x);
  EXPECT_EQ(same.y, start.y);
  EXPECT_EQ(same.z, start.z);
}

geometry_msgs::msg::Point corner(double x, double y) {
  geometry_msgs::msg::Point result;
  result.x = x;
  result.y = y;
  return result;
}

class FootprintMaxY : public ::testing::Test {
 protected:
  void setFootprint(const std::vector<geometry_msgs::msg::Point>& points) {
    vantrell_nav2_gridmap::testing::setFootprint(*map_, points);
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_ =
      vantrell_nav2_gridmap::testing::makeGridMap("footprint_map",
                                                  cv::Mat(10, 10, CV_8UC1, cv::Scalar(255)), 0.05);
};

TEST_F(FootprintMaxY, IsTheLargestLateralExtent) {
  setFootprint({corner(0.3, 0.25), corner(0.3, -0.25), corner(-0.3, -0.25), corner(-0.3, 0.25)});
  EXPECT_DOUBLE_EQ(getFootprintMaxY(map_.get()), 0.25);

  setFootprint({corner(0.5, 0.1), corner(0.0, 0.4), corner(-0.5, 0.2)});
  EXPECT_DOUBLE_EQ(getFootprintMaxY(map_.get()), 0.4);
  // The forward reach reads the other axis of the same corners.
  EXPECT_DOUBLE_EQ(getFootprintMaxX(map_.get()), 0.5);
}

TEST_F(FootprintMaxY, NeverGoesBelowZero) {
  setFootprint({corner(0.3, -0.1), corner(-0.3, -0.4)});
  EXPECT_DOUBLE_EQ(getFootprintMaxY(map_.get()), 0.0);
  setFootprint({corner(-0.3, 0.1), corner(-0.1, -0.4)});
  EXPECT_DOUBLE_EQ(getFootprintMaxX(map_.get()), 0.0);

  setFootprint({});
  EXPECT_DOUBLE_EQ(getFootprintMaxY(map_.get()), 0.0);
  EXPECT_DOUBLE_EQ(getFootprintMaxX(map_.get()), 0.0);
}

TEST_F(FootprintMaxY, SkipsANaNCorner) {
  setFootprint({corner(0.3, 0.2), corner(0.0, std::nan("")), corner(-0.3, 0.1)});
  EXPECT_DOUBLE_EQ(getFootprintMaxY(map_.get()), 0.2);
}

TEST(FootprintMaxYInput, RefusesAMissingGridMap) {
  EXPECT_THROW(getFootprintMaxY(nullptr), std::invalid_argument);
  EXPECT_THROW(getFootprintMaxX(nullptr), std::invalid_argument);
}

using planning::geometry::kPi;

geometry_msgs::msg::Quaternion quaternion(double x, double y, double z, double w) {
  geometry_msgs::msg::Quaternion q;
  q.x = x;
  q.y = y;
  q.z = z;
  q.w = w;
  return q;
}

// Planar headings, a tilted orientation, both pitch singularities, an unnormalised and a zero
// quaternion: the yaw is tf2's in every case.
TEST(Yaw, ReadsEveryOrientationByTheTf2Rule) {
  const double h = std::sqrt(0.5);
  const std::vector<geometry_msgs::msg::Quaternion> cases{
      quaternion(0, 0, 0, 1),          quaternion(0, 0, std::sin(1.0), std::cos(1.0)),
      quaternion(0.1, -0.2, 0.3, 0.9), quaternion(0, h, 0, h),
      quaternion(0, -h, 0, h),         quaternion(0.3, h, 0.1, h),
      quaternion(0, 0, 2.0, 2.0),      quaternion(0, 0, 0, 0)};
  for (const auto& q : cases) {
    SCOPED_TRACE(testing::Message() << q.x << " " << q.y << " " << q.z << " " << q.w);
    EXPECT_EQ(planning::geometry::yawOf(q), tf2::getYaw(q));
  }
}

TEST(Yaw, QuaternionsOfAHeadingReadBackAsThatHeading) {
  for (const double yaw : {0.0, 0.5, -2.0, kPi, -kPi / 2.0, 3.0}) {
    SCOPED_TRACE(yaw);
    const auto pose = planning::geometry::planarPose(1.5, -2.0, yaw, "odom");
    EXPECT_EQ(pose.header.frame_id, "odom");
    EXPECT_EQ(pose.pose.orientation.x, 0.0);
    EXPECT_EQ(pose.pose.orientation.y, 0.0);
    EXPECT_NEAR(planning::geometry::normalizeAngle(planning::geometry::yawOf(pose) - yaw), 0.0,
                1e-12);
  }
  auto tilted = quaternion(0.25, -0.5, 0.0, 1.0);
  planning::geometry::setYawKeepingXY(tilted, 1.0);
  EXPECT_EQ(tilted.x, 0.25);
  EXPECT_EQ(tilted.y, -0.5);
  EXPECT_DOUBLE_EQ(tilted.z, std::sin(0.5));
  EXPECT_DOUBLE_EQ(tilted.w, std::cos(0.5));
}

TEST(Angles, AreWrappedIntoOneTurnOpenBelow) {
  const std::vector<std::pair<double, double>> cases{{0.0, 0.0},
                                                     {kPi, kPi},
                                                     {-kPi, kPi},
                                                     {3.0 * kPi, kPi},
                                                     {-kPi / 2.0, -kPi / 2.0},
                                                     {1.5 * kPi, -kPi / 2.0},
                                                     {-1.5 * kPi, kPi / 2.0},
                                                     {1e6, std::remainder(1e6, 2.0 * kPi)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_NEAR(planning::geometry::normalizeAngle(c.first), c.second, 1e-9);
  }
  EXPECT_TRUE(std::isnan(planning::geometry::normalizeAngle(std::nan(""))));
  EXPECT_TRUE(std::isnan(planning::geometry::normalizeAngle(HUGE_VAL)));
}

TEST(Distances, AreMeasuredInThePlaneAlongTheHeading) {
  auto from = planning::geometry::planarPose(1.0, 1.0);
  auto to = planning::geometry::planarPose(4.0, 5.0);
  to.pose.position.z = 7.0;
  EXPECT_DOUBLE_EQ(planning::geometry::planarDistance(from, to), 5.0);
  EXPECT_DOUBLE_EQ(planning::geometry::headingBetween(from, to), std::atan2(4.0, 3.0));
  EXPECT_DOUBLE_EQ(planning::geometry::headingBetween(to, from), std::atan2(-4.0, -3.0));
}

TEST(Counts, RefuseWhatAnIntCannotHold) {
  int count = -7;
  EXPECT_TRUE(planning::geometry::truncatedCount(41.9, count));
  EXPECT_EQ(count, 41);
  EXPECT_TRUE(planning::geometry::truncatedCount(-2.5, count));
  EXPECT_EQ(count, -2);
  for (const double refused : {std::nan(""), HUGE_VAL, 3e9, -3e9}) {
    EXPECT_FALSE(planning::geometry::truncatedCount(refused, count)) << refused;
    EXPECT_EQ(count, -2);
  }
}

// A missing map is an ERROR written in the name of the operation that needed it.
TEST(MapView, AMissingMapIsOneErrorNamingTheOperation) {
  const auto log = test_support::captureLog();
  log->clear();
  planning::geometry::MapView view;
  EXPECT_FALSE(planning::geometry::openMap(nullptr, "PathProduct", "redefineGoal", view));
  const auto records = log->records();
  ASSERT_EQ(records.size(), 1U);
  EXPECT_NE(records[0].text.find("[ERROR] PathProduct::redefineGoal no grid map given"),
            std::string::npos);
  EXPECT_EQ(records[0].function, "redefineGoal");
  EXPECT_FALSE(planning::geometry::viewOf(nullptr, view));

  const auto map = vantrell_nav2_gridmap::testing::makeGridMap(
      "view_map", cv::Mat(4, 6, CV_8UC1, cv::Scalar(255)), 0.5);
  ASSERT_TRUE(planning::geometry::openMap(map, "PathProduct", "redefineGoal", view));
  unsigned int mx = 0;
  unsigned int my = 0;
  EXPECT_TRUE(view.toCell(planning::geometry::planarPose(2.6, 1.1), mx, my));
  EXPECT_EQ(mx, 5U);
  EXPECT_EQ(my, 2U);
  EXPECT_FALSE(view.toCell(planning::geometry::planarPose(3.1, 1.1), mx, my));
  EXPECT_EQ(log->records().size(), 1U);
}

}  // namespace
