// The road of one coverage cycle through the contour manager: zone advance, region
// re-extraction, path and approach, densifying and the head trim at the robot.
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <string>

#include "contour_snapshot.hpp"
#include "logger/logger.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"

namespace planning {

namespace {

// Step of the densified contour paths, metres.
constexpr double kPathStep = 0.05;
// The head trim looks for the pose nearest the robot within this much of the path, metres.
constexpr double kHeadTrimLength = 2.5;

}  // namespace

bool ContourManager::zoneIndexValid(int32_t index) const {
  return index >= 0 && static_cast<size_t>(index) < zone_infos_.size();
}

bool ContourManager::getContourPath(MultiPaths& paths, bool dilate, cv::Point seed) {
  updateRobotPose();
  planning_gridmap_->getMultiGridMap()->updateMap();
  if (zone_infos_.empty()) {
    return true;
  }
  if (zoneIndexValid(current_zone_index_)) {
    rebuildZoneImages(current_zone_index_);
    publishAsOccupancyGrid(local_window_mat_, distance_map_pub_, *local_gridmap_);
  }
  if (contour_info_vec_.empty()) {
    enterNextZoneWithRegions();
    if (contour_info_vec_.empty()) {
      finished_ = true;
      return true;
    }
  }
  updateRobotToContourDistance();
  fromContourGenerateGlobalPath(paths, dilate, seed);
  densifyPaths(paths);
  if (!paths.paths.empty() && updateRobotPose()) {
    trimHeadAtRobot(paths.paths.front().nav_path);
  }
  return true;
}

void ContourManager::rebuildZoneImages(int32_t zone_index) {
  costmap_image_convert_->updateCoverageCostmapMat(
      zone_infos_[zone_index], current_zone_rect_, zone_coverage_mat_, zone_inner_mat_,
      local_window_mat_, zone_extra_mat_, location_coverter_);
}

void ContourManager::enterNextZoneWithRegions() {
  LOG_DEBUG("zone_infos_ size() is {}", zone_infos_.size());
  for (int32_t i = current_zone_index_ + 1; zoneIndexValid(i); ++i) {
    const CleanZoneInfo& zone = zone_infos_[i];
    LOG_DEBUG("(*clean_zone_points_)[i]->size() is {}", zone.points.size());
    current_zone_index_ = i;
    current_zone_rect_ = zone.rect;
    bbox_origin_x_ = static_cast<uint32_t>(zone.rect.x);
    bbox_origin_y_ = static_cast<uint32_t>(zone.rect.y);
    rebuildZoneImages(i);
    maskByPolygon(zone_coverage_mat_, zone.points, contour_mat_);
    // The robot cell is still the previous window's; the distances are refreshed
    // before the regions are used.
    auto regions = image_processing_->getAllValidContourAddSort(ZONE, contour_mat_, i,
                                                                robot_cell_.x, robot_cell_.y);
    contour_info_vec_.insert(contour_info_vec_.end(), regions.begin(), regions.end());
    if (!regions.empty()) {
      break;
    }
  }
  sortContourInfos(contour_info_vec_.begin(), contour_info_vec_.end(), std::string());
}

void ContourManager::maskByPolygon(const cv::Mat& image, const std::vector<cv::Point>& polygon,
                                   cv::Mat& out) {
  if (polygon.empty()) {
    out = cv::Mat::zeros(image.size(), CV_8UC1);
    return;
  }
  image_processing_->getMaskMat(image, polygon, out);
}

bool ContourManager::fromContourGenerateGlobalPath(MultiPaths& paths, bool dilate, cv::Point seed) {
  sortContourInfos(contour_info_vec_.begin(), contour_info_vec_.end(), current_contour_uuid_);
  trace("[getContourPath]contour_info_vec_ size is {}", contour_info_vec_.size());
  // The list grows while the loop runs (a split region appends its pieces): records are
  // reached by index only, and the size is read again before each one.
  for (size_t i = 0; i < contour_info_vec_.size(); ++i) {
    updateRobotPose();
    if (contour_info_vec_[i].state != ContourInfo::kActive) {
      continue;
    }
    const std::vector<cv::Point> outline = reextractRegion(i, dilate, seed);
    if (!outline.empty() && planRegion(i, outline, paths)) {
      break;
    }
  }
  contour_info_vec_.erase(
      std::remove_if(contour_info_vec_.begin(), contour_info_vec_.end(),
                     [](const ContourInfo& info) { return info.state != ContourInfo::kActive; }),
      contour_info_vec_.end());
  // Only "no zone entered" counts as past the last zone here: once the last zone's
  // regions are used up, the next cycle's zone advance finishes the task.
  const auto zone_index = static_cast<uint64_t>(static_cast<int64_t>(current_zone_index_));
  finished_ = contour_info_vec_.empty() && zone_index >= zone_infos_.size();
  if (save_contour_file_) {
    writeRegionSnapshot();
  }
  return true;
}

std::vector<cv::Point> ContourManager::reextractRegion(size_t i, bool dilate, cv::Point seed) {
  const std::string uuid = contour_info_vec_[i].uuid;
  const int32_t plan_fail_count = contour_info_vec_[i].plan_fail_count;
  const int32_t zone_index = contour_info_vec_[i].zone_index;
  maskByPolygon(zone_coverage_mat_, contour_info_vec_[i].points, contour_mat_);
  showOnTrace(coverage_edge_trace_, contour_mat_);
  if (dilate && uuid == current_contour_uuid_) {
    trace(findConnectedComponentsFree(contour_mat_, contour_info_vec_[i], seed)
              ? "[getContourPath]findConnectedComponentsFree success"
              : "[getContourPath]findConnectedComponentsFree failed");
  }
  auto regions = image_processing_->getAllValidContourAddSort(ZONE, contour_mat_, zone_index,
                                                              robot_cell_.x, robot_cell_.y);
  if (regions.empty()) {
    contour_info_vec_[i].state = ContourInfo::kFinished;
    return {};
  }
  // The same region in a new shape keeps its identity and its failed approaches.
  if (regions.size() == 1) {
    regions[0].uuid = uuid;
    regions[0].plan_fail_count = plan_fail_count;
  }
  updateContourInfoVecAndSort(regions, static_cast<int>(i));
  const double resolution = zoneResolution();
  const double inner_threshold = std::ceil(small_areas_threshold_ / (resolution * resolution));
  if (contour_info_vec_[i].area > inner_threshold) {
    maskByPolygon(zone_inner_mat_, contour_info_vec_[i].points, inner_contour_mat_);
    auto inner = image_processing_->getAllValidContourAddSort(INNER, inner_contour_mat_, zone_index,
                                                              robot_cell_.x, robot_cell_.y);
    if (inner.size() == 1) {
      inner[0].uuid = uuid;
      inner[0].plan_fail_count = plan_fail_count;
      updateContourInfoVecAndSort(inner, static_cast<int>(i));
    }
  }
  return contour_info_vec_[i].points;
}

bool ContourManager::planRegion(size_t i, const std::vector<cv::Point>& outline,
                                MultiPaths& paths) {
  vantrell_nav2_protocol::msg::Path contour_path;
  if (!contour2Path(outline, *zone_gridmap_, contour_path.nav_path)) {
    contour_info_vec_[i].state = ContourInfo::kFinished;
    return false;
  }
  if (contour_path.nav_path.poses.empty() ||
      !navigateToContour(contour_path, paths, contour_info_vec_[i])) {
    return false;
  }
  current_contour_uuid_ = contour_info_vec_[i].uuid;
  trace("current_contour_uuid_ is {}", current_contour_uuid_);
  trace("ContourManager::fromContourGenerateGlobalPath contour_path.nav_path.poses.size() is {}",
        contour_path.nav_path.poses.size());
  return true;
}

void ContourManager::densifyPaths(MultiPaths& paths) const {
  const std::string frame = zone_gridmap_->getCostmapROS()->getGlobalFrameID();
  for (auto& path : paths.paths) {
    nav_msgs::msg::Path dense;
    path_product_.fillPath(path.nav_path, kPathStep, dense);
    path.nav_path.poses = std::move(dense.poses);
    path.nav_path.header.frame_id = frame;
    path.nav_path.header.stamp = builtin_interfaces::msg::Time();
  }
}

void ContourManager::trimHeadAtRobot(nav_msgs::msg::Path& path) const {
  auto& poses = path.poses;
  if (poses.size() < 3) {
    return;
  }
  double length = 0.0;
  double nearest_distance = std::numeric_limits<double>::max();
  size_t nearest = 0;
  // Neither end is a candidate: a path keeps its last pose, and pose 0 always goes when
  // the first segment lies within the horizon.
  for (size_t j = 1; j + 1 < poses.size(); ++j) {
    length += base_robot_.calDistance(poses[j - 1], poses[j]);
    if (length > kHeadTrimLength) {
      break;
    }
    const double distance = base_robot_.calDistance(robot_pose_, poses[j]);
    if (distance < nearest_distance) {
      nearest_distance = distance;
      nearest = j;
    }
  }
  poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(nearest));
}

