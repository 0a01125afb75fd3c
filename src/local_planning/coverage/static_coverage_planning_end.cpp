// The end of a static coverage task: whether the current path is done, and once per task the
// covered poses from "/get_coverage_point" turned into the cleaned area and the efficiency.
#include <algorithm>
#include <chrono>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
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
  // The covered points travel as 32-bit floats.
  std::vector<geometry_msgs::msg::Point32> points;
  points.reserve(poses.size());
  for (const auto& pose : poses) {
    geometry_msgs::msg::Point32 point;
    point.x = static_cast<float>(pose.pose.position.x);
    point.y = static_cast<float>(pose.pose.position.y);
    points.push_back(point);
  }
  const int width = std::clamp(goal_coverage_width_, 1, kMaxLineThickness);
  if (width != goal_coverage_width_) {
    LOG_WARN("StaticCoveragePlanning::calculateCleaningEfficiency coverage width {} drawn as {}",
             goal_coverage_width_, width);
  }
  cleaned_area_ = coverage::drawCoveredArea(*third_gridmap_->getMultiGridMap()->getCostmap(),
                                            points, width, covered_mask_, "StaticCoveragePlanning");
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
