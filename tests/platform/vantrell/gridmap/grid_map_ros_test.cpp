#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

using nav2_costmap_2d::LETHAL_OBSTACLE;
using vantrell_nav2_gridmap::GridmapLocationCoverter;
using vantrell_nav2_gridmap::GridMapParams;
using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_gridmap::ObsTypeBitMap;
namespace hooks = vantrell_nav2_gridmap::testing;
namespace fs = std::filesystem;

TEST(GridMapROS, MasterCostmapHoldsTheInflatedLayer) {
  const auto hall = test_support::drawLiftHall();
  const auto map = hooks::makeGridMap("global", hall.image, hall.resolution, -4.0, -4.0);
  map->waitForCostmap();
  EXPECT_EQ(map->get_name(), "global");
  const auto layers = map->getMultiGridMap()->getLayers();
  const auto* costmap = map->getMultiGridMap()->getCostmap();
  ASSERT_EQ(costmap, map->getCostmapROS()->getCostmap());
  ASSERT_EQ(costmap->getSizeInCellsX(), 160u);
  ASSERT_EQ(costmap->getSizeInCellsY(), 160u);
  EXPECT_DOUBLE_EQ(costmap->getOriginX(), -4.0);
  // As the map message carries it.
  EXPECT_DOUBLE_EQ(costmap->getResolution(), static_cast<float>(0.05));
  EXPECT_EQ(0, std::memcmp(costmap->getCharMap(), layers->cost.data(), layers->cost.size()));

  // The car's inner corner is too tight for the robot's centre.
  const cv::Point corner = hall.place("car_corner");
  EXPECT_TRUE(map->getMultiGridMap()->inDanger(corner.x, corner.y, 0));
  const cv::Point car = hall.place("car_centre");
  EXPECT_FALSE(map->getMultiGridMap()->inDanger(car.x, car.y, 1));
}

TEST(GridMapROS, FramesAndFootprintComeFromTheParameters) {
  GridMapParams params;
  params.global_frame = "odom";
  params.robot_base_frame = "base_link";
  params.footprint.resize(3);
  const auto map = hooks::makeGridMap("local", test_support::drawEmptyRoom(20, 20).image, 0.05, 0.0,
                                      0.0, params);
  EXPECT_EQ(map->getCostmapROS()->getGlobalFrameID(), "odom");
  EXPECT_EQ(map->getCostmapROS()->getBaseFrameID(), "base_link");
  EXPECT_EQ(map->getCostmapROS()->getRobotFootprint().size(), 3u);
}

TEST(GridMapROS, RefreshThroughTheCostmapReachesTheLayers) {
  const auto map = hooks::makeGridMap("zone", test_support::drawEmptyRoom(40, 40).image, 0.05);
  hooks::markObstacleCells(*map, {{20, 20}}, ObsTypeBitMap::DYNAMIC_OBSTACLE);
  map->getCostmapROS()->updateMap();
  ObsTypeBitMap types;
  map->getMultiGridMap()->getObstacleType(20, 20, types);
  EXPECT_TRUE(types.any(ObsTypeBitMap::DYNAMIC_OBSTACLE));
  EXPECT_EQ(map->getCostmapROS()->getCostmap()->getCost(20, 20), LETHAL_OBSTACLE);

  // resetLayers forces a rebuild; from unchanged inputs it comes back to the same snapshot.
  const auto before = map->getMultiGridMap()->getLayers();
  map->getCostmapROS()->updateMap();
  EXPECT_EQ(map->getMultiGridMap()->getLayers(), before);
  map->getCostmapROS()->resetLayers();
  EXPECT_EQ(map->getCostmapROS()->getCostmap()->getCost(20, 20), LETHAL_OBSTACLE);
  map->getCostmapROS()->updateMap();
  const auto after = map->getMultiGridMap()->getLayers();
  EXPECT_EQ(after.get(), before.get());
}

