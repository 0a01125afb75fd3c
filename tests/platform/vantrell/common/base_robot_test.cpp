#include "vantrell_nav2_common/base_robot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

geometry_msgs::msg::PoseStamped stamped(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped p;
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.orientation.z = std::sin(yaw / 2.0);
  p.pose.orientation.w = std::cos(yaw / 2.0);
  return p;
}

geometry_msgs::msg::Pose at(double x, double y) { return stamped(x, y).pose; }

geometry_msgs::msg::Polygon polygon(const std::vector<std::pair<double, double>>& points) {
  geometry_msgs::msg::Polygon out;
  for (const auto& [x, y] : points) {
    geometry_msgs::msg::Point32 p;
    p.x = static_cast<float>(x);
    p.y = static_cast<float>(y);
    out.points.push_back(p);
  }
  return out;
}

// Side lengths of an axis-aligned rectangle given as four corners.
std::pair<double, double> extent(const geometry_msgs::msg::Polygon& p) {
  double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
  for (const auto& q : p.points) {
    min_x = std::min(min_x, static_cast<double>(q.x));
    max_x = std::max(max_x, static_cast<double>(q.x));
    min_y = std::min(min_y, static_cast<double>(q.y));
    max_y = std::max(max_y, static_cast<double>(q.y));
  }
  return {max_x - min_x, max_y - min_y};
}

class BaseRobotTest : public ::testing::Test {
 protected:
  BaseRobot robot_;
};

TEST_F(BaseRobotTest, YawFollowsTheSingularityRule) {
  EXPECT_NEAR(robot_.quaternion2Yaw(stamped(0, 0, M_PI / 2).pose.orientation), M_PI / 2, 1e-12);
  EXPECT_NEAR(robot_.quaternion2Yaw(stamped(0, 0, -2.5).pose.orientation), -2.5, 1e-12);

  // Scale does not matter.
  geometry_msgs::msg::Quaternion doubled = stamped(0, 0, 1.0).pose.orientation;
  doubled.z *= 2.0;
  doubled.w *= 2.0;
  EXPECT_NEAR(robot_.quaternion2Yaw(doubled), 1.0, 1e-12);

  // Pitch of a quarter turn: yaw = 2 atan2(qy, qx).
  geometry_msgs::msg::Quaternion pitched;
  pitched.x = 0.0;
  pitched.y = std::sqrt(0.5);
  pitched.z = 0.0;
  pitched.w = std::sqrt(0.5);
  EXPECT_NEAR(robot_.quaternion2Yaw(pitched), M_PI, 1e-12);

  geometry_msgs::msg::Quaternion mixed;
  mixed.x = mixed.y = mixed.z = mixed.w = 0.5;
  EXPECT_NEAR(robot_.quaternion2Yaw(mixed), M_PI / 2, 1e-12);
}

TEST_F(BaseRobotTest, DistancesArePlanar) {
  auto a = stamped(1.0, 2.0);
  auto b = stamped(4.0, 6.0);
  b.pose.position.z = 100.0;
  EXPECT_DOUBLE_EQ(robot_.calDistance(a, b), 5.0);
  EXPECT_DOUBLE_EQ(robot_.calDistance(b, a), 5.0);

  nav_msgs::msg::Path path;
  EXPECT_DOUBLE_EQ(robot_.calpathDistance(path), 0.0);
  path.poses = {stamped(0, 0)};
  EXPECT_DOUBLE_EQ(robot_.calpathDistance(path), 0.0);
  path.poses = {stamped(0, 0), stamped(1, 0), stamped(1, 1), stamped(0, 1), stamped(0, 0)};
  EXPECT_DOUBLE_EQ(robot_.calpathDistance(path), 4.0);
}

TEST_F(BaseRobotTest, AngleDifferenceWrapsIntoOneTurn) {
  EXPECT_NEAR(robot_.calDelAngle(M_PI - 0.1, -M_PI + 0.1), -0.2, 1e-12);
  EXPECT_NEAR(robot_.calDelAngle(-M_PI + 0.1, M_PI - 0.1), 0.2, 1e-12);
  EXPECT_NEAR(robot_.calDelAngle(0.5, 0.2), 0.3, 1e-12);
  EXPECT_NEAR(robot_.calDelAngle(7.0 * M_PI, 0.0), M_PI, 1e-9);
  // The half turn lands on +pi, never -pi.
  EXPECT_DOUBLE_EQ(robot_.calDelAngle(0.0, M_PI), M_PI);
  EXPECT_DOUBLE_EQ(robot_.calDelAngle(M_PI, 0.0), M_PI);
  EXPECT_NEAR(robot_.calDelAngle(M_PI, -M_PI), 0.0, 1e-12);
}

