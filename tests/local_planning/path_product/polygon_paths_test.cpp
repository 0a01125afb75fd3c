// Paths from polygons and the cut before a sharp turn.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"
#include "support/log_capture.hpp"

namespace {

using path_product_test::logged;
using path_product_test::polygonOf;
using path_product_test::pose;

class PolygonPath : public path_product_test::ToolboxTest {};

TEST_F(PolygonPath, ApproachesTheCentreOfASquareFromOutside) {
  const auto square = polygonOf({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}});
  const auto path = product_.generatePathFromPolygon(0.05, square);
  const auto& poses = path.nav_path.poses;
  ASSERT_EQ(poses.size(), 91u);
  EXPECT_DOUBLE_EQ(poses.front().pose.position.x, 5.5);
  EXPECT_DOUBLE_EQ(poses.front().pose.position.y, 1.0);
  EXPECT_DOUBLE_EQ(poses.back().pose.position.x, 1.0);
  EXPECT_DOUBLE_EQ(poses.back().pose.position.y, 1.0);
  for (size_t k = 0; k < poses.size(); ++k) {
    EXPECT_NEAR(poses[k].pose.position.x, 5.5 - 0.05 * k, 1e-9) << k;
    EXPECT_EQ(poses[k].header.frame_id, "map");
    EXPECT_EQ(poses[k].header.stamp, poses.front().header.stamp);
    EXPECT_EQ(poses[k].pose.orientation.w, 1.0);
    EXPECT_EQ(poses[k].pose.orientation.z, 0.0);
  }
  EXPECT_GT(poses.front().header.stamp.sec, 0);
  EXPECT_EQ(path.nav_path.header.frame_id, "");
  EXPECT_FLOAT_EQ(path.tolerance, 0.2f);
  EXPECT_FALSE(path.move_backward);
}

TEST_F(PolygonPath, ReadsOnlyTheFirstFourPoints) {
  const auto four = polygonOf({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
  auto five = four;
  five.points.push_back(polygonOf({{40.0f, -3.0f}}).points[0]);
  const auto a = product_.generatePathFromPolygon(0.1, four).nav_path.poses;
  const auto b = product_.generatePathFromPolygon(0.1, five).nav_path.poses;
  ASSERT_EQ(a.size(), b.size());
  for (size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(a[k].pose.position, b[k].pose.position);
  }
}

TEST_F(PolygonPath, CentreIsSummedInSinglePrecision) {
  const auto quad = polygonOf({{0.1f, 0.7f}, {0.3f, 0.7f}, {0.3f, 0.9f}, {0.1f, 0.9f}});
  const auto poses = product_.generatePathFromPolygon(0.1, quad).nav_path.poses;
  ASSERT_FALSE(poses.empty());
  const float sum_x = ((0.1f + 0.3f) + 0.3f) + 0.1f;
  const float sum_y = ((0.9f + 0.9f) + 0.7f) + 0.7f;
  EXPECT_EQ(poses.back().pose.position.x, 0.25 * static_cast<double>(sum_x));
  EXPECT_EQ(poses.back().pose.position.y, 0.25 * static_cast<double>(sum_y));
}

TEST_F(PolygonPath, TooFewPointsGiveAnEmptyPathAndAnError) {
  const auto triangle = polygonOf({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}});
  const auto path = product_.generatePathFromPolygon(0.05, triangle);
  EXPECT_TRUE(path.nav_path.poses.empty());
  EXPECT_EQ(path.tolerance, 0.0f);
  EXPECT_TRUE(logged(
      *log_, "[ERROR] PathProduct::generatePathFromPolygon Polygon must have at least 4 points."));
}

TEST_F(PolygonPath, SideWithoutLengthGivesAnEmptyPath) {
  const auto quad = polygonOf({{0.0f, 0.0f}, {2.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}});
  const auto path = product_.generatePathFromPolygon(0.05, quad);
  EXPECT_TRUE(path.nav_path.poses.empty());
  EXPECT_EQ(path.tolerance, 0.0f);
  EXPECT_TRUE(logged(
      *log_,
      "[WARN] PathProduct::generatePathFromPolygon Points A and B are the same, cannot extend."));
}

TEST_F(PolygonPath, CoarseResolutionGivesTheCentreAlone) {
  const auto square = polygonOf({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}});
  for (const double resolution : {4.6, 10.0}) {
    const auto path = product_.generatePathFromPolygon(resolution, square);
    ASSERT_EQ(path.nav_path.poses.size(), 1u) << resolution;
    EXPECT_EQ(path.nav_path.poses[0].pose.position.x, 1.0);
    EXPECT_EQ(path.nav_path.poses[0].pose.position.y, 1.0);
    EXPECT_FALSE(std::isnan(path.nav_path.poses[0].pose.position.x));
  }
  // At exactly 4.5 the approach is one step or less long: no NaN either way.
  const auto edge = product_.generatePathFromPolygon(4.5, square).nav_path.poses;
  ASSERT_FALSE(edge.empty());
  EXPECT_EQ(edge.back().pose.position.x, 1.0);
  for (const auto& p : edge) {
    EXPECT_FALSE(std::isnan(p.pose.position.x));
  }
}

