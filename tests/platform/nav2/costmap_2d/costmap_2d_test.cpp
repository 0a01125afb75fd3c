#include "nav2_costmap_2d/costmap_2d.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

namespace {

using nav2_costmap_2d::Costmap2D;

constexpr unsigned int kUnset = 12345;

class Costmap2DGeometry : public ::testing::Test {
 protected:
  // 40 x 30 cells of 5 cm, lower-left corner at (-1, 2).
  Costmap2D costmap_{40, 30, 0.05, -1.0, 2.0};
};

TEST_F(Costmap2DGeometry, CellCentreRoundTrips) {
  for (unsigned int my = 0; my < costmap_.getSizeInCellsY(); ++my) {
    for (unsigned int mx = 0; mx < costmap_.getSizeInCellsX(); ++mx) {
      double wx = 0.0;
      double wy = 0.0;
      costmap_.mapToWorld(mx, my, wx, wy);
      EXPECT_NEAR(wx, -1.0 + (mx + 0.5) * 0.05, 1e-12);
      EXPECT_NEAR(wy, 2.0 + (my + 0.5) * 0.05, 1e-12);
      unsigned int rx = kUnset;
      unsigned int ry = kUnset;
      ASSERT_TRUE(costmap_.worldToMap(wx, wy, rx, ry));
      EXPECT_EQ(rx, mx);
      EXPECT_EQ(ry, my);
    }
  }
}

TEST_F(Costmap2DGeometry, PointsInsideACellMapToIt) {
  unsigned int mx = 0;
  unsigned int my = 0;
  // The lower-left corner belongs to cell (0, 0); just short of the next
  // cell's edge still does.
  ASSERT_TRUE(costmap_.worldToMap(-1.0, 2.0, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  ASSERT_TRUE(costmap_.worldToMap(-1.0 + 0.0499, 2.0 + 0.0499, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  ASSERT_TRUE(costmap_.worldToMap(-1.0 + 0.0501, 2.0 + 0.1001, mx, my));
  EXPECT_EQ(mx, 1u);
  EXPECT_EQ(my, 2u);
}

TEST_F(Costmap2DGeometry, BelowTheOriginFailsWithoutWriting) {
  unsigned int mx = kUnset;
  unsigned int my = kUnset;
  EXPECT_FALSE(costmap_.worldToMap(-1.0001, 2.5, mx, my));
  EXPECT_FALSE(costmap_.worldToMap(0.0, 1.9999, mx, my));
  EXPECT_FALSE(costmap_.worldToMap(-50.0, -50.0, mx, my));
  EXPECT_EQ(mx, kUnset);
  EXPECT_EQ(my, kUnset);
}

TEST_F(Costmap2DGeometry, BeyondTheFarEdgeFailsButWritesTheCell) {
  unsigned int mx = kUnset;
  unsigned int my = kUnset;
  // x = -1 + 40 * 0.05 = 1.0 is the far edge: first cell past the grid.
  EXPECT_FALSE(costmap_.worldToMap(1.0 + 1e-9, 2.0 + 0.01, mx, my));
  EXPECT_EQ(mx, 40u);
  EXPECT_EQ(my, 0u);
  EXPECT_FALSE(costmap_.worldToMap(0.01, 2.0 + 1.5 + 0.26, mx, my));
  EXPECT_EQ(mx, 20u);
  EXPECT_EQ(my, 35u);
}

TEST_F(Costmap2DGeometry, NonFiniteAndHugeInputsAreSafe) {
  unsigned int mx = kUnset;
  unsigned int my = kUnset;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(costmap_.worldToMap(nan, 2.5, mx, my));
  EXPECT_FALSE(costmap_.worldToMap(0.0, nan, mx, my));
  EXPECT_EQ(mx, kUnset);
  EXPECT_FALSE(costmap_.worldToMap(1e300, 1e300, mx, my));
  EXPECT_EQ(mx, std::numeric_limits<unsigned int>::max());
  EXPECT_EQ(my, std::numeric_limits<unsigned int>::max());
  EXPECT_FALSE(costmap_.worldToMap(std::numeric_limits<double>::infinity(), 2.5, mx, my));
}

TEST_F(Costmap2DGeometry, SizesAndIndices) {
  EXPECT_EQ(costmap_.getSizeInCellsX(), 40u);
  EXPECT_EQ(costmap_.getSizeInCellsY(), 30u);
  EXPECT_DOUBLE_EQ(costmap_.getSizeInMetersX(), 39.5 * 0.05);
  EXPECT_DOUBLE_EQ(costmap_.getSizeInMetersY(), 29.5 * 0.05);
  EXPECT_DOUBLE_EQ(costmap_.getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(costmap_.getOriginY(), 2.0);
  EXPECT_EQ(costmap_.getIndex(7, 3), 3u * 40u + 7u);
  unsigned int mx = 0;
  unsigned int my = 0;
  costmap_.indexToCells(costmap_.getIndex(39, 29), mx, my);
  EXPECT_EQ(mx, 39u);
  EXPECT_EQ(my, 29u);
  EXPECT_DOUBLE_EQ(Costmap2D().getSizeInMetersX(), 0.0);
}

TEST(Costmap2DCells, CostsGoWhereTheIndexSays) {
  Costmap2D costmap(5, 4, 0.1, 0.0, 0.0, nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(costmap.getCost(4, 3), nav2_costmap_2d::NO_INFORMATION);
  costmap.setCost(3, 2, 17);
  EXPECT_EQ(costmap.getCost(3, 2), 17);
  EXPECT_EQ(costmap.getCost(costmap.getIndex(3, 2)), 17);
  EXPECT_EQ(costmap.getCharMap()[2 * 5 + 3], 17);
}

TEST(Costmap2DCells, OffGridAccessNeitherReadsNorWritesOutside) {
  Costmap2D costmap(5, 4, 0.1, 0.0, 0.0, 0);
  costmap.setCost(5, 0, 99);
  costmap.setCost(0, 4, 99);
  for (unsigned int i = 0; i < 20; ++i) {
    EXPECT_EQ(costmap.getCost(i), 0);
  }
  EXPECT_EQ(costmap.getCost(5, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(costmap.getCost(20), nav2_costmap_2d::NO_INFORMATION);
}

TEST(Costmap2DCells, ResetClipsItsWindowAndResizeRefills) {
  Costmap2D costmap(6, 6, 0.1, 0.0, 0.0, 7);
  for (unsigned int i = 0; i < 36; ++i) {
    costmap.getCharMap()[i] = 200;
  }
  costmap.resetMap(4, 4, 100, 100);
  EXPECT_EQ(costmap.getCost(3, 3), 200);
  EXPECT_EQ(costmap.getCost(4, 4), 7);
  EXPECT_EQ(costmap.getCost(5, 5), 7);
  EXPECT_EQ(costmap.getCost(5, 3), 200);

  costmap.resizeMap(3, 2, 0.5, 1.0, 1.0);
  EXPECT_EQ(costmap.getSizeInCellsX(), 3u);
  EXPECT_EQ(costmap.getSizeInCellsY(), 2u);
  EXPECT_DOUBLE_EQ(costmap.getResolution(), 0.5);
  EXPECT_EQ(costmap.getCost(2, 1), 7);
}

TEST(Costmap2DCells, CopiesAreIndependent) {
  Costmap2D original(4, 4, 0.1, 0.0, 0.0, 0);
  original.setCost(1, 1, 50);
  Costmap2D copy(original);
  copy.setCost(1, 1, 60);
  EXPECT_EQ(original.getCost(1, 1), 50);
  EXPECT_EQ(copy.getCost(1, 1), 60);
  EXPECT_NE(original.getMutex(), copy.getMutex());
}

TEST(Costmap2DCells, MutexIsRecursive) {
  Costmap2D costmap(2, 2, 0.1, 0.0, 0.0);
  std::lock_guard<Costmap2D::mutex_t> outer(*costmap.getMutex());
  // resetMap locks again on the same thread.
  costmap.resetMap(0, 0, 2, 2);
  EXPECT_TRUE(costmap.getMutex()->try_lock());
  costmap.getMutex()->unlock();
}

}  // namespace
