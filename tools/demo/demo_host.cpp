#include "demo_host.hpp"

#include <stdexcept>
#include <utility>

#include "lifecycle_msgs/msg/state.hpp"

namespace demo {

namespace {

constexpr std::chrono::seconds kServerPatience{10};

}  // namespace

DemoHost::DemoHost(std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map)
    : localisation_({global_map, local_map}) {
  node_ = std::make_shared<planning::NavGlobalPlanningServer>(global_map, local_map,
                                                              rclcpp::NodeOptions());
  task_manager_ = std::make_shared<rclcpp::Node>("demo_task_manager");
  client_ = rclcpp_action::create_client<GlobalPlanning>(task_manager_, "global_planning");

  executor_.add_node(node_->get_node_base_interface());
  executor_.add_node(task_manager_);
  std::packaged_task<void()> spin([this] { executor_.spin(); });
  spin_done_ = spin.get_future();
  spinner_ = std::thread(std::move(spin));

  try {
    if (node_->configure().id() != lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE ||
        node_->activate().id() != lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE) {
      throw std::runtime_error("the global planning node did not come up");
    }
    if (!client_->wait_for_action_server(kServerPatience)) {
      throw std::runtime_error("the \"global_planning\" action server did not appear");
    }
  } catch (...) {
    stopSpinning();
    throw;
  }
}

DemoHost::~DemoHost() { stopSpinning(); }

void DemoHost::stopSpinning() {
  // A cancel that comes before spin has begun is lost, so it is repeated until spin returns.
  do {
    executor_.cancel();
  } while (spin_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
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
