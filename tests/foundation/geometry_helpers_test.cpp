#include "vantrell_nav2_base_class/geometry_helpers.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
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
  void setFootprint(const std::vector<geometry_msgs::msg::Point> &points) {
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

}  // namespace
