// What the dynamic coverage planner reports of a task, at the end of its planning cycles: the
// covered points every few seconds, and once the task is finished the cleaned area, the
// efficiency, the recording trigger and the coverage path record.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"
#include "vantrell_protocol/msg/covered_points.hpp"

namespace planning {

namespace {

using namespace std::chrono_literals;

// The covered points are asked for at most this often, seconds.
constexpr double kCoveredPointsInterval = 3.0;
constexpr auto kServiceWait = 100ms;
constexpr auto kAnswerWait = 100ms;

geometry_msgs::msg::Point32 planar(double x, double y) {
  geometry_msgs::msg::Point32 point;
  point.x = static_cast<float>(x);
  point.y = static_cast<float>(y);
  return point;
}

}  // namespace

bool DynamicCoveragePlanning::pubCoveredInfo() {
  const TimePoint current = now();
  if (std::chrono::duration<double>(current - last_covered_request_time_).count() <
      kCoveredPointsInterval) {
    return true;
  }
  // Failed attempts are paced too.
  last_covered_request_time_ = current;
  if (!coverage_client_) {
    LOG_WARN("SyncCallService get_coverage_points client is nullptr");
    return false;
  }
  if (!coverage_client_->wait_for_service(kServiceWait)) {
    LOG_WARN("get_coverage_points server not exist");
    return false;
  }
  auto request = std::make_shared<GetCoveredPoints::Request>();
  request->request_flag = 1;
  auto answer = coverage_client_->async_send_request(request);
  if (answer.wait_for(kAnswerWait) != std::future_status::ready) {
    LOG_WARN("SyncCallService get_coverage_points server timeout");
    // A late answer has nobody waiting for it.
    coverage_client_->remove_pending_request(answer.request_id);
    return false;
  }
  const auto response = answer.get();
  if (!response || response->covered_poses.empty()) {
    return true;
  }
  covered_points_to_publish_.clear();
  covered_points_.clear();
  for (const auto& point : covered_points_frm_taskcenter_) {
    covered_points_to_publish_.push_back(planar(point.x, point.y));
  }
  for (const auto& pose : response->covered_poses) {
    const auto point = planar(pose.pose.position.x, pose.pose.position.y);
    covered_points_to_publish_.push_back(point);
    covered_points_.push_back(point);
  }
  vantrell_protocol::msg::CoveredPoints message;
  message.action_id = action_id_;
  message.covered_points = covered_points_to_publish_;
  double area = 0.0;
  double time = 0.0;
  contour_manager_->calRemaningContoursAreaAndtime(area, time);
  message.remaining_area = area;
  message.remaining_time = static_cast<int32_t>(time);
  const auto planning_unit = communicator_->getPlanningUnit();
  planning_unit->publishCoveredPoints(message);
  planning_unit->publishCoveredPath(response->covered_poses);
  last_covered_action_id_ = action_id_;
  return true;
}

void DynamicCoveragePlanning::calculateCleaningEfficiency() {
  if (!finished_) {
    return;
  }
  drawCoveredArea();
  const auto err_code = communicator_->getErrCodeUnit();
  if (need_clean_area_ > 0.0 &&
      cleaned_area_ / need_clean_area_ < proportion_cleaned_area_threshold_) {
    err_code->publishActiveTriggerRosbag(kRecordingModule, "cleaned_area_too_less");
    LOG_ERROR(
        "ErrorCode: {},The proportion of the cleaned area is less than {},proportion_cleaned_area "
        "is {}",
        codes::kCleanedAreaTooSmall, proportion_cleaned_area_threshold_,
        cleaned_area_ / need_clean_area_);
  } else {
    err_code->publishActiveTriggerRosbag(kRecordingModule, "task_finished");
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now() - task_start_time_).count();
  const double minutes = static_cast<double>(seconds) / 60.0;
  if (minutes == 0.0) {
    return;
  }
  const double efficiency = cleaned_area_ / (minutes / 60.0);
  if (save_path_) {
    writePathRecord(efficiency, minutes);
  }
  LOG_INFO(
      "cleaning efficiency is {} square_meter/hour, cleaned area is {} square_meter,need clean "
      "area is {} square_meter, use time {} min",
      efficiency, cleaned_area_, need_clean_area_, minutes);
}

void DynamicCoveragePlanning::drawCoveredArea() {
  const double width = max_coverage_width_ / coverage_resolution_;
  const int thickness =
      width >= 1.0 ? static_cast<int>(std::min(width, double{coverage::kMaxLineThickness})) : 1;
  cleaned_area_ =
      coverage::drawCoveredArea(*third_gridmap_->getMultiGridMap()->getCostmap(), covered_points_,
                                thickness, coverage_mat_, "DynamicCoveragePlanning");
}

void DynamicCoveragePlanning::writePathRecord(double efficiency, double minutes) const {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now());
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[20];
  std::strftime(stamp, sizeof(stamp), "%Y-%m-%d_%H-%M-%S", &local);
  const std::string file = path_file_folder_ + "path_" + stamp + ".txt";
  std::ofstream record(file, std::ios::out | std::ios::trunc);
  if (!record.is_open()) {
    LOG_WARN("Failed to open file {}", file);
    return;
  }
  record << "cleaning efficiency is " << efficiency << ";cleaned area is " << cleaned_area_
         << ";need clean area is " << need_clean_area_ << ";use time is " << minutes << " min"
         << std::endl;
  for (const auto& point : covered_points_to_publish_) {
    record << static_cast<double>(point.x) << "," << static_cast<double>(point.y) << std::endl;
  }
  if (!record) {
    LOG_WARN("Failed to write file {}", file);
  }
}

}  // namespace planning
