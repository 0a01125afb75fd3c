// Obstacle tests along a path and inside a polygon, by obstacle type.

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/path_product.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"

namespace planning {

using geometry_msgs::msg::PoseStamped;

namespace {

constexpr unsigned int kDynamicObstacleMask = 0x4;
constexpr unsigned int kWheelchairMask = 0x100;
constexpr unsigned int kHospitalBedMask = 0x200;

constexpr unsigned char kFreePixel = 255;
constexpr unsigned char kObstaclePixel = 0;

}  // namespace

bool PathProduct::hasDynamicObstacle(const nav_msgs::msg::Path& path,
                                     std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                                     const double& window_start, const double& window_end,
                                     double& distance, const double& clearance,
                                     const PoseStamped& /*robot_pose*/) {
  const auto& poses = path.poses;
  if (poses.empty()) {
    LOG_WARN("global_plan.poses is empty");
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "hasDynamicObstacle", view)) {
    return false;
  }
  const unsigned int size_x = view.costmap->getSizeInCellsX();
  const unsigned int size_y = view.costmap->getSizeInCellsY();
  if (size_x == 0 || size_y == 0) {
    LOG_WARN("PathProduct::hasDynamicObstacle grid map {} has no cells", grid_map->get_name());
    return false;
  }

  const int rows = static_cast<int>(size_y);
  const int cols = static_cast<int>(size_x);
  if (dynamic_obstacle_image_.rows != rows || dynamic_obstacle_image_.cols != cols) {
    dynamic_obstacle_image_ = cv::Mat(rows, cols, CV_8UC1, cv::Scalar(kFreePixel));
  }
  dynamic_obstacle_image_.setTo(cv::Scalar(kFreePixel));
  for (unsigned int my = 0; my < size_y; ++my) {
    unsigned char* row = dynamic_obstacle_image_.ptr<unsigned char>(static_cast<int>(my));
    for (unsigned int mx = 0; mx < size_x; ++mx) {
      vantrell_nav2_gridmap::ObsTypeBitMap types;
      view.grid->getObstacleType(mx, my, types);
      if (types.any(kDynamicObstacleMask)) {
        row[mx] = kObstaclePixel;
      }
    }
  }
  cv::Mat distance_image;
  cv::distanceTransform(dynamic_obstacle_image_, distance_image, cv::DIST_L2, cv::DIST_MASK_PRECISE,
                        CV_32F);

  const double resolution = view.costmap->getResolution();
  double walked = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!view.toCell(poses[i], mx, my)) {
      LOG_WARN("PathProduct::hasDynamicObstacle pose {} ({}, {}) is off the map", i,
               poses[i].pose.position.x, poses[i].pose.position.y);
      return false;
    }
    walked += base_robot_.calDistance(poses[i], poses[i - 1]);
    if (window_start < walked && walked <= window_end) {
      const double clearance_here =
          distance_image.at<float>(static_cast<int>(my), static_cast<int>(mx)) * resolution;
      if (clearance_here < clearance) {
        distance = walked;
        return true;
      }
    }
    if (walked > window_end) {
      return false;
    }
  }
  return false;
}

bool PathProduct::existEmergencyPatients(
    const geometry_msgs::msg::Polygon& polygon,
    std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map) const {
  if (polygon.points.empty()) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "existEmergencyPatients", view)) {
    return false;
  }
  double min_x = polygon.points.front().x;
  double max_x = min_x;
  double min_y = polygon.points.front().y;
  double max_y = min_y;
  for (const auto& point : polygon.points) {
    min_x = std::min(min_x, static_cast<double>(point.x));
    max_x = std::max(max_x, static_cast<double>(point.x));
    min_y = std::min(min_y, static_cast<double>(point.y));
    max_y = std::max(max_y, static_cast<double>(point.y));
  }
  const double step = view.costmap->getResolution();
  // The walk below ends only when the step moves every coordinate of a finite box.
  const auto advances = [step](double a) { return std::isfinite(a) && a + step > a; };
  if (!(step > 0.0) || !advances(min_x) || !advances(max_x) || !advances(min_y) ||
      !advances(max_y)) {
    LOG_WARN("PathProduct::existEmergencyPatients cannot walk the polygon's box at resolution {}",
             step);
    return false;
  }

  geometry_msgs::msg::Pose probe;
  probe.position.z = 0.0;
  probe.orientation.x = 0.0;
  probe.orientation.y = 0.0;
  probe.orientation.z = 0.0;
  probe.orientation.w = 1.0;
  for (double x = min_x; x <= max_x; x += step) {
    for (double y = min_y; y <= max_y; y += step) {
      probe.position.x = x;
      probe.position.y = y;
      if (!base_robot_.isPointInPolygon(polygon, probe)) {
        continue;
      }
      unsigned int mx = 0;
      unsigned int my = 0;
      if (!view.costmap->worldToMap(x, y, mx, my)) {
        continue;
      }
      vantrell_nav2_gridmap::ObsTypeBitMap types;
      view.grid->getObstacleType(mx, my, types);
      if (types.any(kWheelchairMask) || types.any(kHospitalBedMask)) {
        LOG_WARN(
            "PathProduct::existEmergencyPatients Wheel chair or hospital bed in lift, stop taking "
            "lift.");
        return true;
      }
    }
  }
  return false;
}

}  // namespace planning
