#include "planning/zone_raster.hpp"

#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace planning {

namespace {

// Whether a coordinate lies within [origin, origin + cells * resolution). NaN, infinities and
// values like 1e30 fail here, before a conversion to a cell, which is not defined for them.
bool withinMap(double value, double origin, unsigned int cells, double resolution) {
  return std::isfinite(value) && value >= origin &&
         value < origin + static_cast<double>(cells) * resolution;
}

}  // namespace

ZoneCells zoneCells(const std::vector<geometry_msgs::msg::Point32>& zone,
                    const nav2_costmap_2d::Costmap2D& costmap) {
  ZoneCells cells;
  cells.outline.reserve(zone.size());
  const double resolution = costmap.getResolution();
  for (const auto& corner : zone) {
    const double x = static_cast<double>(corner.x);
    const double y = static_cast<double>(corner.y);
    unsigned int mx = 0;
    unsigned int my = 0;
    if (withinMap(x, costmap.getOriginX(), costmap.getSizeInCellsX(), resolution) &&
        withinMap(y, costmap.getOriginY(), costmap.getSizeInCellsY(), resolution) &&
        costmap.worldToMap(x, y, mx, my)) {
      cells.outline.emplace_back(static_cast<int>(mx), static_cast<int>(my));
    } else {
      cells.off_map.push_back(corner);
    }
  }
  return cells;
}

ZoneCells zoneCells(const geometry_msgs::msg::Polygon& zone,
                    const nav2_costmap_2d::Costmap2D& costmap) {
  return zoneCells(zone.points, costmap);
}

void fillZone(const std::vector<cv::Point>& outline, cv::Mat& image, uint8_t value) {
  if (outline.empty()) {
    return;
  }
  const std::vector<std::vector<cv::Point>> contours{outline};
  cv::drawContours(image, contours, 0, cv::Scalar(value), cv::FILLED, cv::LINE_8, cv::noArray(),
                   INT_MAX, cv::Point(0, 0));
}

}  // namespace planning