TEST(GridMapROS, RobotIsPlacedAndRemovedByTheHost) {
  const auto map = hooks::makeGridMap("global", test_support::drawEmptyRoom(40, 40).image, 0.05);
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(map->getCostmapROS()->getRobotPose(pose));
  hooks::placeRobot(*map, 1.0, 0.5, 0.0);
  ASSERT_TRUE(map->getCostmapROS()->getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 1.0);
  hooks::removeRobotPose(*map);
  EXPECT_FALSE(map->getCostmapROS()->getRobotPose(pose));
}

TEST(GridMapROS, UnusableOccupancyGridsAreRefused) {
  auto grid = hooks::occupancyGridFromDrawing(test_support::drawEmptyRoom(10, 10).image, 0.05);
  auto broken = grid;
  broken.data.pop_back();
  EXPECT_THROW(hooks::makeGridMap("short", broken), std::invalid_argument);
  broken = grid;
  broken.info.resolution = 0.0f;
  EXPECT_THROW(hooks::makeGridMap("flat", broken), std::invalid_argument);
  broken = grid;
  broken.info.width = 0;
  broken.data.clear();
  EXPECT_THROW(hooks::makeGridMap("empty", broken), std::invalid_argument);
  broken = grid;
  broken.info.origin.orientation.z = std::sin(0.25);
  broken.info.origin.orientation.w = std::cos(0.25);
  EXPECT_THROW(hooks::makeGridMap("turned", broken), std::invalid_argument);
  EXPECT_THROW(hooks::makeGridMap("colour", cv::Mat(5, 5, CV_8UC3), 0.05), std::invalid_argument);
  // The refused map left the running one alone.
  const auto map = hooks::makeGridMap("good", grid);
  EXPECT_THROW(hooks::replaceStaticMap(*map, broken), std::invalid_argument);
  map->getMultiGridMap()->updateMap();
  EXPECT_EQ(map->getMultiGridMap()->getCostmap()->getSizeInCellsX(), 10u);
}

TEST(GridMapROS, UnusableParametersAreRefusedAndBrokenFootprintsAreHarmless) {
  const auto drawn = test_support::drawEmptyRoom(20, 20).image;
  GridMapParams params;
  params.inflation_radius = std::nan("");
  EXPECT_THROW(hooks::makeGridMap("nan", drawn, 0.05, 0.0, 0.0, params), std::invalid_argument);
  params = GridMapParams();
  params.narrow_passage_width = -1.0;
  EXPECT_THROW(hooks::makeGridMap("neg", drawn, 0.05, 0.0, 0.0, params), std::invalid_argument);
  params = GridMapParams();
  params.footprint[0].x = std::numeric_limits<double>::infinity();
  EXPECT_THROW(hooks::makeGridMap("inf", drawn, 0.05, 0.0, 0.0, params), std::invalid_argument);

  // Huge radii are cut to what the map can hold: the centre of the room,
  // 0.45 m from the nearest wall, still gets its ordinary inflation.
  params = GridMapParams();
  params.inflation_radius = 1e9;
  params.narrow_passage_width = 1e9;
  const auto map = hooks::makeGridMap("huge", drawn, 0.05, 0.0, 0.0, params);
  EXPECT_EQ(map->getMultiGridMap()->getCost(10, 10, false),
            static_cast<uint8_t>(252 * std::exp(-10.0 * (0.45 - 0.25))));
  EXPECT_TRUE(map->getMultiGridMap()->inNarrowPassage(10, 10, 0));
  // A broken point set later by the host leaves the radii finite.
  auto broken = GridMapParams::defaultFootprint();
  broken[2].y = std::nan("");
  hooks::setFootprint(*map, broken);
  EXPECT_TRUE(map->getMultiGridMap()->updateMap());
  EXPECT_TRUE(std::isfinite(map->getMultiGridMap()->getLayers()->inscribed_radius));
  EXPECT_TRUE(std::isfinite(map->getMultiGridMap()->getLayers()->circumscribed_radius));
}

