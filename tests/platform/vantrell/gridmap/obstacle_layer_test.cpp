#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "geometry_msgs/msg/polygon.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

using nav2_costmap_2d::FREE_SPACE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_gridmap::ObsTypeBitMap;
namespace hooks = vantrell_nav2_gridmap::testing;

geometry_msgs::msg::Polygon rectangle(double x0, double y0, double x1, double y1) {
  geometry_msgs::msg::Polygon polygon;
  for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) {
    geometry_msgs::msg::Point32 p;
    p.x = static_cast<float>(x);
    p.y = static_cast<float>(y);
    polygon.points.push_back(p);
  }
  return polygon;
}

class ObstacleLayer : public ::testing::Test {
 protected:
  uint32_t typesAt(unsigned int mx, unsigned int my) const {
    ObsTypeBitMap types;
    grid_->getObstacleType(mx, my, types);
    return types.value();
  }

  // 80 x 60 cells of 5 cm, origin at (1, -1).
  std::shared_ptr<GridMapROS> map_ = hooks::makeGridMap(
      "obstacles", test_support::drawEmptyRoom(80, 60, 0.05).image, 0.05, 1.0, -1.0);
  std::shared_ptr<vantrell_nav2_gridmap::MultiGridMap> grid_ = map_->getMultiGridMap();
};

TEST_F(ObstacleLayer, MarkedCellsBlockAndCarryTheirTypesFromTheNextUpdate) {
  hooks::markObstacleCells(*map_, {{20, 30}, {21, 30}}, ObsTypeBitMap::WHEELCHAIR);
  EXPECT_EQ(typesAt(20, 30), 0u);
  EXPECT_EQ(grid_->getCost(20, 30, false), FREE_SPACE);

  ASSERT_TRUE(grid_->updateMap());
  EXPECT_EQ(typesAt(20, 30), ObsTypeBitMap::WHEELCHAIR);
  EXPECT_EQ(typesAt(21, 30), ObsTypeBitMap::WHEELCHAIR);
  EXPECT_EQ(typesAt(22, 30), 0u);
  EXPECT_EQ(grid_->getCost(21, 30, false), LETHAL_OBSTACLE);
  EXPECT_EQ(grid_->getDistance(21, 30), 0.0);
  EXPECT_TRUE(grid_->inDanger(23, 30, 0));
  EXPECT_EQ(grid_->getCostmap()->getCost(20, 30), LETHAL_OBSTACLE);
}

TEST_F(ObstacleLayer, MarkingsThatDoNotBlockOnlyAddTypes) {
  hooks::markObstacleCells(*map_, {{40, 20}}, ObsTypeBitMap::MILK, false);
  hooks::markObstacleCells(*map_, {{40, 20}}, ObsTypeBitMap::CARPET, false);
  grid_->updateMap();
  EXPECT_EQ(typesAt(40, 20), ObsTypeBitMap::MILK | ObsTypeBitMap::CARPET);
  EXPECT_EQ(grid_->getCost(40, 20, false), FREE_SPACE);
  EXPECT_FALSE(grid_->inDanger(40, 20, 0));

  // A later blocking mark on the same cell keeps the earlier types.
  hooks::markObstacleCells(*map_, {{40, 20}}, ObsTypeBitMap::DYNAMIC_OBSTACLE);
  grid_->updateMap();
  ObsTypeBitMap types;
  grid_->getObstacleType(40, 20, types);
  EXPECT_TRUE(types.any(ObsTypeBitMap::DYNAMIC_OBSTACLE));
  EXPECT_TRUE(types.any(ObsTypeBitMap::MILK));
  EXPECT_FALSE(types.any(ObsTypeBitMap::HOSPITAL_BED | ObsTypeBitMap::WHEELCHAIR));
  EXPECT_EQ(grid_->getCost(40, 20, false), LETHAL_OBSTACLE);
}

