#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

using nav2_costmap_2d::FREE_SPACE;
using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using nav2_costmap_2d::NO_INFORMATION;
using vantrell_nav2_gridmap::GridMapParams;
using vantrell_nav2_gridmap::GridMapROS;
namespace hooks = vantrell_nav2_gridmap::testing;

constexpr double kResolution = 0.05;
// The cell size as the costmap takes it, through the map message's single precision:
// 0.0500000007, so that a cell five cells from an obstacle lies just past 0.25 m.
const double kCell = static_cast<float>(kResolution);
// Default footprint: 0.6 m x 0.5 m.
constexpr double kInscribed = 0.25;
const double kCircumscribed = std::hypot(0.3, 0.25);

// What the costmap's inflation gives at a distance of d metres, written out
// from its definition rather than taken from the code under test.
uint8_t expectedInflation(double d, double inscribed, double radius, double scaling) {
  if (d == 0.0) {
    return LETHAL_OBSTACLE;
  }
  if (d <= inscribed + 1e-9) {
    return INSCRIBED_INFLATED_OBSTACLE;
  }
  if (d / kCell > std::ceil(std::max(radius, inscribed) / kCell) + 1e-9) {
    return FREE_SPACE;
  }
  return static_cast<uint8_t>(252.0 * std::exp(-scaling * (d - inscribed)));
}

// Empty 100 x 80 room with one wall pixel at (50, 40).
std::shared_ptr<GridMapROS> roomWithPillar(const GridMapParams& params = GridMapParams()) {
  auto room = test_support::drawEmptyRoom(100, 80, kResolution);
  room.image.at<uint8_t>(40, 50) = test_support::kWall;
  return hooks::makeGridMap("room", room.image, kResolution, 0.0, 0.0, params);
}

TEST(Inflation, DecaysFromLethalThroughInscribedToFree) {
  const auto map = roomWithPillar();
  const auto grid = map->getMultiGridMap();
  for (unsigned int k = 0; k <= 14; ++k) {
    const double d = k * kCell;
    EXPECT_EQ(grid->getCost(50 + k, 40, false), expectedInflation(d, kInscribed, 0.55, 10.0))
        << "k=" << k;
    EXPECT_NEAR(grid->getDistance(50 + k, 40), d, 1e-5) << "k=" << k;
  }
  // Diagonal neighbours: 5 cells (3, 4) lie just past the inscribed radius, 5 * sqrt(2) cells
  // well past it.
  EXPECT_EQ(grid->getCost(52, 44, false), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(grid->getCost(53, 44, false), expectedInflation(5 * kCell, kInscribed, 0.55, 10.0));
  EXPECT_EQ(grid->getCost(55, 45, false),
            expectedInflation(5 * std::sqrt(2.0) * kCell, kInscribed, 0.55, 10.0));
}

// Nav2 takes the resolution from the map message's float32 (0.0500000007), so the cell five cells
// from a wall lies 3.7e-9 m beyond a 0.25 m inscribed radius and costs 251; a double 0.05 would
// put it on the radius, at 253, and block it.
TEST(Inflation, CellAtTheInscribedRadiusCostsWhatNav2GivesIt) {
  const auto grid = roomWithPillar()->getMultiGridMap();
  EXPECT_EQ(grid->getCost(54, 40, false), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(grid->getCost(55, 40, false), 251);
  EXPECT_FALSE(grid->inDanger(55, 40, 0));
}

TEST(Inflation, ParametersShapeTheDecay) {
  GridMapParams params;
  params.inflation_radius = 1.0;
  params.cost_scaling_factor = 3.0;
  const auto grid = roomWithPillar(params)->getMultiGridMap();
  for (unsigned int k = 0; k <= 22; ++k) {
    EXPECT_EQ(grid->getCost(50 - k, 40, false), expectedInflation(k * kCell, kInscribed, 1.0, 3.0))
        << "k=" << k;
  }
}

TEST(Inflation, RadiusBelowTheFootprintStillCoversTheInscribedCircle) {
  GridMapParams params;
  params.inflation_radius = 0.1;
  const auto grid = roomWithPillar(params)->getMultiGridMap();
  EXPECT_EQ(grid->getCost(54, 40, false), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_TRUE(grid->inDanger(54, 40, 0));
  EXPECT_EQ(grid->getCost(55, 40, false), expectedInflation(5 * kCell, kInscribed, 0.25, 10.0));
  EXPECT_EQ(grid->getCost(56, 40, false), FREE_SPACE);
}

TEST(Inflation, RawCostIsTheCostBeforeInflation) {
  const auto grid = roomWithPillar()->getMultiGridMap();
  EXPECT_EQ(grid->getCost(50, 40, true), LETHAL_OBSTACLE);
  EXPECT_EQ(grid->getCost(52, 40, true), FREE_SPACE);
  EXPECT_EQ(grid->getCost(52, 40, false), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(grid->getCost(100, 0, false), NO_INFORMATION);
  EXPECT_EQ(grid->getCost(0, 80, true), NO_INFORMATION);
}

TEST(Inflation, ScaledMapValuesSurviveWithoutTrinaryMode) {
  auto room = test_support::drawEmptyRoom(40, 40, kResolution);
  auto grid = hooks::occupancyGridFromDrawing(room.image, kResolution);
  grid.data[20 * 40 + 20] = 50;
  GridMapParams params;
  params.trinary_costmap = false;
  EXPECT_EQ(hooks::makeGridMap("scaled", grid, params)->getMultiGridMap()->getCost(20, 20, true),
            127);
  EXPECT_EQ(hooks::makeGridMap("trinary", grid)->getMultiGridMap()->getCost(20, 20, true),
            FREE_SPACE);
}

// Walls, unknown patches and free space at random, checked cell by cell
// against a brute-force search for the nearest obstacle.
TEST(Distances, MatchABruteForceNearestObstacleSearch) {
  const int cols = 48;
  const int rows = 36;
  cv::Mat drawn(rows, cols, CV_8UC1, cv::Scalar(test_support::kFree));
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, 99);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const int roll = pick(rng);
      if (roll < 4) {
        drawn.at<uint8_t>(r, c) = test_support::kWall;
      } else if (roll < 6) {
        drawn.at<uint8_t>(r, c) = test_support::kUnknown;
      }
    }
  }
  const auto layers =
      hooks::makeGridMap("random", drawn, kResolution)->getMultiGridMap()->getLayers();

  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      double to_blocked = std::numeric_limits<double>::max();
      double to_lethal = std::numeric_limits<double>::max();
      for (int r2 = 0; r2 < rows; ++r2) {
        for (int c2 = 0; c2 < cols; ++c2) {
          const uint8_t v = drawn.at<uint8_t>(r2, c2);
          const double d = std::hypot(r - r2, c - c2) * kCell;
          if (v != test_support::kFree) {
            to_blocked = std::min(to_blocked, d);
          }
          if (v == test_support::kWall) {
            to_lethal = std::min(to_lethal, d);
          }
        }
      }
      const size_t i = layers->index(c, r);
      ASSERT_NEAR(layers->distance[i], to_blocked, 1e-5) << c << "," << r;
      const uint8_t v = drawn.at<uint8_t>(r, c);
      uint8_t expected = expectedInflation(to_lethal, kInscribed, 0.55, 10.0);
      if (v == test_support::kUnknown && expected < INSCRIBED_INFLATED_OBSTACLE) {
        expected = NO_INFORMATION;
      }
      ASSERT_EQ(layers->cost[i], expected) << c << "," << r;
    }
  }
}