TEST(GridMapROS, LoadsFromAMapFileAndNamesWhatIsWrong) {
  const fs::path dir = fs::temp_directory_path() / ("grid_map_yaml_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto room = test_support::drawRoomWithDoor();
  // A map file's top row is the far edge of the map.
  cv::Mat image;
  cv::flip(room.image, image, 0);
  ASSERT_TRUE(cv::imwrite((dir / "rooms.pgm").string(), image));
  std::ofstream(dir / "rooms.yaml")
      << "image: rooms.pgm\nresolution: 0.05\n"
         "origin: [-1.0, -2.0, 0.0]\nnegate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n";
  std::ofstream(dir / "bad.yaml")
      << "image: rooms.pgm\nresolution: 0\n"
         "origin: [0, 0, 0]\nnegate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n";

  const auto map = hooks::makeGridMapFromYaml("global", (dir / "rooms.yaml").string());
  const auto layers = map->getMultiGridMap()->getLayers();
  EXPECT_EQ(layers->size_x, 120u);
  EXPECT_DOUBLE_EQ(layers->origin_y, -2.0);
  const cv::Point door = room.place("door");
  EXPECT_FALSE(map->getMultiGridMap()->inDanger(door.x, door.y, 0));
  EXPECT_EQ(layers->raw_cost[layers->index(door.x, 5)], LETHAL_OBSTACLE);

  try {
    hooks::makeGridMapFromYaml("global", (dir / "bad.yaml").string());
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("bad.yaml"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("'resolution'"), std::string::npos);
  }
  EXPECT_THROW(hooks::makeGridMapFromYaml("global", (dir / "none.yaml").string()),
               std::runtime_error);
  fs::remove_all(dir);
}

class LocationCoverter : public ::testing::Test {
 protected:
  // Local map: 40 x 40 cells of 5 cm from (1, 1). Zone map: 50 x 30 cells
  // of 10 cm from (0, 0).
  std::shared_ptr<GridMapROS> local_ =
      hooks::makeGridMap("local", test_support::drawEmptyRoom(40, 40).image, 0.05, 1.0, 1.0);
  std::shared_ptr<GridMapROS> zone_ =
      hooks::makeGridMap("zone", test_support::drawEmptyRoom(50, 30).image, 0.1, 0.0, 0.0);
};

TEST_F(LocationCoverter, AgreesWithTheCostmapsOwnConversions) {
  GridmapLocationCoverter coverter(local_, zone_);
  ASSERT_TRUE(coverter.updateOrigin());
  const auto* local = local_->getMultiGridMap()->getCostmap();
  const auto* zone = zone_->getMultiGridMap()->getCostmap();
  for (unsigned int y = 0; y < 40; ++y) {
    for (unsigned int x = 0; x < 40; ++x) {
      double wx = 0.0;
      double wy = 0.0;
      local->mapToWorld(x, y, wx, wy);
      unsigned int eu = 0;
      unsigned int ev = 0;
      const bool expected = zone->worldToMap(wx, wy, eu, ev);
      unsigned int u = 0;
      unsigned int v = 0;
      ASSERT_EQ(coverter.firstToSecondMap(x, y, u, v), expected) << x << "," << y;
      if (expected) {
        EXPECT_EQ(u, eu);
        EXPECT_EQ(v, ev);
      }
    }
  }
  unsigned int u = 0;
  unsigned int v = 0;
  // Local (0, 0) is at (1.025, 1.025): zone cell (10, 10). Zone (29, 29) is
  // at (2.95, 2.95), just inside the local map, which ends at 3.0.
  ASSERT_TRUE(coverter.firstToSecondMap(0, 0, u, v));
  EXPECT_EQ(u, 10u);
  EXPECT_EQ(v, 10u);
  ASSERT_TRUE(coverter.secondToFirstMap(29, 29, u, v));
  EXPECT_EQ(u, 39u);
  EXPECT_EQ(v, 39u);
  EXPECT_FALSE(coverter.secondToFirstMap(30, 29, u, v));
  EXPECT_FALSE(coverter.secondToFirstMap(9, 15, u, v));
  EXPECT_FALSE(coverter.firstToSecondMap(40, 0, u, v));
}

TEST_F(LocationCoverter, FollowsAMovedMapOnlyAfterUpdateOrigin) {
  GridmapLocationCoverter coverter(local_, zone_);
  hooks::replaceStaticMap(*zone_, hooks::occupancyGridFromDrawing(
                                      test_support::drawEmptyRoom(50, 30).image, 0.1, 0.5, 0.0));
  zone_->getMultiGridMap()->updateMap();
  unsigned int u = 0;
  unsigned int v = 0;
  ASSERT_TRUE(coverter.firstToSecondMap(0, 0, u, v));
  EXPECT_EQ(u, 10u);
  ASSERT_TRUE(coverter.updateOrigin());
  ASSERT_TRUE(coverter.firstToSecondMap(0, 0, u, v));
  EXPECT_EQ(u, 5u);
}

TEST_F(LocationCoverter, RefusesMapsInDifferentFrames) {
  GridMapParams params;
  params.global_frame = "odom";
  auto odom = hooks::makeGridMap("odom_map", test_support::drawEmptyRoom(40, 40).image, 0.05, 1.0,
                                 1.0, params);
  GridmapLocationCoverter coverter(local_, odom);
  EXPECT_FALSE(coverter.updateOrigin());
  unsigned int u = 0;
  unsigned int v = 0;
  EXPECT_FALSE(coverter.firstToSecondMap(5, 5, u, v));
  GridmapLocationCoverter missing(local_, nullptr);
  EXPECT_FALSE(missing.firstToSecondMap(5, 5, u, v));
}

}  // namespace

