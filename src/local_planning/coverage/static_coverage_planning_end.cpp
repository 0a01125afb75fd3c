// The end of a static coverage task: whether the current path is done, and once per task the
// covered poses from "/get_coverage_point" turned into the cleaned area and the efficiency.
#include <algorithm>
#include <chrono>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

using namespace std::chrono_literals;

}  // namespace

void StaticCoveragePlanning::calculateCleaningEfficiency(Path& path,
                                                         nav_msgs::msg::Path& local_path,
                                                         ControlState& state) {
  const int n = getNextGlobalPath(path);
  if (n != 0 && path.nav_path.poses.size() > kDonePathPoses) {
    state.finished = false;
    return;
  }
  state.finished = true;
  if (path.path_type == kRowFollow || path.path_type == kEdgeFollow) {
    need_remove_invalid_path_ = true;
  }
  // Without the robot pose (-1) nothing is known about the rest of the task: it goes on.
  if (n > 1 || n < 0) {
    return;
  }
  // The last path of a zone is done, but zones of the task are still to be planned: the next
  // cycle takes the next zone instead of ending the task.
  if (current_zone_index_ + 1 < static_cast<int>(zone_infos_.size())) {
    global_paths_->paths.clear();
    if (local_path.poses.empty()) {
      local_path.poses.push_back(robot_pose_);
    }
    return;
  }
  if (is_task_finished_) {
    return;
  }
  is_task_finished_ = true;
  local_path.poses.clear();
  local_path.poses.push_back(robot_pose_);
  std::vector<geometry_msgs::msg::PoseStamped> covered;
  if (fetchCoveredPoses(covered)) {
    computeCleanedArea(covered);
  }
}

bool StaticCoveragePlanning::fetchCoveredPoses(
    std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  if (!covered_points_client_) {
    LOG_WARN("SyncCallService get_coverage_points client is nullptr");
    return false;
  }
  if (!covered_points_client_->wait_for_service(100ms)) {
    LOG_WARN("get_coverage_points server not exist");
    return false;
  }
  auto request = std::make_shared<GetCoveredPoints::Request>();
  request->request_flag = 1;
  auto answer = covered_points_client_->async_send_request(request);
  if (answer.wait_for(1s) != std::future_status::ready) {
    LOG_WARN("SyncCallService get_coverage_points server timeout");
    // A late answer has nobody waiting for it.
    covered_points_client_->remove_pending_request(answer.request_id);
    return false;
  }
  const auto response = answer.get();
  if (!response || response->covered_poses.empty()) {
    LOG_WARN(
        "StaticCoveragePlanning::calculateCleaningEfficiency failed, covered_points is empty.");
    return false;
  }
  poses = response->covered_poses;
  return true;
}

void StaticCoveragePlanning::computeCleanedArea(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  const nav2_costmap_2d::Costmap2D& costmap = *third_gridmap_->getMultiGridMap()->getCostmap();
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  if (covered_mask_.rows == rows && covered_mask_.cols == cols && covered_mask_.type() == CV_8UC1) {
    covered_mask_.setTo(0);
  } else {
    covered_mask_ = cv::Mat::zeros(rows, cols, CV_8UC1);
  }
  std::vector<cv::Point> cells;
  std::size_t skipped = 0;
  for (const auto& pose : poses) {
    // The covered points travel as 32-bit floats.
    const float x = static_cast<float>(pose.pose.position.x);
    const float y = static_cast<float>(pose.pose.position.y);
    unsigned int mx = 0;
    unsigned int my = 0;
    if (costmap.worldToMap(x, y, mx, my)) {
      cells.emplace_back(static_cast<int>(mx), static_cast<int>(my));
    } else {
      ++skipped;
    }
  }
  if (skipped > 0) {
    LOG_WARN("StaticCoveragePlanning::calculateCleaningEfficiency {} covered points off the map",
             skipped);
  }
  const int width = std::clamp(goal_coverage_width_, 1, kMaxLineThickness);
  if (width != goal_coverage_width_) {
    LOG_WARN("StaticCoveragePlanning::calculateCleaningEfficiency coverage width {} drawn as {}",
             goal_coverage_width_, width);
  }
  if (!cells.empty()) {
    const cv::Point* points = cells.data();
    const int count = static_cast<int>(cells.size());
    cv::polylines(covered_mask_, &points, &count, 1, false, cv::Scalar(255), width, cv::LINE_4, 0);
  }
  const double resolution = costmap.getResolution();
  cleaned_area_ = cv::countNonZero(covered_mask_) * resolution * resolution;
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now() - task_start_time_).count();
  const double minutes = static_cast<double>(seconds) / 60.0;
  if (minutes == 0.0) {
    return;
  }
  const double efficiency = cleaned_area_ / (minutes / 60.0);
  LOG_INFO(
      "cleaning efficiency is {} square_meter/hour, cleaned area is {} square_meter,need clean "
      "area is {} square_meter, use time {} min",
      efficiency, cleaned_area_, need_clean_area_, minutes);
}

}  // namespace planning
