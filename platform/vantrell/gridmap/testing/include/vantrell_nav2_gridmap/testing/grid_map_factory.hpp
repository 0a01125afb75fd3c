#ifndef VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_FACTORY_HPP_
#define VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_FACTORY_HPP_

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "nav2_map_server/map_io.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

// Host and test hooks: grid maps from a drawn picture, an occupancy grid or a
// map YAML file. Never included by library code.
//
// A drawn map is an 8-bit, single-channel cv::Mat with one pixel per cell and
// row = cell y, column = cell x (not flipped like a map image file). Pixels
// are read like a map file's: dark (0..89) is occupied, light (206..255) is
// free, anything between is unknown.
namespace vantrell_nav2_gridmap {
namespace testing {

constexpr uint8_t kDrawnOccupied = 0;
constexpr uint8_t kDrawnUnknown = 205;
constexpr uint8_t kDrawnFree = 255;

inline int8_t occupancyOfDrawnPixel(uint8_t pixel) {
  // The thresholds of a standard map file: occupied above 0.65, free below 0.196.
  const double occ = (255.0 - pixel) / 255.0;
  if (occ > 0.65) {
    return 100;
  }
  if (occ < 0.196) {
    return 0;
  }
  return -1;
}

// A picture drawn as text, one string a row: rows[0] is cell row 0 (lowest y);
// '#' is occupied, '?' unknown, anything else free. Rows may differ in length;
// the picture is as wide as the first.
inline cv::Mat drawingFromRows(const std::vector<std::string>& rows) {
  if (rows.empty() || rows.front().empty()) {
    throw std::invalid_argument("a drawn map needs at least one row and one column");
  }
  cv::Mat drawn(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()), CV_8UC1,
                cv::Scalar(kDrawnFree));
  for (int y = 0; y < drawn.rows; ++y) {
    const std::string& row = rows[static_cast<size_t>(y)];
    for (int x = 0; x < drawn.cols && x < static_cast<int>(row.size()); ++x) {
      uint8_t pixel = kDrawnFree;
      if (row[static_cast<size_t>(x)] == '#') {
        pixel = kDrawnOccupied;
      } else if (row[static_cast<size_t>(x)] == '?') {
        pixel = kDrawnUnknown;
      }
      drawn.at<uint8_t>(y, x) = pixel;
    }
  }
  return drawn;
}

inline nav_msgs::msg::OccupancyGrid occupancyGridFromDrawing(const cv::Mat& drawn,
                                                             double resolution,
                                                             double origin_x = 0.0,
                                                             double origin_y = 0.0) {
  if (drawn.empty() || drawn.type() != CV_8UC1) {
    throw std::invalid_argument("a drawn map must be a non-empty 8-bit single-channel image");
  }
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.resolution = static_cast<float>(resolution);
  grid.info.width = static_cast<uint32_t>(drawn.cols);
  grid.info.height = static_cast<uint32_t>(drawn.rows);
  grid.info.origin.position.x = origin_x;
  grid.info.origin.position.y = origin_y;
  grid.data.resize(static_cast<size_t>(drawn.cols) * drawn.rows);
  for (int row = 0; row < drawn.rows; ++row) {
    const uint8_t* in = drawn.ptr<uint8_t>(row);
    for (int col = 0; col < drawn.cols; ++col) {
      grid.data[static_cast<size_t>(row) * drawn.cols + col] = occupancyOfDrawnPixel(in[col]);
    }
  }
  return grid;
}

inline std::shared_ptr<GridMapROS> makeGridMap(const std::string& name,
                                               const nav_msgs::msg::OccupancyGrid& grid,
                                               const GridMapParams& params = GridMapParams()) {
  return std::make_shared<GridMapROS>(name, grid, params);
}

inline std::shared_ptr<GridMapROS> makeGridMap(const std::string& name, const cv::Mat& drawn,
                                               double resolution, double origin_x = 0.0,
                                               double origin_y = 0.0,
                                               const GridMapParams& params = GridMapParams()) {
  return makeGridMap(name, occupancyGridFromDrawing(drawn, resolution, origin_x, origin_y), params);
}

// Throws std::runtime_error naming the file and the field on a bad map.
inline std::shared_ptr<GridMapROS> makeGridMapFromYaml(
    const std::string& name, const std::string& yaml_file,
    const GridMapParams& params = GridMapParams()) {
  nav_msgs::msg::OccupancyGrid grid;
  nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(yaml_file), grid);
  return makeGridMap(name, grid, params);
}

}  // namespace testing
}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__TESTING__GRID_MAP_FACTORY_HPP_