namespace {

// Cleaned floor reaches the master costmap as at least inscribed cost, survives rebuilds of the
// layers beneath (whose own costs stay as they were), and goes with a reset; cells off the map
// are ignored.
TEST(GridMapROS, CoveredCellsShowOnTheMasterUntilTheLayersAreReset) {
  using nav2_costmap_2d::FREE_SPACE;
  using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
  const auto map = hooks::makeGridMap("zone", test_support::drawEmptyRoom(40, 40).image, 0.05);
  const auto grid = map->getMultiGridMap();
  const auto cost = [&](unsigned int x, unsigned int y) {
    return map->getCostmapROS()->getCostmap()->getCost(x, y);
  };
  ASSERT_EQ(cost(20, 20), FREE_SPACE);
  grid->queueCoveredCells({{20, 20}, {30, 30}, {400, 3}, {3, 400}});
  EXPECT_EQ(cost(20, 20), FREE_SPACE) << "applied with the next update";
  map->getCostmapROS()->updateMap();
  EXPECT_EQ(cost(20, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(cost(30, 30), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(cost(22, 20), FREE_SPACE);
  EXPECT_EQ(grid->getLayers()->cost[20 * 40 + 20], FREE_SPACE) << "the layers beneath keep theirs";

  // An obstacle edit rebuilds the layers; the coverage is laid over the new costs.
  hooks::markObstacleCells(*map, {{20, 20}, {10, 10}}, ObsTypeBitMap::DYNAMIC_OBSTACLE);
  map->getCostmapROS()->updateMap();
  EXPECT_EQ(cost(20, 20), LETHAL_OBSTACLE) << "a higher cost stays";
  EXPECT_EQ(cost(30, 30), INSCRIBED_INFLATED_OBSTACLE);

  map->getCostmapROS()->resetLayers();
  map->getCostmapROS()->updateMap();
  EXPECT_EQ(cost(30, 30), grid->getLayers()->cost[30 * 40 + 30]) << "forgotten with the reset";
  EXPECT_LT(cost(30, 30), INSCRIBED_INFLATED_OBSTACLE);
}

// A host's map kept in a static object: made before the process's ROS registries, so it goes
// after them at exit, its tf listener's thread still running.
std::shared_ptr<GridMapROS> g_kept_map;

TEST(GridMapROSDeathTest, MapKeptInAStaticObjectGoesQuietlyAtExit) {
  EXPECT_EXIT(
      {
        g_kept_map = hooks::makeGridMap("kept", test_support::drawEmptyRoom(40, 40).image, 0.05);
        hooks::placeRobot(*g_kept_map, 1.0, 0.5, 0.0);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
