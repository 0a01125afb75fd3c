#include "nav2_costmap_2d/footprint.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

std::vector<geometry_msgs::msg::Point> rectangle() {
  return {point(0.3, 0.25), point(0.3, -0.25), point(-0.3, -0.25), point(-0.3, 0.25)};
}

TEST(FootprintRadii, RectangleGivesNearestEdgeAndFarthestCorner) {
  double inscribed = 0.0;
  double circumscribed = 0.0;
  nav2_costmap_2d::calculateMinAndMaxDistances(rectangle(), inscribed, circumscribed);
  EXPECT_DOUBLE_EQ(inscribed, 0.25);
  EXPECT_DOUBLE_EQ(circumscribed, std::hypot(0.3, 0.25));
}

TEST(FootprintRadii, OffCentreTriangleMeasuresToTheClosingEdgeToo) {
  // The edge from the last point back to the first passes 0.1 from the origin.
  const std::vector<geometry_msgs::msg::Point> triangle{point(0.5, 0.1), point(0.0, 0.6),
                                                        point(-0.5, 0.1)};
  double inscribed = 0.0;
  double circumscribed = 0.0;
  nav2_costmap_2d::calculateMinAndMaxDistances(triangle, inscribed, circumscribed);
  EXPECT_NEAR(inscribed, 0.1, 1e-12);
  EXPECT_NEAR(circumscribed, 0.6, 1e-12);
}

TEST(FootprintRadii, EmptyFootprintHasNoExtent) {
  double inscribed = -1.0;
  double circumscribed = -1.0;
  nav2_costmap_2d::calculateMinAndMaxDistances({}, inscribed, circumscribed);
  EXPECT_EQ(inscribed, 0.0);
  EXPECT_EQ(circumscribed, 0.0);
}

TEST(FootprintConversions, PolygonAndPointListRoundTrip) {
  const auto polygon = nav2_costmap_2d::toPolygon(rectangle());
  ASSERT_EQ(polygon.points.size(), 4u);
  EXPECT_FLOAT_EQ(polygon.points[1].x, 0.3f);
  EXPECT_FLOAT_EQ(polygon.points[1].y, -0.25f);
  const auto back =
      nav2_costmap_2d::toPointVector(std::make_shared<geometry_msgs::msg::Polygon>(polygon));
  ASSERT_EQ(back.size(), 4u);
  EXPECT_NEAR(back[3].x, -0.3, 1e-6);
  EXPECT_NEAR(back[3].y, 0.25, 1e-6);
  EXPECT_TRUE(nav2_costmap_2d::toPointVector(nullptr).empty());
}

TEST(FootprintConversions, TransformTurnsThenMoves) {
  std::vector<geometry_msgs::msg::Point> placed;
  nav2_costmap_2d::transformFootprint(1.0, 2.0, M_PI / 2.0, rectangle(), placed);
  ASSERT_EQ(placed.size(), 4u);
  // (0.3, 0.25) turned a quarter left is (-0.25, 0.3).
  EXPECT_NEAR(placed[0].x, 0.75, 1e-12);
  EXPECT_NEAR(placed[0].y, 2.3, 1e-12);
  EXPECT_NEAR(placed[2].x, 1.25, 1e-12);
  EXPECT_NEAR(placed[2].y, 1.7, 1e-12);
}

}  // namespace
