#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_

#include <chrono>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

// The steps both coverage planners ("static_coverage_planning", "dynamic_coverage_planning") take
// alike: the zones of a goal in cells, the clock of their obstacle waits and the cleaned area of
// a task's covered points.
namespace planning {
namespace coverage {

/// OpenCV draws no thicker line.
inline constexpr int kMaxLineThickness = 32767;

/// The zones of a coverage goal as polygons of cells of the zone map.
struct ZoneCellPolygons {
  /// The zones that keep floor on the map, their corners in order.
  std::vector<std::vector<cv::Point>> zones;
  /// Their area in square metres.
  double area{0.0};
  /// "mx my " for every cell taken, one line per zone of the goal.
  std::string cells_text;
};

/**
 * The goal's zone polygons in cells of `costmap`. A zone that overhangs the map is the part of
 * its polygon on the map, cut along the map's edges; corners that are not finite numbers are left
 * out. A zone with no cleanable floor (none of it on the map, fewer than three corners, no cell
 * inside its outline, or none inside that is not an obstacle or unknown) is dropped with one WARN
 * "<owner>::updateGoal zone <n> [corners] has no cleanable floor: <why>; dropped"; a goal without
 * zones gets one WARN too. In a zone that is kept, each corner off the map gives a WARN
 * "<owner>::updateGoal zone point (x, y) is off the map, the zone is cut at the map's edge" (or
 * "is not a finite number, skipped"). Each zone's corner count and area are DEBUG lines.
 */
ZoneCellPolygons zoneCellPolygons(const std::vector<geometry_msgs::msg::Polygon>& polygons,
                                  const nav2_costmap_2d::Costmap2D& costmap,
                                  const std::string& owner);

/// Seconds from `from` to `to`, counted in whole milliseconds.
double secondsBetween(std::chrono::system_clock::time_point from,
                      std::chrono::system_clock::time_point to);

/**
 * Draws the covered points, in order, as one open 4-connected line `thickness` cells wide
 * (1 to kMaxLineThickness) into `mask`, which takes the costmap's size and is cleared first, and
 * returns the area of the marked cells in square metres. Points off the costmap are left out,
 * with one WARN naming `owner`: a made-up cell would count floor that was never swept.
 */
double drawCoveredArea(const nav2_costmap_2d::Costmap2D& costmap,
                       const std::vector<geometry_msgs::msg::Point32>& points, int thickness,
                       cv::Mat& mask, const std::string& owner);

}  // namespace coverage
}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_