TEST(Distances, MapWithoutObstaclesReportsTheDiagonal) {
  cv::Mat drawn(30, 40, CV_8UC1, cv::Scalar(test_support::kFree));
  const auto grid = hooks::makeGridMap("open", drawn, kResolution)->getMultiGridMap();
  EXPECT_NEAR(grid->getDistance(10, 10), 50 * kResolution, 1e-4);
  EXPECT_EQ(grid->getCost(10, 10, false), FREE_SPACE);
  EXPECT_EQ(grid->getDistance(40, 0), 0.0);
}

TEST(UnknownSpace, StaysUnknownUnlessTrackingIsOff) {
  auto room = test_support::drawEmptyRoom(60, 40, kResolution);
  cv::rectangle(room.image, cv::Point(30, 10), cv::Point(39, 19),
                cv::Scalar(test_support::kUnknown), cv::FILLED);
  const auto tracked = hooks::makeGridMap("tracked", room.image, kResolution)->getMultiGridMap();
  EXPECT_EQ(tracked->getCost(35, 15, false), NO_INFORMATION);
  EXPECT_TRUE(tracked->inDanger(35, 15, 0));
  EXPECT_EQ(tracked->getDistance(35, 15), 0.0);
  // Unknown space limits clearance but does not inflate.
  EXPECT_NEAR(tracked->getDistance(28, 15), 2 * kResolution, 1e-5);
  EXPECT_EQ(tracked->getCost(28, 15, false), FREE_SPACE);
  EXPECT_FALSE(tracked->inDanger(28, 15, 0));
  // An unknown cell hard against a wall is inflated over.
  cv::Mat walled = room.image.clone();
  walled.at<uint8_t>(15, 29) = test_support::kWall;
  const auto near_wall = hooks::makeGridMap("walled", walled, kResolution)->getMultiGridMap();
  EXPECT_EQ(near_wall->getCost(30, 15, false), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(near_wall->getCost(39, 15, false), NO_INFORMATION);

  GridMapParams params;
  params.track_unknown = false;
  const auto untracked =
      hooks::makeGridMap("untracked", room.image, kResolution, 0.0, 0.0, params)->getMultiGridMap();
  EXPECT_EQ(untracked->getCost(35, 15, false), FREE_SPACE);
  EXPECT_FALSE(untracked->inDanger(35, 15, 0));
  EXPECT_GT(untracked->getDistance(35, 15), 0.4);
}

TEST(Danger, LevelZeroIsTheInscribedCircleAndLevelOneTheCircumscribed) {
  const auto grid = roomWithPillar()->getMultiGridMap();
  for (unsigned int k = 0; k <= 10; ++k) {
    const double d = k * kCell;
    EXPECT_EQ(grid->inDanger(50, 40 + k, 0), d <= kInscribed + 1e-9) << "k=" << k;
    EXPECT_EQ(grid->inDanger(50, 40 + k, 1), d < kCircumscribed) << "k=" << k;
    // Levels below 0 read as 0, above 1 as 1.
    EXPECT_EQ(grid->inDanger(50, 40 + k, -3), grid->inDanger(50, 40 + k, 0));
    EXPECT_EQ(grid->inDanger(50, 40 + k, 7), grid->inDanger(50, 40 + k, 1));
  }
  EXPECT_TRUE(grid->inDanger(100, 40, 0));
  EXPECT_TRUE(grid->inDanger(50, 80, 1));
}

TEST(Danger, FollowsAFootprintChangeAtTheNextUpdate) {
  const auto map = roomWithPillar();
  const auto grid = map->getMultiGridMap();
  ASSERT_FALSE(grid->inDanger(58, 40, 0));

  std::vector<geometry_msgs::msg::Point> big(4);
  big[0].x = 0.5;
  big[0].y = 0.45;
  big[1].x = 0.5;
  big[1].y = -0.45;
  big[2].x = -0.5;
  big[2].y = -0.45;
  big[3].x = -0.5;
  big[3].y = 0.45;
  hooks::setFootprint(*map, big);
  EXPECT_FALSE(grid->inDanger(58, 40, 0));
  ASSERT_TRUE(grid->updateMap());
  EXPECT_TRUE(grid->inDanger(58, 40, 0));
  EXPECT_FALSE(grid->inDanger(60, 40, 0));
  EXPECT_NEAR(grid->getLayers()->inscribed_radius, 0.45, 1e-12);

  hooks::setFootprint(*map, {});
  grid->updateMap();
  EXPECT_TRUE(grid->inDanger(50, 40, 0));
  EXPECT_FALSE(grid->inDanger(51, 40, 0));
  EXPECT_FALSE(grid->inDanger(51, 40, 1));
}

TEST(NarrowPassage, DoorsAndGapsAreNarrowRoomsAndCorridorsAreNot) {
  const auto office = test_support::drawOfficeFloor();
  const auto grid =
      hooks::makeGridMap("office", office.image, office.resolution)->getMultiGridMap();
  auto narrow = [&](const std::string& place) {
    const cv::Point c = office.place(place);
    return grid->inNarrowPassage(c.x, c.y, 0);
  };
  EXPECT_TRUE(narrow("door_1"));
  EXPECT_TRUE(narrow("door_5"));
  EXPECT_TRUE(narrow("cabinet_gap"));
  EXPECT_FALSE(narrow("corridor_west"));
  EXPECT_FALSE(narrow("office_2"));
  EXPECT_FALSE(narrow("outside"));
  // Other modes are not defined; off the map nothing is narrow.
  const cv::Point gap = office.place("cabinet_gap");
  EXPECT_FALSE(grid->inNarrowPassage(gap.x, gap.y, 1));
  EXPECT_FALSE(grid->inNarrowPassage(400, 10, 0));
}

TEST(NarrowPassage, WidthLimitIsAParameterAndOpenEndsDoNotCount) {
  const auto rooms = test_support::drawRoomWithDoor(120, 80, 30);
  const cv::Point door = rooms.place("door");
  GridMapParams wide;
  wide.narrow_passage_width = 1.6;
  EXPECT_TRUE(hooks::makeGridMap("wide", rooms.image, kResolution, 0.0, 0.0, wide)
                  ->getMultiGridMap()
                  ->inNarrowPassage(door.x, door.y, 0));
  EXPECT_FALSE(hooks::makeGridMap("default", rooms.image, kResolution)
                   ->getMultiGridMap()
                   ->inNarrowPassage(door.x, door.y, 0));

  // A strip 20 cells (1 m) high with no walls at all: its runs reach the
  // map's edge and are not known to be closed.
  cv::Mat strip(20, 60, CV_8UC1, cv::Scalar(test_support::kFree));
  EXPECT_FALSE(hooks::makeGridMap("strip", strip, kResolution)
                   ->getMultiGridMap()
                   ->inNarrowPassage(30, 10, 0));
}

}  // namespace
