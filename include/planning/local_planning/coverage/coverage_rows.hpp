#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_ROWS_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_ROWS_HPP_

#include <array>
#include <opencv2/core.hpp>
#include <vector>

#include "planning/local_planning/contour/clean_zone_info.hpp"

// The back-and-forth rows of a zone in cells: regions in, rows (two cells each) out. The
// arithmetic is single precision where the rows' positions must match those of the robots in
// the field, double elsewhere.
namespace planning {

/// The longest edge over the closed polygons of all zones (each in its own zone-relative cells);
/// a later edge wins only when strictly longer. ((0, 0), (0, 0)) without any polygon.
std::array<cv::Point, 2> findLongestEdge(const std::vector<CleanZoneInfo>& zones);

/**
 * Rows parallel to `edge`, `spacing` cells apart, clipped to each region: region by region, top
 * row first. A row keeps half a spacing from its region's extremes and one and a half from the
 * border of a `window` sized window; it spans the extreme crossings of its band (one spacing
 * wide) with the region's outline. Each row is printed on the standard output. No rows for a
 * spacing under one cell.
 */
std::vector<std::vector<cv::Point>> generateParallelPaths(
    const std::vector<std::vector<cv::Point>>& regions, const std::array<cv::Point, 2>& edge,
    double spacing, const cv::Size& window);

/// Reduces `cells` to its two farthest cells (the first strictly farthest pair); false, the
/// list emptied, for fewer than two cells.
bool findFarthestPoints(std::vector<cv::Point>& cells);

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_ROWS_HPP_
