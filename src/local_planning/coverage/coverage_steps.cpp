#include "planning/local_planning/coverage/coverage_steps.hpp"

#include <opencv2/imgproc.hpp>
#include <sstream>

#include "logger/logger.hpp"
#include "planning/zone_raster.hpp"

namespace planning {
namespace coverage {

namespace {

// A zone needs three corners to enclose anything.
constexpr std::size_t kLeastZoneCells = 3;

}  // namespace

ZoneCellPolygons zoneCellPolygons(const std::vector<geometry_msgs::msg::Polygon>& polygons,
                                  const nav2_costmap_2d::Costmap2D& costmap,
                                  const std::string& owner) {
  const double resolution = costmap.getResolution();
  ZoneCellPolygons taken;
  std::ostringstream cells_text;
  for (const auto& polygon : polygons) {
    LOG_DEBUG("polygon points size is {}", polygon.points.size());
    ZoneCells cells = zoneCells(polygon, costmap);
    for (const auto& corner : cells.off_map) {
      LOG_WARN("{}::updateGoal zone point ({}, {}) is off the map, skipped", owner, corner.x,
               corner.y);
    }
    for (const auto& cell : cells.outline) {
      cells_text << cell.x << " " << cell.y << " ";
    }
    cells_text << "\n";
    if (cells.outline.size() < kLeastZoneCells) {
      LOG_WARN("{}::updateGoal a zone with {} cells on the map is dropped", owner,
               cells.outline.size());
      continue;
    }
    const double area = cv::contourArea(cells.outline) * resolution * resolution;
    LOG_DEBUG("polygon area is {}", area);
    taken.area += area;
    taken.zones.push_back(std::move(cells.outline));
  }
  taken.cells_text = cells_text.str();
  return taken;
}

double secondsBetween(std::chrono::system_clock::time_point from,
                      std::chrono::system_clock::time_point to) {
  return static_cast<double>(
             std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count()) /
         1000.0;
}

double drawCoveredArea(const nav2_costmap_2d::Costmap2D& costmap,
                       const std::vector<geometry_msgs::msg::Point32>& points, int thickness,
                       cv::Mat& mask, const std::string& owner) {
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  if (mask.rows != rows || mask.cols != cols || mask.type() != CV_8UC1) {
    mask = cv::Mat::zeros(rows, cols, CV_8UC1);
  }
  mask.setTo(0);
  const ZoneCells covered = zoneCells(points, costmap);
  const std::vector<cv::Point>& cells = covered.outline;
  if (!covered.off_map.empty()) {
    LOG_WARN("{}::calculateCleaningEfficiency {} covered points off the map", owner,
             covered.off_map.size());
  }
  if (!cells.empty()) {
    const cv::Point* first = cells.data();
    const int count = static_cast<int>(cells.size());
    cv::polylines(mask, &first, &count, 1, false, cv::Scalar(255), thickness, cv::LINE_4, 0);
  }
  const double resolution = costmap.getResolution();
  return cv::countNonZero(mask) * resolution * resolution;
}

}  // namespace coverage
}  // namespace planning
