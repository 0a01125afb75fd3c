#include "planning/local_planning/coverage/coverage_steps.hpp"

#include <opencv2/imgproc.hpp>
#include <optional>
#include <sstream>

#include "logger/logger.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "planning/zone_raster.hpp"

namespace planning {
namespace coverage {

namespace {

// A zone needs three corners to enclose anything.
constexpr std::size_t kLeastZoneCells = 3;
// A zone's corners named in a line; a longer zone is named by these and its corner count.
constexpr std::size_t kNamedCorners = 4;

std::string zoneText(const geometry_msgs::msg::Polygon& zone) {
  std::ostringstream text;
  text << "[";
  for (std::size_t i = 0; i < zone.points.size() && i < kNamedCorners; ++i) {
    text << (i == 0 ? "(" : ", (") << zone.points[i].x << ", " << zone.points[i].y << ")";
  }
  if (zone.points.size() > kNamedCorners) {
    text << ", ... " << zone.points.size() << " corners";
  }
  text << "]";
  return text.str();
}

// Whether a cell of the zone's inside is floor: the cells its outline is drawn on are its
// border, and a zone that is nothing but border (a line, a point, a sliver under two cells wide)
// has no floor to clean.
std::optional<std::string> insideFault(const std::vector<cv::Point>& outline,
                                       const nav2_costmap_2d::Costmap2D& costmap) {
  const cv::Rect box = cv::boundingRect(outline);
  // One blank cell round the zone, so that the erosion takes its border at the window's edge too.
  cv::Mat inside = cv::Mat::zeros(box.height + 2, box.width + 2, CV_8UC1);
  std::vector<cv::Point> shifted;
  for (const auto& cell : outline) {
    shifted.emplace_back(cell.x - box.x + 1, cell.y - box.y + 1);
  }
  fillZone(shifted, inside);
  cv::erode(inside, inside, cv::Mat());
  bool encloses = false;
  for (int y = 0; y < inside.rows; ++y) {
    const uint8_t* row = inside.ptr<uint8_t>(y);
    for (int x = 0; x < inside.cols; ++x) {
      if (row[x] == 0) {
        continue;
      }
      encloses = true;
      const auto mx = static_cast<unsigned int>(x - 1 + box.x);
      const auto my = static_cast<unsigned int>(y - 1 + box.y);
      if (costmap.getCost(mx, my) < nav2_costmap_2d::LETHAL_OBSTACLE) {
        return std::nullopt;
      }
    }
  }
  return encloses ? "every cell in it is an obstacle or unknown" : "it encloses no cell";
}

std::optional<std::string> floorFault(const geometry_msgs::msg::Polygon& zone,
                                      const ZoneCells& cells,
                                      const nav2_costmap_2d::Costmap2D& costmap) {
  if (cells.outline.size() < kLeastZoneCells) {
    return std::to_string(cells.outline.size()) + " of its " + std::to_string(zone.points.size()) +
           " corners lie on the map";
  }
  return insideFault(cells.outline, costmap);
}

}  // namespace

ZoneCellPolygons zoneCellPolygons(const std::vector<geometry_msgs::msg::Polygon>& polygons,
                                  const nav2_costmap_2d::Costmap2D& costmap,
                                  const std::string& owner) {
  const double resolution = costmap.getResolution();
  ZoneCellPolygons taken;
  std::ostringstream cells_text;
  if (polygons.empty()) {
    LOG_WARN("{}::updateGoal the goal has no zone to clean", owner);
  }
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    const auto& polygon = polygons[i];
    LOG_DEBUG("polygon points size is {}", polygon.points.size());
    ZoneCells cells = zoneCells(polygon, costmap);
    for (const auto& cell : cells.outline) {
      cells_text << cell.x << " " << cell.y << " ";
    }
    cells_text << "\n";
    if (const auto fault = floorFault(polygon, cells, costmap)) {
      LOG_WARN("{}::updateGoal zone {} {} has no cleanable floor: {}; dropped", owner, i + 1,
               zoneText(polygon), *fault);
      continue;
    }
    for (const auto& corner : cells.off_map) {
      LOG_WARN("{}::updateGoal zone point ({}, {}) is off the map, skipped", owner, corner.x,
               corner.y);
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
