#include "planning_sim/floor_space.hpp"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <sstream>

#include "nav2_costmap_2d/footprint.hpp"
#include "planning_sim/coverage_measure.hpp"

namespace planning_sim {

namespace {

// A cell far off any map stays far off, and every number, even none, has one an int can hold.
int cellIndex(double cells) {
  constexpr int kFar = 1000000000;
  if (!(cells > -kFar)) {
    return -kFar;
  }
  return cells < kFar ? static_cast<int>(std::floor(cells)) : kFar;
}

}  // namespace

int ZoneArea::targetCells() const { return target.empty() ? 0 : cv::countNonZero(target); }

FloorSpace::FloorSpace(const nav_msgs::msg::OccupancyGrid& floor,
                       const vantrell_nav2_gridmap::GridMapParams& params, double footprint_padding)
    : info_(floor.info),
      free_(static_cast<int>(floor.info.height), static_cast<int>(floor.info.width), CV_8UC1,
            cv::Scalar(0)) {
  for (int y = 0; y < free_.rows; ++y) {
    uint8_t* row = free_.ptr<uint8_t>(y);
    for (int x = 0; x < free_.cols; ++x) {
      const int8_t occupancy = floor.data[static_cast<size_t>(y) * free_.cols + x];
      row[x] = occupancy >= 0 && occupancy < params.lethal_threshold ? 255 : 0;
    }
  }
  nav2_costmap_2d::calculateMinAndMaxDistances(params.footprint, inscribed_radius_,
                                               circumscribed_radius_);
  centre_space_ = centreSpace(free_, inscribed_radius_ / info_.resolution);
  planning_space_ =
      centreSpace(free_, (inscribed_radius_ + std::max(footprint_padding, 0.0)) / info_.resolution);
}

ZoneArea FloorSpace::zone(const geometry_msgs::msg::Polygon& polygon) const {
  requireNearMap(polygon, "the zone");
  ZoneArea area;
  for (const auto& corner : polygon.points) {
    area.polygon.push_back(cellOf(corner.x, corner.y));
  }
  // Distances run between cell centres: a cell more keeps the turning corners off the near edge of
  // an obstacle cell.
  area.start = startCell(free_, centre_space_, planning_space_, area.polygon,
                         circumscribed_radius_ / info_.resolution + 1.0);
  area.target = area.start ? reachableArea(centre_space_, area.polygon, *area.start)
                           : cv::Mat(free_.size(), CV_8UC1, cv::Scalar(0));
  return area;
}

void FloorSpace::requireNearMap(const geometry_msgs::msg::Polygon& polygon,
                                const std::string& what) const {
  const double width = info_.width * info_.resolution;
  const double height = info_.height * info_.resolution;
  for (std::size_t i = 0; i < polygon.points.size(); ++i) {
    const double x = (polygon.points[i].x - info_.origin.position.x) / width;
    const double y = (polygon.points[i].y - info_.origin.position.y) / height;
    // In map widths and heights from the map's corner: the map itself is 0 to 1.
    if (!(x >= -1.0 && x <= 2.0 && y >= -1.0 && y <= 2.0)) {
      std::ostringstream text;
      text << what << " corner " << i + 1 << " (" << polygon.points[i].x << ", "
           << polygon.points[i].y << ") lies far off the map";
      throw ZoneError(text.str());
    }
  }
}

cv::Point FloorSpace::cellOf(double x, double y) const {
  return {cellIndex((x - info_.origin.position.x) / info_.resolution),
          cellIndex((y - info_.origin.position.y) / info_.resolution)};
}

geometry_msgs::msg::Pose2D FloorSpace::poseOf(const cv::Point& cell) const {
  geometry_msgs::msg::Pose2D pose;
  pose.x = info_.origin.position.x + (cell.x + 0.5) * info_.resolution;
  pose.y = info_.origin.position.y + (cell.y + 0.5) * info_.resolution;
  return pose;
}

}  // namespace planning_sim
