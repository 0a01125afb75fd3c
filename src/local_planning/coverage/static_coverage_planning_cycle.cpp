// The road of one "static_coverage_planning" cycle, on the local planning action's worker
// thread: follow the cached paths, or plan the next zone, or end the task.
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

// A robot this close to the end of a followed edge path has driven it.
constexpr double kEdgePathReachedDistance = 0.2;
// Rows longer than this are examined without their first and last poses...
constexpr std::size_t kLongRowPoses = 30;
// ...this many at each end, near the rows before and after them.
constexpr std::size_t kRowEndSkip = 8;
// A row pose within this many cells outside the area still to clean keeps its row.
constexpr double kRowKeepCells = -3.0;

}  // namespace

bool StaticCoveragePlanning::makePlan(Path& out, ControlState& state, bool& /*need_replan*/) {
  const bool ok = runCycle(out, state);
  // A path without a frame cannot be followed: it takes the frame of the robot pose.
  if (out.nav_path.header.frame_id.empty()) {
    out.nav_path.header = robot_pose_.header;
  }
  return ok;
}

bool StaticCoveragePlanning::runCycle(Path& out, ControlState& state) {
  Path g;
  third_gridmap_->getMultiGridMap()->updateMap();
  global_gridmap_->getMultiGridMap()->updateMap();
  int n = getNextGlobalPath(g);
  if (n < 0) {
    return false;
  }
  if (n > 0) {
    if (stopObstacle(g.nav_path, state, out)) {
      state.wait_state = 0;
      return true;
    }
  } else {
    uncleaned_contours_.clear();
    edge_contours_.clear();
  }
  updateRobotPose();
  out.nav_path.header = g.nav_path.header;
  if (n != 0 && (!uncleaned_contours_.empty() || !edge_contours_.empty() || is_task_finished_)) {
    return follow(g, out, state);
  }
  updateRobotPose();
  location_coverter_->updateOrigin();
  if (zone_infos_.empty()) {
    LOG_ERROR("[StaticCoveragePlanning] zone_infos_ is empty");
    return false;
  }
  if (!planNextZones()) {
    return finish(g, out, state);
  }
  MultiPaths paths;
  getEdgePath(paths);
  fromContourGenerateGlobalPath(paths);
  updateGlobalPaths(paths);
  n = getNextGlobalPath(g);
  if (n <= 0) {
    return finish(g, out, state);
  }
  return follow(g, out, state);
}

bool StaticCoveragePlanning::planNextZones() {
  const int zones = static_cast<int>(zone_infos_.size());
  for (int i = current_zone_index_ + 1; i < zones; ++i) {
    loadZone(i, {});
    const Cells& polygon = zone_infos_[static_cast<std::size_t>(i)].points;
    clean_mat_copy_ = clean_mat_.clone();
    cv::Mat masked;
    image_processing_->getMaskMat(clean_mat_copy_, polygon, masked);
    drawBorderBand(polygon, {&masked, &clean_mat_});
    const auto infos = image_processing_->getAllValidContourAddSort(
        ContourType::ZONE, masked, i, robot_window_cell_.x, robot_window_cell_.y);
    for (const auto& info : infos) {
      uncleaned_contours_.push_back(info.points);
    }
    edge_contours_ = getEdgeContours(polygon, clean_mat_);
    if (!uncleaned_contours_.empty() && !edge_contours_.empty()) {
      break;
    }
  }
  return !uncleaned_contours_.empty() || !edge_contours_.empty();
}

void StaticCoveragePlanning::loadZone(int index, const std::vector<cv::Mat*>& band_images) {
  const CleanZoneInfo& zone = zone_infos_[static_cast<std::size_t>(index)];
  LOG_INFO("(*clean_zone_points_)[i]->size() is {}", zone.points.size());
  current_zone_index_ = index;
  current_zone_rect_ = zone.rect;
  bbox_origin_x_ = static_cast<uint32_t>(zone.rect.x);
  bbox_origin_y_ = static_cast<uint32_t>(zone.rect.y);
  LOG_INFO("bbox_origin_x_ is {}    bbox_origin_y_ is {}", bbox_origin_x_, bbox_origin_y_);
  // The robot's window cell is the reference of the region order: relative to this window.
  updateWindowCell();
  costmap_image_convert_->getLocalCostmapMatWithCoverage(local_coverage_mat_, *location_coverter_);
  cv::Mat scratch;
  costmap_image_convert_->updateStaticCoverageCostmapMat(current_zone_rect_, clean_mat_,
                                                         clean_mat_copy_, valid_mat_, scratch,
                                                         obstacle_free_mat_, *location_coverter_);
  drawBorderBand(zone.points, band_images);
}

void StaticCoveragePlanning::drawBorderBand(const Cells& zone,
                                            const std::vector<cv::Mat*>& images) const {
  const long thickness = std::lround(footprint_max_y_ / resolution_ * distance_to_border_);
  // A band under one cell is no band (and OpenCV refuses to draw it).
  if (thickness < 1 || images.empty()) {
    return;
  }
  const int width = static_cast<int>(std::min<long>(thickness, kMaxLineThickness));
  const std::size_t m = zone.size();
  for (std::size_t j = 0; j < m; ++j) {
    for (cv::Mat* image : images) {
      cv::line(*image, zone[j], zone[(j + 1) % m], cv::Scalar(0), width, cv::LINE_8, 0);
    }
  }
}

