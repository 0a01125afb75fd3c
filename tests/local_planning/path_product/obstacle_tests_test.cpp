// Dynamic obstacles along a path and emergency patients inside a polygon.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"
#include "support/log_capture.hpp"

namespace {

using path_product_test::clearTypes;
using path_product_test::freeGrid;
using path_product_test::logged;
using path_product_test::markTypes;
using path_product_test::pathAlongX;
using path_product_test::pathOf;
using path_product_test::polygonOf;
using path_product_test::pose;

constexpr uint32_t kDynamic = 0x4;
constexpr uint32_t kWheelchair = 0x100;
constexpr uint32_t kHospitalBed = 0x200;

class DynamicObstacle : public path_product_test::ToolboxTest {
 protected:
  bool test(const nav_msgs::msg::Path& path,
            const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& map, double start, double end,
            double clearance) {
    return product_.hasDynamicObstacle(path, map, start, end, distance_, clearance, pose(0, 0));
  }

  static double resolutionOf(const vantrell_nav2_gridmap::GridMapROS& map) {
    return map.getMultiGridMap()->getCostmap()->getResolution();
  }

  double distance_{-1.0};
};

TEST_F(DynamicObstacle, FindsTheFirstPoseWithinTheClearance) {
  const auto map = freeGrid(40, 20);
  markTypes(*map, {{20, 8}}, kDynamic);
  // Pose i sits on cell (i, 5): pose 19 is the first within 0.35 m of (20, 8).
  EXPECT_TRUE(test(pathAlongX(0.0, 0.5, 0.1, 40), map, 0.2, 3.0, 0.35));
  EXPECT_NEAR(distance_, 1.9, 1e-9);
}

TEST_F(DynamicObstacle, OtherObstacleTypesDoNotCount) {
  const auto map = freeGrid(40, 20);
  markTypes(*map, {{20, 6}}, kWheelchair | 0x8);
  EXPECT_FALSE(test(pathAlongX(0.0, 0.5, 0.1, 40), map, 0.2, 3.0, 0.35));
  EXPECT_EQ(distance_, -1.0);
}

TEST_F(DynamicObstacle, ClearanceIsStrict) {
  const auto map = freeGrid(40, 20);
  markTypes(*map, {{20, 8}}, kDynamic);
  // Pose 20 lies exactly three cells below the obstacle; the poses beside it farther.
  const double exact = 3.0 * resolutionOf(*map);
  const auto path = pathAlongX(0.0, 0.5, 0.1, 40);
  EXPECT_FALSE(test(path, map, 0.2, 3.0, exact));
  EXPECT_TRUE(test(path, map, 0.2, 3.0, std::nextafter(exact, 1.0)));
  EXPECT_NEAR(distance_, 2.0, 1e-9);
}

TEST_F(DynamicObstacle, WindowIsOpenAtTheStartAndClosedAtTheEnd) {
  const auto map = freeGrid(40, 20);
  // Beside poses 1 and 2, whose path lengths are 0.1 and 0.2.
  markTypes(*map, {{1, 6}}, kDynamic);
  EXPECT_FALSE(test(pathAlongX(0.0, 0.5, 0.1, 40), map, 0.2, 3.0, 0.15));
  EXPECT_TRUE(test(pathAlongX(0.0, 0.5, 0.1, 40), map, 0.1, 3.0, 0.15));
  EXPECT_NEAR(distance_, 0.2, 1e-12);

  // Poses 0.25 m apart: only the pose at 2.0 m lies within 0.25 m of (20, 7).
  clearTypes(*map);
  markTypes(*map, {{20, 7}}, kDynamic);
  const auto coarse = pathAlongX(0.0, 0.5, 0.25, 16);
  distance_ = -1.0;
  EXPECT_FALSE(test(coarse, map, 0.2, 1.99, 0.25));
  EXPECT_EQ(distance_, -1.0);
  EXPECT_TRUE(test(coarse, map, 0.2, 2.0, 0.25));
  EXPECT_EQ(distance_, 2.0);
}

TEST_F(DynamicObstacle, PoseOffTheMapBeforeTheWindowEndsTheTest) {
  const auto map = freeGrid(40, 20);
  markTypes(*map, {{20, 6}}, kDynamic);
  auto path = pathAlongX(0.0, 0.5, 0.1, 40);
  path.poses[1].pose.position.y = -1.0;
  EXPECT_FALSE(test(path, map, 1.0, 3.0, 0.35));
  EXPECT_EQ(distance_, -1.0);
}

TEST_F(DynamicObstacle, EmptyOrSinglePosePathsAndMissingMaps) {
  const auto map = freeGrid(10, 10);
  markTypes(*map, {{0, 0}}, kDynamic);
  EXPECT_FALSE(test(nav_msgs::msg::Path(), map, 0.0, 3.0, 0.35));
  EXPECT_TRUE(logged(*log_, "[WARN] global_plan.poses is empty"));
  EXPECT_FALSE(test(pathOf({{0.0, 0.0}}), map, -1.0, 3.0, 0.35));
  EXPECT_FALSE(test(pathAlongX(0.0, 0.0, 0.1, 5), nullptr, 0.0, 3.0, 0.35));
  EXPECT_EQ(distance_, -1.0);
}

TEST_F(DynamicObstacle, WorkingImageFollowsEachCall) {
  const auto path = pathAlongX(0.0, 0.5, 0.1, 30);
  const auto first = freeGrid(40, 20);
  markTypes(*first, {{10, 6}}, kDynamic);
  EXPECT_TRUE(test(path, first, 0.2, 3.0, 0.12));
  EXPECT_NEAR(distance_, 1.0, 1e-9);

  // Same size, no obstacle: nothing of the last call may remain.
  const auto quiet = freeGrid(40, 20);
  EXPECT_FALSE(test(path, quiet, 0.2, 3.0, 0.12));

  // The obstacle moves on the first map.
  clearTypes(*first);
  markTypes(*first, {{25, 4}}, kDynamic);
  EXPECT_TRUE(test(path, first, 0.2, 3.0, 0.12));
  EXPECT_NEAR(distance_, 2.5, 1e-9);

  // Maps of other sizes, larger then smaller.
  const auto wide = freeGrid(80, 30);
  markTypes(*wide, {{5, 5}}, kDynamic);
  EXPECT_TRUE(test(path, wide, 0.2, 3.0, 0.12));
  EXPECT_NEAR(distance_, 0.4, 1e-9);
  const auto small = freeGrid(31, 6);
  markTypes(*small, {{29, 5}}, kDynamic);
  EXPECT_TRUE(test(path, small, 0.2, 3.0, 0.12));
  EXPECT_NEAR(distance_, 2.8, 1e-9);
}

class EmergencyPatients : public DynamicObstacle {};

TEST_F(EmergencyPatients, WheelchairOrBedInsideThePolygon) {
  const auto square = polygonOf({{0.5f, 0.5f}, {1.5f, 0.5f}, {1.5f, 1.5f}, {0.5f, 1.5f}});
  const auto map = freeGrid(30, 30);
  EXPECT_FALSE(product_.existEmergencyPatients(square, map));
  markTypes(*map, {{10, 10}}, kWheelchair);
  EXPECT_TRUE(product_.existEmergencyPatients(square, map));
  EXPECT_TRUE(logged(
      *log_,
      "[WARN] PathProduct::existEmergencyPatients Wheel chair or hospital bed in lift, stop taking "
      "lift."));

  clearTypes(*map);
  markTypes(*map, {{14, 6}}, kHospitalBed);
  EXPECT_TRUE(product_.existEmergencyPatients(square, map));
  clearTypes(*map);
  markTypes(*map, {{10, 10}}, kDynamic | 0x80);
  EXPECT_FALSE(product_.existEmergencyPatients(square, map));
}

TEST_F(EmergencyPatients, BoundingBoxCornerOutsideATriangleIsNotReported) {
  const auto triangle = polygonOf({{0.5f, 0.5f}, {2.0f, 0.5f}, {0.5f, 2.0f}});
  const auto map = freeGrid(30, 30);
  markTypes(*map, {{18, 18}}, kWheelchair);
  EXPECT_FALSE(product_.existEmergencyPatients(triangle, map));
  markTypes(*map, {{7, 7}}, kWheelchair);
  EXPECT_TRUE(product_.existEmergencyPatients(triangle, map));
}

TEST_F(EmergencyPatients, PolygonReachingOffTheMap) {
  const auto map = freeGrid(20, 20);
  const auto polygon = polygonOf({{-1.0f, -1.0f}, {0.6f, -1.0f}, {0.6f, 0.6f}, {-1.0f, 0.6f}});
  EXPECT_FALSE(product_.existEmergencyPatients(polygon, map));
  markTypes(*map, {{3, 3}}, kHospitalBed);
  EXPECT_TRUE(product_.existEmergencyPatients(polygon, map));
}

TEST_F(EmergencyPatients, EmptyPolygonOrMissingMap) {
  const auto map = freeGrid(20, 20);
  markTypes(*map, {{3, 3}}, kWheelchair);
  EXPECT_FALSE(product_.existEmergencyPatients(geometry_msgs::msg::Polygon(), map));
  const auto square = polygonOf({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}});
  EXPECT_FALSE(product_.existEmergencyPatients(square, nullptr));
  const auto endless =
      polygonOf({{0.0f, 0.0f}, {std::numeric_limits<float>::infinity(), 0.0f}, {1.0f, 1.0f}});
  EXPECT_FALSE(product_.existEmergencyPatients(endless, map));
}

}  // namespace
