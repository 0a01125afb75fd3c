#ifndef LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_
#define LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace path_product_test {

// Cell size of the drawn test maps; with the origin half a cell below zero,
// cell (i, j) is centred on (0.1 i, 0.1 j).
constexpr double kCell = 0.1;
constexpr double kOrigin = -0.05;

// A robot small enough that only wall and unknown cells are in danger and
// only they carry a cost: the tests place blocked cells exactly.
inline vantrell_nav2_gridmap::GridMapParams pointRobotParams() {
  vantrell_nav2_gridmap::GridMapParams params;
  params.footprint.clear();
  for (const auto& corner : {std::make_pair(0.01, 0.01), std::make_pair(0.01, -0.01),
                             std::make_pair(-0.01, -0.01), std::make_pair(-0.01, 0.01)}) {
    geometry_msgs::msg::Point point;
    point.x = corner.first;
    point.y = corner.second;
    params.footprint.push_back(point);
  }
  params.inflation_radius = 0.0;
  return params;
}

// A grid map drawn row by row: rows[0] is cell row 0 (lowest y); '#' is a
// wall, '?' unknown, anything else free. Its layers are ready on return.
inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> drawnGrid(
    const std::vector<std::string>& rows, const std::string& name = "path_product_test") {
  const cv::Mat drawn = vantrell_nav2_gridmap::testing::drawingFromRows(rows);
  auto map = vantrell_nav2_gridmap::testing::makeGridMap(name, drawn, kCell, kOrigin, kOrigin,
                                                         pointRobotParams());
  map->getMultiGridMap()->updateMap();
  return map;
}

// An empty room of width x height cells.
inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> freeGrid(int width, int height) {
  return drawnGrid(std::vector<std::string>(height, std::string(width, '.')));
}

// Rows of free cells with walls at the given columns of row `row`.
inline std::vector<std::string> rowsWithWalls(int width, int height, int row,
                                              const std::vector<int>& wall_columns) {
  std::vector<std::string> rows(height, std::string(width, '.'));
  for (const int column : wall_columns) {
    rows[row][column] = '#';
  }
  return rows;
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

}  // namespace path_product_test

#endif  // LOCAL_PLANNING__PATH_PRODUCT__GRID_FIXTURES_HPP_
