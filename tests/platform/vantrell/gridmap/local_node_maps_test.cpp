// The three grid maps of a local planning node, as its planners read them.
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

#include <gtest/gtest.h>

#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

namespace hooks = vantrell_nav2_gridmap::testing;

class LocalNodeMapsTest : public ::testing::Test {
 protected:
  // Two 3 m x 4 m rooms with a door between them; the local window covers
  // 2 m x 2 m around the door.
  test_support::DrawnMap room_ = test_support::drawRoomWithDoor(120, 80, 16, 0.05);
  hooks::LocalNodeMaps maps_ = hooks::makeLocalNodeMaps(
      hooks::occupancyGridFromDrawing(room_.image, 0.05, -1.0, -2.0), cv::Rect(40, 20, 40, 40));
};

TEST_F(LocalNodeMapsTest, FirstAndThirdShareOneGridAndTheSecondIsAWindowOfIt) {
  const auto* global = maps_.global->getMultiGridMap()->getCostmap();
  const auto* local = maps_.local->getMultiGridMap()->getCostmap();
  const auto* zone = maps_.zone->getMultiGridMap()->getCostmap();
  EXPECT_EQ(zone->getSizeInCellsX(), global->getSizeInCellsX());
  EXPECT_EQ(zone->getSizeInCellsY(), global->getSizeInCellsY());
  EXPECT_EQ(zone->getOriginX(), global->getOriginX());
  EXPECT_EQ(zone->getOriginY(), global->getOriginY());
  EXPECT_EQ(zone->getResolution(), global->getResolution());
  EXPECT_EQ(local->getSizeInCellsX(), 40u);
  EXPECT_NEAR(local->getOriginX(), 1.0, 1e-6);
  EXPECT_NEAR(local->getOriginY(), -1.0, 1e-6);

  vantrell_nav2_gridmap::GridmapLocationCoverter coverter(maps_.local, maps_.zone);
  ASSERT_TRUE(coverter.updateOrigin());
  for (unsigned int y = 0; y < 40; ++y) {
    for (unsigned int x = 0; x < 40; ++x) {
      unsigned int u = 0;
      unsigned int v = 0;
      ASSERT_TRUE(coverter.firstToSecondMap(x, y, u, v));
      ASSERT_EQ(u, x + 40);
      ASSERT_EQ(v, y + 20);
      EXPECT_EQ(maps_.local->getMultiGridMap()->getCost(x, y, true),
                maps_.zone->getMultiGridMap()->getCost(u, v, true));
    }
  }

  // Each map's costmap keeps one name, told apart by its address.
  const char* names[] = {maps_.global->getCostmapROS()->get_name(),
                         maps_.local->getCostmapROS()->get_name(),
                         maps_.zone->getCostmapROS()->get_name()};
  EXPECT_EQ(maps_.local->getCostmapROS()->get_name(), names[1]);
  EXPECT_NE(names[0], names[1]);
  EXPECT_NE(names[0], names[2]);
  EXPECT_NE(names[1], names[2]);
  EXPECT_STREQ(names[2], "zone_costmap");
}

}  // namespace
