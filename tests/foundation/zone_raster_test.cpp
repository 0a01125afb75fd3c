#include "planning/zone_raster.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

geometry_msgs::msg::Point32 corner(float x, float y) {
  geometry_msgs::msg::Point32 point;
  point.x = x;
  point.y = y;
  return point;
}

// 10 x 8 cells of 0.5 m, origin (-1, 2): x in [-1, 4), y in [2, 6).
nav2_costmap_2d::Costmap2D costmap() { return nav2_costmap_2d::Costmap2D(10, 8, 0.5, -1.0, 2.0); }

TEST(ZoneCells, CornersOffTheMapAreCountedNeverConverted) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    std::string name;
    std::vector<geometry_msgs::msg::Point32> zone;
    std::vector<cv::Point> outline;
    size_t off_map;
  };
  const std::vector<Case> cases{
      {"all on the map",
       {corner(-1.0F, 2.0F), corner(3.9F, 2.2F), corner(0.6F, 5.9F)},
       {{0, 0}, {9, 0}, {3, 7}},
       0},
      {"the map's far edges are off it", {corner(4.0F, 3.0F), corner(1.0F, 6.0F)}, {}, 2},
      {"below the origin",
       {corner(-1.01F, 3.0F), corner(0.0F, 1.9F), corner(0.0F, 3.0F)},
       {{2, 2}},
       2},
      {"no numbers", {corner(nan, 3.0F), corner(1.0F, inf), corner(-inf, 3.0F)}, {}, 3},
      {"far beyond", {corner(1e30F, 3.0F), corner(1.0F, -1e30F), corner(1.2F, 2.6F)}, {{4, 1}}, 2},
      {"empty", {}, {}, 0}};
  const auto map = costmap();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const planning::ZoneCells cells = planning::zoneCells(c.zone, map);
    EXPECT_EQ(cells.outline, c.outline);
    EXPECT_EQ(cells.off_map.size(), c.off_map);
  }
  geometry_msgs::msg::Polygon polygon;
  polygon.points = cases[0].zone;
  EXPECT_EQ(planning::zoneCells(polygon, map).outline, cases[0].outline);
}

TEST(ZoneMask, FillsInsideAndOnTheOutlineOnly) {
  cv::Mat image(6, 7, CV_8UC1, cv::Scalar(7));
  planning::fillZone({{1, 1}, {4, 1}, {4, 3}, {1, 3}}, image);
  for (int row = 0; row < image.rows; ++row) {
    for (int col = 0; col < image.cols; ++col) {
      const bool inside = row >= 1 && row <= 3 && col >= 1 && col <= 4;
      EXPECT_EQ(image.at<uint8_t>(row, col), inside ? 255 : 7) << row << ", " << col;
    }
  }
  cv::Mat untouched(3, 3, CV_8UC1, cv::Scalar(0));
  planning::fillZone({}, untouched);
  EXPECT_EQ(cv::countNonZero(untouched), 0);
}

TEST(GridImage, SetsTheCellsTheTestPassesRowByCellY) {
  const cv::Mat image = planning::gridImage(
      5, 3, [](unsigned int mx, unsigned int my) { return mx == 4 || (mx == 1 && my == 2); });
  ASSERT_EQ(image.rows, 3);
  ASSERT_EQ(image.cols, 5);
  EXPECT_EQ(image.type(), CV_8UC1);
  EXPECT_EQ(cv::countNonZero(image), 4);
  EXPECT_EQ(image.at<uint8_t>(2, 1), 255);
  EXPECT_EQ(image.at<uint8_t>(0, 4), 255);
  EXPECT_EQ(image.at<uint8_t>(1, 1), 0);
  EXPECT_TRUE(planning::gridImage(0, 0, [](unsigned int, unsigned int) { return true; }).empty());
}

}  // namespace
