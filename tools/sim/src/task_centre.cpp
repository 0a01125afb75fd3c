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

void TaskCentre::answer(const GetCoveredPoints::Request& request,
                        GetCoveredPoints::Response& response) {
  last_flag_ = request.request_flag;
  ++requests_;
  if (request.request_flag != kAskForCoveredPoses) {
    response.success = false;
    return;
  }
  response.covered_poses = covered_poses_();
  response.success = true;
}

}  // namespace planning_sim