bool StaticCoveragePlanning::follow(Path& g, Path& out, ControlState& state) {
  if (need_remove_invalid_path_) {
    removeInvaildPath();
    // The front path may have just been removed: follow what is cached now.
    const int n = getNextGlobalPath(g);
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return finish(g, out, state);
    }
  }
  if (!clean_coverage_triggered_) {
    communicator_->getPlanningUnit()->triggerCleanCoverage(true, path_overlap_width_,
                                                           goal_coverage_width_);
    clean_coverage_triggered_ = true;
  }
  if (is_task_finished_ && getNextGlobalPath(g) == 0) {
    out.nav_path.poses.clear();
    out.nav_path.poses.push_back(robot_pose_);
    state.finished = true;
    out.tolerance = 0.3F;
    return true;
  }
  leaveReachedEdgePath(g);
  if (!planLocalPathFromGlobal(g, out.nav_path, state)) {
    return false;
  }
  out.move_backward = judgePointRotation(out.nav_path);
  setGlobalPathsTolerance(out, g);
  return true;
}

bool StaticCoveragePlanning::finish(Path& g, Path& out, ControlState& state) {
  calculateCleaningEfficiency(g, out.nav_path, state);
  state.finished = true;
  // After the end of the task the robot stays where it is; an empty path would read as a
  // failed smoothing.
  if (out.nav_path.poses.empty()) {
    out.nav_path.poses.push_back(robot_pose_);
  }
  return true;
}

bool StaticCoveragePlanning::leaveReachedEdgePath(Path& g) {
  // Edge paths are never dropped as reached by the path cache; without this the robot would
  // stand at the end of the last edge path for good and never start the rows behind it.
  auto& cached = global_paths_->paths;
  if (g.path_type != kEdgeFollow || cached.size() < 2 || g.nav_path.poses.size() > kDonePathPoses ||
      !robot_pose_valid_) {
    return false;
  }
  if (!g.nav_path.poses.empty() &&
      !(base_robot_.calDistance(robot_pose_, g.nav_path.poses.back()) < kEdgePathReachedDistance)) {
    return false;
  }
  cached.erase(cached.begin());
  g = cached.front();
  return true;
}

void StaticCoveragePlanning::removeInvaildPath() {
  need_remove_invalid_path_ = false;
  if (!global_paths_) {
    LOG_WARN("StaticCoveragePlanning::removeInvaildPath global_paths is nullptr");
    return;
  }
  if (global_paths_->paths.size() <= 1) {
    return;
  }
  LOG_INFO("StaticCoveragePlanning::removeInvaildPath global_paths->paths.size() is {}",
           global_paths_->paths.size());
  // Rows that came with the goal belong to no zone planned here: nothing to test them against.
  if (current_zone_index_ < 0 || current_zone_index_ >= static_cast<int>(zone_infos_.size())) {
    return;
  }
  MultiPaths kept;
  kept.paths = global_paths_->paths;
  // The cached rows are those of the current zone: they are tested against what is left of it,
  // not against another zone's area.
  loadZone(current_zone_index_, {&clean_mat_});
  edge_contours_ = getEdgeContours(
      zone_infos_[static_cast<std::size_t>(current_zone_index_)].points, clean_mat_);
  if (edge_contours_.empty()) {
    LOG_INFO("StaticCoveragePlanning::removeInvaildPath edge_contours_ is empty. task finished.");
    // The end of the task (or the next zone) is left to the cycle, which still fetches the
    // covered points.
    updateGlobalPaths(MultiPaths());
    return;
  }
  std::size_t start = 0;
  for (auto it = kept.paths.end(); it != kept.paths.begin();) {
    --it;
    if (!keepsPath(*it, start)) {
      LOG_INFO("StaticCoveragePlanning::removeInvaildPath cut global path");
      it = kept.paths.erase(it);
    }
  }
  updateGlobalPaths(kept);
}

bool StaticCoveragePlanning::keepsPath(const Path& path, std::size_t& start) const {
  if (path.path_type > kRowFollow) {
    return true;
  }
  const auto& poses = path.nav_path.poses;
  const std::size_t count = poses.size();
  if (count > kLongRowPoses) {
    start = kRowEndSkip;
  }
  if (count <= start) {
    return true;
  }
  for (std::size_t j = start; j < count; ++j) {
    bool on_map = false;
    if (nearAnOutline(poses[j], on_map)) {
      return true;
    }
    // Every outline is tested before a row is given up.
    if (on_map && j >= count - 1 - start) {
      return false;
    }
  }
  return true;
}

bool StaticCoveragePlanning::nearAnOutline(const PoseStamped& pose, bool& on_map) const {
  unsigned int mx = 0;
  unsigned int my = 0;
  on_map = third_gridmap_->getMultiGridMap()->getCostmap()->worldToMap(
      pose.pose.position.x, pose.pose.position.y, mx, my);
  if (!on_map) {
    return false;
  }
  const cv::Point2f cell(static_cast<float>(static_cast<int64_t>(mx) - bbox_origin_x_),
                         static_cast<float>(static_cast<int64_t>(my) - bbox_origin_y_));
  for (const auto& outline : edge_contours_) {
    if (!outline.empty() && cv::pointPolygonTest(outline, cell, true) >= kRowKeepCells) {
      return true;
    }
  }
  return false;
}

}  // namespace planning