TEST_F(ObstacleLayer, QueryAddsToTheCallersBitsAndLeavesThemOffTheMap) {
  hooks::markObstacleCells(*map_, {{10, 10}}, ObsTypeBitMap::FLOOR_LAMP);
  grid_->updateMap();
  ObsTypeBitMap types;
  types.set(ObsTypeBitMap::ESCALATOR_ENTRANCE);
  grid_->getObstacleType(10, 10, types);
  EXPECT_EQ(types.value(), ObsTypeBitMap::ESCALATOR_ENTRANCE | ObsTypeBitMap::FLOOR_LAMP);
  grid_->getObstacleType(80, 10, types);
  grid_->getObstacleType(10, 4000000000u, types);
  EXPECT_EQ(types.value(), ObsTypeBitMap::ESCALATOR_ENTRANCE | ObsTypeBitMap::FLOOR_LAMP);
  types.reset();
  EXPECT_FALSE(types.any(0xffffffffu));
}

TEST_F(ObstacleLayer, PolygonCoversTheCellsWhoseCentreLiesInside) {
  // x from 2.0 to 2.5 and y from 0.0 to 0.3 in the map frame: columns 20..29
  // and rows 20..25 with the origin at (1, -1).
  hooks::markObstaclePolygon(*map_, rectangle(2.0, 0.0, 2.5, 0.3), ObsTypeBitMap::HOSPITAL_BED);
  grid_->updateMap();
  for (unsigned int my = 18; my <= 27; ++my) {
    for (unsigned int mx = 18; mx <= 31; ++mx) {
      const bool inside = mx >= 20 && mx <= 29 && my >= 20 && my <= 25;
      EXPECT_EQ(typesAt(mx, my) == ObsTypeBitMap::HOSPITAL_BED, inside) << mx << "," << my;
      EXPECT_EQ(grid_->getCost(mx, my, true) == LETHAL_OBSTACLE, inside) << mx << "," << my;
    }
  }
}

TEST_F(ObstacleLayer, PolygonPartlyOffTheMapIsClipped) {
  // Reaches past the lower-left corner of the map.
  hooks::markObstaclePolygon(*map_, rectangle(0.0, -3.0, 1.12, -0.88), ObsTypeBitMap::CARPET,
                             false);
  grid_->updateMap();
  EXPECT_EQ(typesAt(0, 0), ObsTypeBitMap::CARPET);
  EXPECT_EQ(typesAt(1, 1), ObsTypeBitMap::CARPET);
  EXPECT_EQ(typesAt(2, 0), 0u);
  EXPECT_EQ(typesAt(0, 2), 0u);
}

TEST_F(ObstacleLayer, ClearingRemovesObstaclesAndTypes) {
  hooks::markObstacleCells(*map_, {{30, 30}, {31, 30}, {50, 40}}, ObsTypeBitMap::WHEELCHAIR);
  grid_->updateMap();
  hooks::clearObstacleCells(*map_, {{30, 30}});
  grid_->updateMap();
  EXPECT_EQ(typesAt(30, 30), 0u);
  EXPECT_EQ(grid_->getCost(30, 30, true), FREE_SPACE);
  EXPECT_EQ(typesAt(31, 30), ObsTypeBitMap::WHEELCHAIR);

  hooks::clearObstaclePolygon(*map_, rectangle(3.4, 0.9, 3.6, 1.1));
  grid_->updateMap();
  EXPECT_EQ(typesAt(50, 40), 0u);

  hooks::clearObstacles(*map_);
  grid_->updateMap();
  EXPECT_EQ(typesAt(31, 30), 0u);
  EXPECT_EQ(grid_->getCost(31, 30, false), FREE_SPACE);
}

TEST_F(ObstacleLayer, EveryTypeBitTheLayerHoldsIsKeptAndOthersAreRefused) {
  const uint32_t all_types = ObsTypeBitMap::DYNAMIC_OBSTACLE | ObsTypeBitMap::MILK |
                             ObsTypeBitMap::CARPET | ObsTypeBitMap::ESCALATOR_ENTRANCE |
                             ObsTypeBitMap::FLOOR_LAMP | ObsTypeBitMap::WHEELCHAIR |
                             ObsTypeBitMap::HOSPITAL_BED;
  hooks::markObstacleCells(*map_, {{12, 12}}, all_types, false);
  hooks::markObstacleCells(*map_, {{13, 12}}, 0x7fff);
  try {
    hooks::markObstacleCells(*map_, {{14, 12}}, 0x18000 | ObsTypeBitMap::MILK);
    ADD_FAILURE() << "types beyond the layer were taken";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(),
                 "obstacle type bits 0x18000 are beyond the obstacle layer, which holds types up "
                 "to 0x4000");
  }
  // Clearing takes no types, whatever the edit carries.
  vantrell_nav2_gridmap::ObstacleEdit clear;
  clear.action = vantrell_nav2_gridmap::ObstacleEdit::Action::CLEAR;
  clear.cells = {{15, 12}};
  clear.types = 0xffffffffu;
  EXPECT_NO_THROW(hooks::MultiGridMapAccess::queue(*grid_, clear));
  grid_->updateMap();
  EXPECT_EQ(typesAt(12, 12), all_types);
  EXPECT_EQ(grid_->getCost(12, 12, true), FREE_SPACE);
  EXPECT_EQ(typesAt(13, 12), 0x7fffu);
  EXPECT_EQ(grid_->getCost(13, 12, true), LETHAL_OBSTACLE);
  EXPECT_EQ(typesAt(14, 12), 0u);
  EXPECT_EQ(grid_->getCost(14, 12, true), FREE_SPACE);
}