TEST_F(BaseRobotTest, ConvertToPathReplacesPosesAndKeepsHeader) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  path.poses = {stamped(9, 9), stamped(8, 8), stamped(7, 7)};
  robot_.convertToPath({stamped(1, 0), stamped(2, 0)}, path);
  ASSERT_EQ(path.poses.size(), 2u);
  EXPECT_DOUBLE_EQ(path.poses[0].pose.position.x, 1.0);
  EXPECT_DOUBLE_EQ(path.poses[1].pose.position.x, 2.0);
  EXPECT_EQ(path.header.frame_id, "map");

  robot_.convertToPath({}, path);
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(path.header.frame_id, "map");
}

TEST_F(BaseRobotTest, PointInPolygon) {
  const auto square = polygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  EXPECT_TRUE(robot_.isPointInPolygon(square, at(1, 1)));
  EXPECT_FALSE(robot_.isPointInPolygon(square, at(3, 1)));
  EXPECT_FALSE(robot_.isPointInPolygon(square, at(-0.01, 1)));
  // Edges and corners belong to the polygon.
  EXPECT_TRUE(robot_.isPointInPolygon(square, at(2, 1)));
  EXPECT_TRUE(robot_.isPointInPolygon(square, at(0, 0)));

  // An L shape: the notch is outside.
  const auto ell = polygon({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
  EXPECT_TRUE(robot_.isPointInPolygon(ell, at(0.5, 1.5)));
  EXPECT_FALSE(robot_.isPointInPolygon(ell, at(1.5, 1.5)));

  // Clockwise order makes no difference.
  const auto clockwise = polygon({{0, 2}, {2, 2}, {2, 0}, {0, 0}});
  EXPECT_TRUE(robot_.isPointInPolygon(clockwise, at(1, 1)));

  EXPECT_FALSE(robot_.isPointInPolygon(polygon({}), at(0, 0)));
  EXPECT_FALSE(robot_.isPointInPolygon(polygon({{0, 0}, {1, 1}}), at(0.5, 0.5)));
  EXPECT_FALSE(robot_.isPointInPolygon(square, at(NAN, 1)));
}

TEST_F(BaseRobotTest, TranslatePolygonPlacesItOnThePose) {
  geometry_msgs::msg::PolygonStamped footprint;
  footprint.header.frame_id = "base";
  footprint.polygon = polygon({{0.3, 0.25}, {0.3, -0.25}, {-0.3, -0.25}, {-0.3, 0.25}});
  robot_.translatePolygon(footprint, stamped(1.0, 2.0, M_PI / 2));
  ASSERT_EQ(footprint.polygon.points.size(), 4u);
  EXPECT_NEAR(footprint.polygon.points[0].x, 0.75, 1e-6);
  EXPECT_NEAR(footprint.polygon.points[0].y, 2.3, 1e-6);
  EXPECT_NEAR(footprint.polygon.points[2].x, 1.25, 1e-6);
  EXPECT_NEAR(footprint.polygon.points[2].y, 1.7, 1e-6);
  EXPECT_EQ(footprint.header.frame_id, "base");

  // A waiting area placed half a metre behind a door that faces +x.
  geometry_msgs::msg::PolygonStamped area;
  area.polygon = polygon({{1.0, 0.5}});
  robot_.translatePolygon(area, stamped(-1.0, 0.0, M_PI));
  EXPECT_NEAR(area.polygon.points[0].x, -2.0, 1e-6);
  EXPECT_NEAR(area.polygon.points[0].y, -0.5, 1e-6);
}

TEST_F(BaseRobotTest, PolygonContainment) {
  const auto lift = polygon({{0, 0}, {2, 0}, {2, 1.6}, {0, 1.6}});
  const auto inside = polygon({{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.1}, {0.5, 1.1}});
  const auto sticking_out = polygon({{1.5, 0.5}, {2.5, 0.5}, {2.5, 1.1}, {1.5, 1.1}});
  EXPECT_TRUE(robot_.isPolygonContained(inside, lift));
  EXPECT_FALSE(robot_.isPolygonContained(sticking_out, lift));
  EXPECT_FALSE(robot_.isPolygonContained(lift, inside));
  // Touching the wall from inside is still inside.
  EXPECT_TRUE(robot_.isPolygonContained(polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), lift));
  EXPECT_TRUE(robot_.isPolygonContained(lift, lift));

  // Every corner inside a U-shaped outline, yet an edge crosses the gap.
  const auto u_shape = polygon({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}});
  const auto bridge = polygon({{0.5, 2}, {2.5, 2}, {2.5, 2.5}, {0.5, 2.5}});
  EXPECT_FALSE(robot_.isPolygonContained(bridge, u_shape));

  EXPECT_FALSE(robot_.isPolygonContained(polygon({}), lift));
  EXPECT_FALSE(robot_.isPolygonContained(inside, polygon({{0, 0}, {5, 5}})));
}

