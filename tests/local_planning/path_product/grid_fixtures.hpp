#ifndef LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_
#define LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "planning/path_product.hpp"
#include "support/debug_log_level.hpp"
#include "support/log_capture.hpp"
#include "support/text_map.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace path_product_test {

using test_support::drawnGrid;
using test_support::logged;
using test_support::rowsWithWalls;

// An empty room of width x height cells.
inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> freeGrid(int width, int height) {
  return drawnGrid(test_support::freeRows(width, height));
}

// Marks cells with obstacle types and refreshes the layers.
inline void markTypes(vantrell_nav2_gridmap::GridMapROS& map,
                      const vantrell_nav2_gridmap::testing::Cells& cells, uint32_t types) {
  vantrell_nav2_gridmap::testing::markObstacleCells(map, cells, types, false);
  map.getMultiGridMap()->updateMap();
}

inline void clearTypes(vantrell_nav2_gridmap::GridMapROS& map) {
  vantrell_nav2_gridmap::testing::clearObstacles(map);
  map.getMultiGridMap()->updateMap();
}

// A toolbox and the log it writes to, cleared before each test.
class ToolboxTest : public ::testing::Test {
 protected:
  void SetUp() override { log_ = test_support::clearedLog(); }

  planning::PathProduct product_;
  std::shared_ptr<test_support::CaptureSink> log_;
};

}  // namespace path_product_test

#endif  // LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_