TEST_F(ObstacleLayer, AnEditLeavesSnapshotsTakenBeforeItAlone) {
  hooks::markObstacleCells(*map_, {{25, 25}}, ObsTypeBitMap::CARPET, false);
  grid_->updateMap();
  const auto before = grid_->getLayers();
  hooks::markObstacleCells(*map_, {{25, 25}, {26, 25}}, ObsTypeBitMap::WHEELCHAIR);
  hooks::clearObstacleCells(*map_, {{27, 25}});
  grid_->updateMap();
  const auto after = grid_->getLayers();
  EXPECT_EQ(before->obstacleTypes(before->index(25, 25)), ObsTypeBitMap::CARPET);
  EXPECT_EQ(before->obstacleTypes(before->index(26, 25)), 0u);
  EXPECT_EQ(before->raw_cost[before->index(26, 25)], FREE_SPACE);
  EXPECT_EQ(after->obstacleTypes(after->index(25, 25)),
            ObsTypeBitMap::CARPET | ObsTypeBitMap::WHEELCHAIR);
  EXPECT_EQ(after->raw_cost[after->index(26, 25)], LETHAL_OBSTACLE);
}

TEST_F(ObstacleLayer, CellsOffTheMapAreIgnored) {
  const auto before = grid_->getLayers();
  hooks::markObstacleCells(*map_, {{80, 0}, {0, 60}}, ObsTypeBitMap::MILK);
  grid_->updateMap();
  // Nothing changed, so no new snapshot was needed.
  EXPECT_EQ(grid_->getLayers(), before);
}

TEST_F(ObstacleLayer, NewMapOfAnotherSizeDropsObstacles) {
  hooks::markObstacleCells(*map_, {{5, 5}}, ObsTypeBitMap::MILK, false);
  grid_->updateMap();
  hooks::replaceStaticMap(
      *map_, hooks::occupancyGridFromDrawing(test_support::drawEmptyRoom(30, 20).image, 0.1));
  EXPECT_EQ(grid_->getCostmap()->getSizeInCellsX(), 80u);
  grid_->updateMap();
  EXPECT_EQ(grid_->getCostmap()->getSizeInCellsX(), 30u);
  EXPECT_EQ(grid_->getCostmap()->getSizeInCellsY(), 20u);
  EXPECT_DOUBLE_EQ(grid_->getCostmap()->getResolution(), static_cast<float>(0.1));
  EXPECT_EQ(typesAt(5, 5), 0u);
  EXPECT_EQ(grid_->getCostmap()->getCost(0, 0), LETHAL_OBSTACLE);
}

TEST_F(ObstacleLayer, NewMapOfTheSameSizeKeepsObstacles) {
  hooks::markObstacleCells(*map_, {{5, 5}}, ObsTypeBitMap::MILK, false);
  grid_->updateMap();
  auto drawn = test_support::drawEmptyRoom(80, 60, 0.05).image;
  drawn.at<uint8_t>(30, 40) = test_support::kWall;
  hooks::replaceStaticMap(*map_, hooks::occupancyGridFromDrawing(drawn, 0.05, 1.0, -1.0));
  grid_->updateMap();
  EXPECT_EQ(typesAt(5, 5), ObsTypeBitMap::MILK);
  EXPECT_EQ(grid_->getCost(40, 30, true), LETHAL_OBSTACLE);
}

}  // namespace
