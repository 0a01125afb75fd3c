#ifndef PLANNING_SIM__ACTION_CALL_HPP_
#define PLANNING_SIM__ACTION_CALL_HPP_

#include <chrono>
#include <future>
#include <memory>
#include <utility>

#include "rclcpp_action/rclcpp_action.hpp"

namespace planning_sim {

// One goal as the task manager saw it.
template <typename ActionT>
struct ActionReply {
  // The result came within the wait.
  bool answered{false};
  bool succeeded{false};
  typename ActionT::Result result;
  // Wall time from sending the goal to the arrival of its result, in milliseconds: the server's
  // whole work on the goal, its acceptance and the result's delivery included.
  double milliseconds{0.0};
};

// Sends `goal` through `client` (whose node a NodeHost serves) and waits for the server, for the
// goal's acceptance and for its result, each at most `patience`; a reply that did not come in
// time is not `answered`.
template <typename ActionT>
ActionReply<ActionT> callAction(rclcpp_action::Client<ActionT>& client,
                                const typename ActionT::Goal& goal, std::chrono::seconds patience) {
  using WrappedResult = typename rclcpp_action::ClientGoalHandle<ActionT>::WrappedResult;
  using Arrival = std::pair<WrappedResult, std::chrono::steady_clock::time_point>;
  ActionReply<ActionT> reply;
  if (!client.wait_for_action_server(patience)) {
    return reply;
  }
  // Stamped where it arrives, so that the waiting thread's wake-up is not counted.
  auto answer = std::make_shared<std::promise<Arrival>>();
  auto answered = answer->get_future();
  typename rclcpp_action::Client<ActionT>::SendGoalOptions options;
  options.result_callback = [answer](const WrappedResult& wrapped) {
    answer->set_value({wrapped, std::chrono::steady_clock::now()});
  };
  const auto sent = std::chrono::steady_clock::now();
  auto accepted = client.async_send_goal(goal, options);
  if (accepted.wait_for(patience) != std::future_status::ready || !accepted.get() ||
      answered.wait_for(patience) != std::future_status::ready) {
    return reply;
  }
  const Arrival arrival = answered.get();
  reply.answered = true;
  reply.succeeded = arrival.first.code == rclcpp_action::ResultCode::SUCCEEDED;
  if (arrival.first.result) {
    reply.result = *arrival.first.result;
  }
  reply.milliseconds = std::chrono::duration<double, std::milli>(arrival.second - sent).count();
  return reply;
}

}  // namespace planning_sim

#endif  // PLANNING_SIM__ACTION_CALL_HPP_