TEST_F(PolygonPath, NonPositiveResolutionGivesAnEmptyPath) {
  const auto square = polygonOf({{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.0f}, {0.0f, 2.0f}});
  for (const double resolution : {0.0, -0.05, std::nan("")}) {
    EXPECT_TRUE(product_.generatePathFromPolygon(resolution, square).nav_path.poses.empty());
  }
}

class CutSharp : public PolygonPath {
 protected:
  // Poses 0.05 apart: `straight` metres along x, then `up` metres along y.
  static std::vector<geometry_msgs::msg::PoseStamped> bentPath(double straight, double up) {
    std::vector<geometry_msgs::msg::PoseStamped> poses;
    const int along = static_cast<int>(std::lround(straight / 0.05));
    const int rise = static_cast<int>(std::lround(up / 0.05));
    for (int i = 0; i <= along; ++i) {
      poses.push_back(pose(0.05 * i, 0.0));
    }
    for (int j = 1; j <= rise; ++j) {
      poses.push_back(pose(0.05 * along, 0.05 * j));
    }
    return poses;
  }
};

TEST_F(CutSharp, CutsBeforeARightAngle) {
  auto poses = bentPath(1.0, 1.0);
  ASSERT_EQ(poses.size(), 41u);
  EXPECT_TRUE(product_.cutSharp(poses, 1.0, 0.05, 0.25));
  ASSERT_EQ(poses.size(), 20u);
  EXPECT_NEAR(poses.back().pose.position.x, 0.95, 1e-12);
  EXPECT_TRUE(logged(*log_, "[WARN] PathProduct::cutSharp erase the path, index is 20 !!!"));
}

TEST_F(CutSharp, FirstOfEqualTurnsWins) {
  // Left at pose 10, right at pose 20, both by a right angle.
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  for (int i = 0; i <= 10; ++i) {
    poses.push_back(pose(0.05 * i, 0.0));
  }
  for (int j = 1; j <= 10; ++j) {
    poses.push_back(pose(0.5, 0.05 * j));
  }
  for (int i = 11; i <= 30; ++i) {
    poses.push_back(pose(0.05 * i, 0.5));
  }
  EXPECT_TRUE(product_.cutSharp(poses, 1.0, 0.05, 0.25));
  EXPECT_EQ(poses.size(), 10u);
}

TEST_F(CutSharp, LeavesStraightAndGentlePathsAlone) {
  auto straight = bentPath(3.0, 0.0);
  EXPECT_FALSE(product_.cutSharp(straight, 1.0, 0.05, 0.25));
  EXPECT_EQ(straight.size(), 61u);
  auto bent = bentPath(1.0, 1.0);
  EXPECT_FALSE(product_.cutSharp(bent, 2.0, 0.05, 0.25));
  EXPECT_EQ(bent.size(), 41u);
}

TEST_F(CutSharp, LooksOnlyAtTheFirstTwoMetres) {
  auto poses = bentPath(3.0, 1.0);
  EXPECT_FALSE(product_.cutSharp(poses, 1.0, 0.05, 0.25));
  EXPECT_EQ(poses.size(), 81u);
}

TEST_F(CutSharp, RefusesShortPathsAndWindowsThatDoNotFit) {
  auto short_path = bentPath(0.7, 0.7);
  EXPECT_FALSE(product_.cutSharp(short_path, 1.0, 0.05, 0.25));
  auto poses = bentPath(1.0, 1.0);
  EXPECT_FALSE(product_.cutSharp(poses, 1.0, 0.05, 0.04));  // n = 0
  EXPECT_FALSE(product_.cutSharp(poses, 1.0, 0.05, 1.05));  // 2n = 42 > 41 poses
  EXPECT_FALSE(product_.cutSharp(poses, 1.0, 0.0, 0.25));
  EXPECT_FALSE(product_.cutSharp(poses, 1.0, -0.05, 0.25));
  EXPECT_EQ(poses.size(), 41u);
  std::vector<geometry_msgs::msg::PoseStamped> one = {pose(0.0, 0.0)};
  EXPECT_FALSE(product_.cutSharp(one, 1.0, 0.05, 0.25));
}

}  // namespace
