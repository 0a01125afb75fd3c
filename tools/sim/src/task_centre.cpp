#include "planning_sim/task_centre.hpp"

#include <memory>
#include <utility>

namespace planning_sim {

namespace {

constexpr char kCoveredPointsService[] = "/get_coverage_point";
// The flag that asks for the poses covered so far.
constexpr uint8_t kAskForCoveredPoses = 1;

}  // namespace

TaskCentre::TaskCentre(CoveredPoses covered_poses, const std::string& node_name)
    : covered_poses_(std::move(covered_poses)), node_(std::make_shared<rclcpp::Node>(node_name)) {
  service_ = node_->create_service<GetCoveredPoints>(
      kCoveredPointsService, [this](const std::shared_ptr<GetCoveredPoints::Request> request,
                                    std::shared_ptr<GetCoveredPoints::Response> response) {
        answer(*request, *response);
      });
}

void TaskCentre::startTask(const rclcpp::Time& start) {
  task_start_ns_ = start.nanoseconds();
  task_answers_ = 0;
}

void TaskCentre::answer(const GetCoveredPoints::Request& request,
                        GetCoveredPoints::Response& response) {
  last_flag_ = request.request_flag;
  ++requests_;
  if (request.request_flag != kAskForCoveredPoses) {
    response.success = false;
    return;
  }
  const int64_t since = task_start_ns_.load();
  for (auto& pose : covered_poses_()) {
    if (rclcpp::Time(pose.header.stamp).nanoseconds() > since) {
      response.covered_poses.push_back(std::move(pose));
    }
  }
  response.success = true;
  if (!response.covered_poses.empty()) {
    ++task_answers_;
  }
}

}  // namespace planning_sim
