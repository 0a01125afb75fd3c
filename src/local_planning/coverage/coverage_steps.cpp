#include "planning/local_planning/coverage/coverage_steps.hpp"

#include <algorithm>
#include <cmath>
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
                                      const std::vector<cv::Point>& outline,
                                      std::size_t corners_on_map,
                                      const nav2_costmap_2d::Costmap2D& costmap) {
  if (outline.size() < kLeastZoneCells) {
    return std::to_string(corners_on_map) + " of its " + std::to_string(zone.points.size()) +
           " corners lie on the map";
  }
  return insideFault(outline, costmap);
}

// One edge of the map's rectangle and the side of it the map lies on.
struct MapSide {
  bool along_x;
  double bound;
  // +1: the map lies at and above the bound; -1: at and below it.
  double sign;

  double depth(const cv::Point2d& point) const {
    return sign * ((along_x ? point.x : point.y) - bound);
  }
};

// The part of `polygon` on the map's side of `side` (a Sutherland-Hodgman step). Where the
// polygon leaves the map and comes back, the kept part runs along the edge between the two
// crossings; such a run has no area.
std::vector<cv::Point2d> clipToSide(const std::vector<cv::Point2d>& polygon, const MapSide& side) {
  std::vector<cv::Point2d> kept;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const cv::Point2d& from = polygon[(i + polygon.size() - 1) % polygon.size()];
    const cv::Point2d& to = polygon[i];
    const double from_depth = side.depth(from);
    const double to_depth = side.depth(to);
    if ((from_depth >= 0.0) != (to_depth >= 0.0)) {
      cv::Point2d crossing = from + (to - from) * (from_depth / (from_depth - to_depth));
      // On the edge exactly, whatever the rounding of the line above.
      (side.along_x ? crossing.x : crossing.y) = side.bound;
      kept.push_back(crossing);
    }
    if (to_depth >= 0.0) {
      kept.push_back(to);
    }
  }
  return kept;
}

// The cell of a point on the map or on its edge: the far edges of the map belong to no cell by
// worldToMap, and are taken to the last row or column.
cv::Point edgeCell(const cv::Point2d& point, const nav2_costmap_2d::Costmap2D& costmap) {
  unsigned int mx = 0;
  unsigned int my = 0;
  if (costmap.worldToMap(point.x, point.y, mx, my)) {
    return {static_cast<int>(mx), static_cast<int>(my)};
  }
  const double resolution = costmap.getResolution();
  const auto clamped = [resolution](double offset, unsigned int cells) {
    const double last = static_cast<double>(cells) - 1.0;
    return static_cast<int>(std::clamp(std::floor(offset / resolution), 0.0, last));
  };
  return {clamped(point.x - costmap.getOriginX(), costmap.getSizeInCellsX()),
          clamped(point.y - costmap.getOriginY(), costmap.getSizeInCellsY())};
}

// The zone is the part of its polygon that lies on the map: a task manager draws zones without
// regard to where the map ends. Corners that are not finite numbers are left out: no edge runs to
// them.
std::vector<cv::Point> clippedOutline(const geometry_msgs::msg::Polygon& zone,
                                      const nav2_costmap_2d::Costmap2D& costmap) {
  if (costmap.getSizeInCellsX() == 0 || costmap.getSizeInCellsY() == 0) {
    return {};
  }
  std::vector<cv::Point2d> polygon;
  for (const auto& corner : zone.points) {
    if (std::isfinite(corner.x) && std::isfinite(corner.y)) {
      polygon.emplace_back(corner.x, corner.y);
    }
  }
  const double resolution = costmap.getResolution();
  const double x0 = costmap.getOriginX();
  const double y0 = costmap.getOriginY();
  const double x1 = x0 + static_cast<double>(costmap.getSizeInCellsX()) * resolution;
  const double y1 = y0 + static_cast<double>(costmap.getSizeInCellsY()) * resolution;
  for (const MapSide& side : {MapSide{true, x0, 1.0}, MapSide{true, x1, -1.0},
                              MapSide{false, y0, 1.0}, MapSide{false, y1, -1.0}}) {
    polygon = clipToSide(polygon, side);
  }
  std::vector<cv::Point> outline;
  for (const auto& point : polygon) {
    const cv::Point cell = edgeCell(point, costmap);
    if (outline.empty() || outline.back() != cell) {
      outline.push_back(cell);
    }
  }
  while (outline.size() > 1 && outline.back() == outline.front()) {
    outline.pop_back();
  }
  return outline;
}

void warnOffMap(const std::vector<geometry_msgs::msg::Point32>& corners, const std::string& owner) {
  for (const auto& corner : corners) {
    if (std::isfinite(corner.x) && std::isfinite(corner.y)) {
      LOG_WARN(
          "{}::updateGoal zone point ({}, {}) is off the map, the zone is cut at the map's edge",
          owner, corner.x, corner.y);
    } else {
      LOG_WARN("{}::updateGoal zone point ({}, {}) is not a finite number, skipped", owner,
               corner.x, corner.y);
    }
  }
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
    const std::size_t corners_on_map = cells.outline.size();
    if (!cells.off_map.empty()) {
      cells.outline = clippedOutline(polygon, costmap);
    }
    for (const auto& cell : cells.outline) {
      cells_text << cell.x << " " << cell.y << " ";
    }
    cells_text << "\n";
    if (const auto fault = floorFault(polygon, cells.outline, corners_on_map, costmap)) {
      LOG_WARN("{}::updateGoal zone {} {} has no cleanable floor: {}; dropped", owner, i + 1,
               zoneText(polygon), *fault);
      continue;
    }
    warnOffMap(cells.off_map, owner);
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
