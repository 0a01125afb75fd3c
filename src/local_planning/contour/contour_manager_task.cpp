// The contour manager's per-task state: zones, the reached test, robot cells,
// remaining regions and their area.
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"

namespace planning {

namespace {

// Signed distance in cells from `cell` to an outline, positive inside; an outline
// without points is infinitely far outside.
double signedDistance(const std::vector<cv::Point>& outline, const cv::Point& cell) {
  if (outline.empty()) {
    return -std::numeric_limits<double>::max();
  }
  return cv::pointPolygonTest(
      outline, cv::Point2f(static_cast<float>(cell.x), static_cast<float>(cell.y)), true);
}

}  // namespace

void ContourManager::reset() {
  current_zone_index_ = -1;
  reached_contour_ = false;
  last_plan_time_ = std::chrono::system_clock::now();
  std::vector<CleanZoneInfo>().swap(zone_infos_);
  std::vector<CleanZoneInfo>().swap(raw_zone_infos_);
  std::vector<ContourInfo>().swap(contour_info_vec_);
  finished_ = false;
  robot_surrounded_ = false;
}

void ContourManager::setContour(const std::shared_ptr<std::vector<std::vector<cv::Point>>>& zones) {
  zone_infos_.clear();
  raw_zone_infos_.clear();
  current_zone_index_ = -1;
  if (!zones) {
    return;
  }
  for (const auto& polygon : *zones) {
    zone_infos_.push_back(makeCleanZoneInfo(polygon));
    CleanZoneInfo raw;
    raw.points = polygon;
    raw.rect = cv::Rect(0, 0, 0, 0);
    raw_zone_infos_.push_back(std::move(raw));
  }
}

int ContourManager::currentContourIndex() const {
  for (size_t i = 0; i < contour_info_vec_.size(); ++i) {
    const ContourInfo& info = contour_info_vec_[i];
    if (info.state == ContourInfo::kActive && info.uuid == current_contour_uuid_) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool ContourManager::rePlanCleanPath() {
  if (reached_contour_ || currentContourIndex() < 0) {
    return false;
  }
  updateRobotPose();
  if (current_zone_index_ < 0 || static_cast<size_t>(current_zone_index_) >= zone_infos_.size()) {
    return false;
  }
  // Measured against the zone's outline, not the region's.
  const double d = signedDistance(zone_infos_[current_zone_index_].points, robot_cell_);
  const double resolution = zoneResolution();
  if (std::fabs(d) * resolution <= distance_to_contour_threshold_) {
    reached_contour_ = true;
    return true;
  }
  return false;
}

bool ContourManager::isRobotInCurrentZone() {
  if (current_zone_index_ < 0 || static_cast<size_t>(current_zone_index_) >= zone_infos_.size() ||
      !updateRobotPose()) {
    return false;
  }
  return signedDistance(zone_infos_[current_zone_index_].points, robot_cell_) >= 0.0;
}

bool ContourManager::updateRobotPose() {
  if (!planning_gridmap_->getCostmapROS()->getRobotPose(robot_pose_)) {
    LOG_ERROR("[ContourManager]updateRobotPose , getRobotPose is failed");
    return false;
  }
  const nav2_costmap_2d::Costmap2D* costmap = planning_gridmap_->getMultiGridMap()->getCostmap();
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!costmap->worldToMap(robot_pose_.pose.position.x, robot_pose_.pose.position.y, mx, my)) {
    LOG_ERROR("[ContourManager]updateRobotPose , worldToMap is failed");
    return false;
  }
  global_x_ = mx;
  global_y_ = my;
  if (global_x_ < bbox_origin_x_ || global_y_ < bbox_origin_y_) {
    LOG_ERROR(
        "[ContourManager]updateRobotPose bbox_origin_x_={},global_x_={}, "
        "bbox_origin_y_={},global_y_={}",
        bbox_origin_x_, global_x_, bbox_origin_y_, global_y_);
  }
  robot_cell_ = cv::Point(static_cast<int>(global_x_) - static_cast<int>(bbox_origin_x_),
                          static_cast<int>(global_y_) - static_cast<int>(bbox_origin_y_));
  return true;
}

void ContourManager::updateRobotToContourDistance() {
  for (auto& info : contour_info_vec_) {
    updateRobotPose();
    info.robot_distance = signedDistance(info.points, robot_cell_);
  }
}

void ContourManager::abandonAllContours() {
  for (auto& info : contour_info_vec_) {
    info.state = ContourInfo::kAbandoned;
  }
}

std::vector<geometry_msgs::msg::Polygon> ContourManager::getResiduesZones() const {
  std::vector<geometry_msgs::msg::Polygon> zones;
  const nav2_costmap_2d::Costmap2D* costmap = zone_gridmap_->getMultiGridMap()->getCostmap();
  for (const auto& info : contour_info_vec_) {
    if (info.state != ContourInfo::kActive) {
      continue;
    }
    geometry_msgs::msg::Polygon polygon;
    polygon.points.reserve(info.points.size());
    for (const auto& point : info.points) {
      double wx = 0.0;
      double wy = 0.0;
      costmap->mapToWorld(bbox_origin_x_ + static_cast<unsigned int>(point.x),
                          bbox_origin_y_ + static_cast<unsigned int>(point.y), wx, wy);
      geometry_msgs::msg::Point32 corner;
      corner.x = static_cast<float>(wx);
      corner.y = static_cast<float>(wy);
      corner.z = 0.0F;
      polygon.points.push_back(corner);
    }
    zones.push_back(std::move(polygon));
  }
  return zones;
}

void ContourManager::calRemaningContoursAreaAndtime(double& area, double& time) const {
  area = 0.0;
  time = 0.0;
  double cells = 0.0;
  // Finished and abandoned records count until the next path search drops them.
  for (const auto& info : contour_info_vec_) {
    if (!info.points.empty()) {
      cells += cv::contourArea(info.points, false);
    }
  }
  const double resolution = zoneResolution();
  area = cells * resolution * resolution;
  if (predicted_efficiency_ != 0.0) {
    time = area / (predicted_efficiency_ / 3600.0);
  }
}

bool ContourManager::invalidContour(std::vector<cv::Point>& /*contour*/, double area,
                                    ContourType type) const {
  double threshold = 0.0;
  if (type == ZONE) {
    threshold = minimum_cleaning_area_;
  } else if (type == INNER) {
    threshold = 0.5 * minimum_cleaning_area_;
  } else {
    return false;
  }
  if (area < threshold) {
    LOG_INFO("contour type is {},area is {},minimum_cleaning_area is {}", static_cast<int>(type),
             area, minimum_cleaning_area_);
    return true;
  }
  return false;
}

}  // namespace planning
