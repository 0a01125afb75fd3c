#ifndef TESTS__SUPPORT__TEXT_MAP_HPP_
#define TESTS__SUPPORT__TEXT_MAP_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

// Grid maps drawn as text, for the tests of planners and of the path toolbox: rows[0] is cell
// row 0 (the lowest y); '#' is a wall, '?' unknown, anything else free. Cells are 0.1 m and the
// origin lies half a cell below zero, so cell (i, j) is centred on (0.1 i, 0.1 j).
namespace test_support {

constexpr double kTextCell = 0.1;
constexpr double kTextOrigin = -0.05;

// A square robot of the given half size, inflated no farther than its inscribed radius.
inline vantrell_nav2_gridmap::GridMapParams squareRobot(double half) {
  vantrell_nav2_gridmap::GridMapParams params;
  params.footprint.clear();
  for (const auto& corner : {cv::Point2d(half, half), cv::Point2d(half, -half),
                             cv::Point2d(-half, -half), cv::Point2d(-half, half)}) {
    geometry_msgs::msg::Point point;
    point.x = corner.x;
    point.y = corner.y;
    params.footprint.push_back(point);
  }
  params.inflation_radius = 0.0;
  return params;
}

// A robot of 2 x 2 cm: only wall and unknown cells are in danger and carry a cost, so tests
// place blocked cells exactly.
inline vantrell_nav2_gridmap::GridMapParams pointRobot() { return squareRobot(0.01); }

// The drawn grid map, its layers ready on return.
inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> drawnGrid(
    const std::vector<std::string>& rows, const std::string& name = "global",
    const vantrell_nav2_gridmap::GridMapParams& params = pointRobot()) {
  namespace hooks = vantrell_nav2_gridmap::testing;
  auto map = hooks::makeGridMap(name, hooks::drawingFromRows(rows), kTextCell, kTextOrigin,
                                kTextOrigin, params);
  map->getMultiGridMap()->updateMap();
  return map;
}

inline std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> drawnGrid(
    const std::vector<std::string>& rows, const vantrell_nav2_gridmap::GridMapParams& params) {
  return drawnGrid(rows, "global", params);
}

// Rows of width x height free cells.
inline std::vector<std::string> freeRows(int width, int height) {
  return std::vector<std::string>(static_cast<size_t>(height),
                                  std::string(static_cast<size_t>(width), '.'));
}

// Free rows with walls at the given columns of row `row`.
inline std::vector<std::string> rowsWithWalls(int width, int height, int row,
                                              const std::vector<int>& wall_columns) {
  auto rows = freeRows(width, height);
  for (const int column : wall_columns) {
    rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = '#';
  }
  return rows;
}

}  // namespace test_support

#endif  // TESTS__SUPPORT__TEXT_MAP_HPP_