void ContourManager::writeRegionSnapshot() const {
  std::vector<std::vector<cv::Point>> outlines;
  for (const auto& info : contour_info_vec_) {
    outlines.push_back(info.points);
  }
  const int number = contour_detail::nextSnapshotNumber(contour_detail::SnapshotSeries::kRegions);
  contour_detail::writeSnapshot("fromContourGenerateGlobalPath",
                                snapshot_root_ + "images2/" + std::to_string(number) + "_dst2",
                                contour_detail::outlinePicture(zone_coverage_mat_.size(), outlines),
                                std::string());
}

void ContourManager::showOnTrace(const std::unique_ptr<vantrell_trace::TraceMat>& trace_mat,
                                 const cv::Mat& image) {
  if (trace_mat) {
    trace_mat->reset();
    trace_mat->setMat(image, true);
    trace_mat->publishCVMatAsGrid();
  }
}

bool ContourManager::findConnectedComponentsFree(cv::Mat& image, const ContourInfo& info,
                                                 cv::Point seed) {
  if (!zoneIndexValid(info.zone_index) || image.empty() || image.type() != CV_8UC1) {
    return false;
  }
  component_mat_ = image.clone();
  maskByPolygon(zone_coverage_mat_, zone_infos_[info.zone_index].points, zone_mask_mat_);
  const cv::Rect cells(0, 0, image.cols, image.rows);
  if (zone_mask_mat_.size() != image.size() || !cells.contains(seed) ||
      component_mat_.at<uint8_t>(seed) != 0 || zone_mask_mat_.at<uint8_t>(seed) != 255) {
    return false;
  }
  static const cv::Point kNeighbours[] = {{0, 1}, {1, 0},  {0, -1},  {-1, 0},
                                          {1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  std::deque<cv::Point> queue{seed};
  // Cleared as queued, so every cell of the zone is visited at most once.
  zone_mask_mat_.at<uint8_t>(seed) = 0;
  while (!queue.empty()) {
    const cv::Point cell = queue.front();
    queue.pop_front();
    component_mat_.at<uint8_t>(cell) = 255;
    for (const cv::Point& step : kNeighbours) {
      const cv::Point next = cell + step;
      if (!cells.contains(next)) {
        continue;
      }
      if (component_mat_.at<uint8_t>(next) == 0 && zone_mask_mat_.at<uint8_t>(next) == 255) {
        queue.push_back(next);
      }
      zone_mask_mat_.at<uint8_t>(next) = 0;
    }
  }
  component_mat_.copyTo(image);
  showOnTrace(coverage_dilate_trace_, image);
  return true;
}

bool ContourManager::isFree(const cv::Point& cell, const ContourInfo& info,
                            const cv::Mat& coverage) {
  // Trace colours: 100 tested, 127 free.
  if (dilate_flag_trace_ && dilate_flag_trace_->getMatColor(cell) == 0) {
    dilate_flag_trace_->setMatPointColor(cell, 100);
  }
  unsigned int u = 0;
  unsigned int v = 0;
  // A negative cell would wrap into some far cell of the local map.
  if (cell.x < 0 || cell.y < 0 ||
      !location_coverter_.secondToFirstMap(static_cast<unsigned int>(cell.x),
                                           static_cast<unsigned int>(cell.y), u, v)) {
    return false;
  }
  if (v >= static_cast<unsigned int>(coverage.rows) ||
      u >= static_cast<unsigned int>(coverage.cols) || coverage.type() != CV_8UC1 ||
      coverage.at<uint8_t>(static_cast<int>(v), static_cast<int>(u)) != 0) {
    return false;
  }
  const cv::Point2f point(static_cast<float>(cell.x), static_cast<float>(cell.y));
  if (info.points.empty() || cv::pointPolygonTest(info.points, point, false) >= 0) {
    return false;
  }
  if (!zoneIndexValid(info.zone_index) || raw_zone_infos_[info.zone_index].points.empty() ||
      cv::pointPolygonTest(raw_zone_infos_[info.zone_index].points, point, false) <= 0) {
    return false;
  }
  if (dilate_flag_trace_) {
    dilate_flag_trace_->setMatPointColor(cell, 127);
  }
  return true;
}

}  // namespace planning
