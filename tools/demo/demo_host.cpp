#include "demo_host.hpp"

#include <future>
#include <stdexcept>

namespace demo {

namespace {

constexpr std::chrono::seconds kServerPatience{10};

}  // namespace

DemoHost::DemoHost(std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                   const rclcpp::NodeOptions& options)
    : localisation_({global_map, local_map}) {
  node_ = std::make_shared<planning::NavGlobalPlanningServer>(global_map, local_map, options);
  task_manager_ = std::make_shared<rclcpp::Node>("demo_task_manager");
  client_ = rclcpp_action::create_client<GlobalPlanning>(task_manager_, "global_planning");
  host_.spin(node_);
  host_.spin(task_manager_);
  planning_sim::bringUp(*node_);
  if (!client_->wait_for_action_server(kServerPatience)) {
    throw std::runtime_error("the \"global_planning\" action server did not appear");
  }
}

void DemoHost::placeRobot(const Pose2& pose) { localisation_.placeRobot(pose); }

PlanOutcome DemoHost::plan(const GlobalPlanning::Goal& goal, std::chrono::seconds patience) {
  using WrappedResult = rclcpp_action::ClientGoalHandle<GlobalPlanning>::WrappedResult;
  auto result_promise = std::make_shared<std::promise<WrappedResult>>();
  auto result_future = result_promise->get_future();
  rclcpp_action::Client<GlobalPlanning>::SendGoalOptions options;
  options.result_callback = [result_promise](const WrappedResult& wrapped) {
    result_promise->set_value(wrapped);
  };

  PlanOutcome outcome;
  const auto sent_at = std::chrono::steady_clock::now();
  auto handle = client_->async_send_goal(goal, options);
  if (handle.wait_for(patience) != std::future_status::ready || !handle.get()) {
    return outcome;
  }
  outcome.accepted = true;
  if (result_future.wait_for(patience) != std::future_status::ready) {
    return outcome;
  }
  const WrappedResult wrapped = result_future.get();
  outcome.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent_at).count();
  outcome.answered = true;
  outcome.code = wrapped.code;
  if (wrapped.result) {
    outcome.result = *wrapped.result;
  }
  return outcome;
}

}  // namespace demo