TEST_F(BaseRobotTest, ResizeLiftFrameShrinksEverySide) {
  const auto lift = polygon({{0, 0}, {2, 0}, {2, 1.6}, {0, 1.6}});
  const auto shrunk = robot_.resizeLiftFrame(lift, 0.35, true);
  ASSERT_EQ(shrunk.points.size(), 4u);
  const auto [w, h] = extent(shrunk);
  EXPECT_NEAR(w, 1.3, 1e-6);
  EXPECT_NEAR(h, 0.9, 1e-6);
  EXPECT_TRUE(robot_.isPolygonContained(shrunk, lift));
  EXPECT_NEAR(shrunk.points[0].x, 0.35, 1e-6);
  EXPECT_NEAR(shrunk.points[0].y, 0.35, 1e-6);

  // Clockwise corners and a turned frame shrink the same way.
  const auto clockwise = polygon({{0, 1.6}, {2, 1.6}, {2, 0}, {0, 0}});
  const auto [cw, ch] = extent(robot_.resizeLiftFrame(clockwise, 0.35, true));
  EXPECT_NEAR(cw, 1.3, 1e-6);
  EXPECT_NEAR(ch, 0.9, 1e-6);
  const auto diamond = polygon({{1, 0}, {2, 1}, {1, 2}, {0, 1}});
  const auto small = robot_.resizeLiftFrame(diamond, std::sqrt(0.5) / 2.0, true);
  ASSERT_EQ(small.points.size(), 4u);
  EXPECT_NEAR(small.points[0].y, 0.5, 1e-6);
  EXPECT_NEAR(small.points[1].x, 1.5, 1e-6);

  // A negative margin grows it.
  const auto [gw, gh] = extent(robot_.resizeLiftFrame(lift, -0.5, true));
  EXPECT_NEAR(gw, 3.0, 1e-6);
  EXPECT_NEAR(gh, 2.6, 1e-6);
}

TEST_F(BaseRobotTest, ResizeLiftFrameEdgeCases) {
  const auto lift = polygon({{0, 0}, {2, 0}, {2, 1.6}, {0, 1.6}});
  EXPECT_EQ(robot_.resizeLiftFrame(lift, 0.35, false), lift);
  // A margin wider than half the frame leaves no room at all.
  EXPECT_TRUE(robot_.resizeLiftFrame(lift, 0.8, true).points.empty());
  EXPECT_TRUE(robot_.resizeLiftFrame(lift, 5.0, true).points.empty());
  // Degenerate frames come back as they were.
  const auto line = polygon({{0, 0}, {1, 0}, {2, 0}});
  EXPECT_EQ(robot_.resizeLiftFrame(line, 0.1, true), line);
  EXPECT_TRUE(robot_.resizeLiftFrame(polygon({}), 0.1, true).points.empty());
  // A repeated corner is skipped instead of giving a side without a normal.
  const auto repeated = polygon({{0, 0}, {2, 0}, {2, 0}, {2, 1.6}, {0, 1.6}, {0, 0}});
  const auto resized = robot_.resizeLiftFrame(repeated, 0.35, true);
  ASSERT_EQ(resized.points.size(), 4u);
  for (const auto& p : resized.points) {
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  }
  const auto [w, h] = extent(resized);
  EXPECT_NEAR(w, 1.3, 1e-6);
  EXPECT_NEAR(h, 0.9, 1e-6);
}

}  // namespace
