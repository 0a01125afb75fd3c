// The zones of a coverage goal in cells, as both coverage planners take them.
#include "planning/local_planning/coverage/coverage_steps.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/log_capture.hpp"
#include "support/shapes.hpp"

namespace {

using test_support::box;

geometry_msgs::msg::Polygon corners(const std::vector<std::pair<double, double>>& points) {
  geometry_msgs::msg::Polygon polygon;
  for (const auto& [x, y] : points) {
    polygon.points.push_back(test_support::point32(x, y));
  }
  return polygon;
}

// 20 x 10 cells of 0.5 m from (-1, 2): x in [-1, 9), y in [2, 7); cell (2 (x + 1), 2 (y - 2)).
// The three east columns (x from 7.5) are wall:
//   9 .................###
//   ...
//   0 .................###
nav2_costmap_2d::Costmap2D walledMap() {
  nav2_costmap_2d::Costmap2D map(20, 10, 0.5, -1.0, 2.0);
  for (unsigned int my = 0; my < 10; ++my) {
    for (unsigned int mx = 17; mx < 20; ++mx) {
      map.setCost(mx, my, nav2_costmap_2d::LETHAL_OBSTACLE);
    }
  }
  return map;
}

TEST(ZoneCellPolygons, AZoneOverhangingTheMapIsThePartOfItOnTheMap) {
  struct Case {
    const char* name;
    geometry_msgs::msg::Polygon zone;
    std::vector<cv::Point> cells;  // none: dropped
    double area;
    int corners_off;
    const char* fault;  // the reason of the WARN when dropped
  };
  const std::vector<Case> cases{
      {"wholly on", box(0.0, 3.0, 2.0, 4.0), {{2, 2}, {6, 2}, {6, 4}, {2, 4}}, 2.0, 0, ""},
      {"over the west edge",
       box(-3.0, 3.0, 2.0, 4.0),
       {{0, 2}, {6, 2}, {6, 4}, {0, 4}},
       3.0,
       2,
       ""},
      {"over the south-west corner",
       box(-2.0, 1.0, 1.0, 3.0),
       {{0, 0}, {4, 0}, {4, 2}, {0, 2}},
       2.0,
       3,
       ""},
      // Its long side meets the map's west edge at the north-west corner; that corner is on the
      // map's far edge, which belongs to the last row.
      {"a triangle over the west and north edges",
       corners({{-3.0, 3.0}, {3.0, 3.0}, {-3.0, 9.0}}),
       {{0, 2}, {8, 2}, {0, 9}},
       7.0,
       2,
       ""},
      {"over the west and east edges, wall included",
       box(-5.0, 3.0, 12.0, 5.0),
       {{0, 2}, {19, 2}, {19, 6}, {0, 6}},
       19.0,
       4,
       ""},
      {"a U open to the west, its arms over the edge",
       corners({{-3.0, 2.5},
                {3.0, 2.5},
                {3.0, 6.5},
                {-3.0, 6.5},
                {-3.0, 5.5},
                {1.0, 5.5},
                {1.0, 3.5},
                {-3.0, 3.5}}),
       {{0, 1}, {8, 1}, {8, 9}, {0, 9}, {0, 7}, {4, 7}, {4, 3}, {0, 3}},
       12.0,
       4,
       ""},
      {"wholly off", box(10.0, 3.0, 12.0, 5.0), {}, 0.0, 0, "0 of its 4 corners lie on the map"},
      {"over the east edge onto the wall only",
       box(7.6, 3.0, 11.0, 5.0),
       {},
       0.0,
       0,
       "every cell in it is an obstacle or unknown"}};
  const auto map = walledMap();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto log = test_support::clearedLog();
    const auto taken = planning::coverage::zoneCellPolygons({c.zone}, map, "Owner");
    EXPECT_NEAR(taken.area, c.area, 1e-9);
    if (c.cells.empty()) {
      EXPECT_TRUE(taken.zones.empty());
      EXPECT_EQ(
          log->countEndingWith("has no cleanable floor: " + std::string(c.fault) + "; dropped"), 1);
      continue;
    }
    ASSERT_EQ(taken.zones.size(), 1U);
    EXPECT_EQ(taken.zones[0], c.cells);
    EXPECT_EQ(log->countEndingWith("is off the map, the zone is cut at the map's edge"),
              c.corners_off);
    EXPECT_EQ(log->messagesAt("WARN").size(), static_cast<std::size_t>(c.corners_off));
  }
}

}  // namespace
