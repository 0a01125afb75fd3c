#ifndef PLANNING__ZONE_RASTER_HPP_
#define PLANNING__ZONE_RASTER_HPP_

// Zones drawn on a costmap's cells: a zone polygon in world coordinates becomes a cell outline
// and a filled mask, and a grid becomes an image by a test of each cell. The images have the
// costmap's cell geometry: 8-bit, one channel, row = cell y, column = cell x.

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace planning {

inline constexpr uint8_t kRasterSet = 255;
inline constexpr uint8_t kRasterClear = 0;

/// A zone polygon as cells of one costmap.
struct ZoneCells {
  /// The cells of the corners that lie on the map, in the zone's order (x = column, y = row).
  std::vector<cv::Point> outline;
  /// The corners left out, in the zone's order: not a number, infinite, or off the map.
  std::vector<geometry_msgs::msg::Point32> off_map;
};

/**
 * The cells of the zone's corners (or of any points), each by Costmap2D::worldToMap of its x and
 * y widened to double. A corner that is not finite or lies off the map is never converted (the
 * conversion is not defined for it) but kept in off_map; whether the zone still serves without
 * it is the caller's rule.
 */
ZoneCells zoneCells(const std::vector<geometry_msgs::msg::Point32>& zone,
                    const nav2_costmap_2d::Costmap2D& costmap);
ZoneCells zoneCells(const geometry_msgs::msg::Polygon& zone,
                    const nav2_costmap_2d::Costmap2D& costmap);

/// Sets every pixel inside and on the polygon `outline` (filled, 8-connected) to `value` in
/// `image`; the rest of the image is left as it is. Nothing for an empty outline.
void fillZone(const std::vector<cv::Point>& outline, cv::Mat& image, uint8_t value = kRasterSet);

/// An image of `size_x` x `size_y` cells: kRasterSet where `is_set(mx, my)` holds, kRasterClear
/// elsewhere. `is_set` is asked once per cell, in row-major order.
template <typename CellTest>
cv::Mat gridImage(unsigned int size_x, unsigned int size_y, CellTest is_set) {
  cv::Mat image(static_cast<int>(size_y), static_cast<int>(size_x), CV_8UC1);
  for (unsigned int my = 0; my < size_y; ++my) {
    auto* row = image.ptr<uint8_t>(static_cast<int>(my));
    for (unsigned int mx = 0; mx < size_x; ++mx) {
      row[mx] = is_set(mx, my) ? kRasterSet : kRasterClear;
    }
  }
  return image;
}

}  // namespace planning

#endif  // PLANNING__ZONE_RASTER_HPP_
