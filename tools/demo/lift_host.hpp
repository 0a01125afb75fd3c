#ifndef DEMO__LIFT_HOST_HPP_
#define DEMO__LIFT_HOST_HPP_

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "demo_options.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "localisation.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/node_host.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"

namespace demo {

// How one goal of any action ended, as the task manager saw it.
template <typename ActionT>
struct ActionOutcome {
  bool answered{false};
  rclcpp_action::ResultCode code{rclcpp_action::ResultCode::UNKNOWN};
  typename ActionT::Result result;
  // From sending the goal to receiving its result.
  double milliseconds{0.0};

  bool succeeded() const { return answered && code == rclcpp_action::ResultCode::SUCCEEDED; }
};

/**
 * Plays the hosting process, the robot's localisation and recognisers and the task manager around
 * the lift: hosts the global planning node on a map with the given "lift_polygon", spins it with
 * a task-manager node on the host's executor thread, sends goals of all four of its actions,
 * reports obstacles the robot's recognisers see (wheelchairs, hospital beds), and listens to the
 * polygons the node publishes on "check_area" and "check_lift_area" and to the robot events it
 * raises. rclcpp must be running.
 */
class LiftHost {
 public:
  // Throws std::runtime_error when the node or one of its actions does not come up.
  // `parameters` go to the node as nodeOptionsWith gives them; the lift polygon wins over theirs.
  LiftHost(const nav_msgs::msg::OccupancyGrid& grid, const std::vector<double>& lift_polygon,
           const std::vector<rclcpp::Parameter>& parameters = {});
  LiftHost(const LiftHost&) = delete;
  LiftHost& operator=(const LiftHost&) = delete;

  void placeRobot(const Pose2& pose);
  // An obstacle of the given type bits inside `outline` (map frame), seen from now on.
  void reportObstacle(const geometry_msgs::msg::Polygon& outline, uint32_t types);

  // Sends the goal and waits at most `patience` for its acceptance and its result.
  template <typename ActionT>
  ActionOutcome<ActionT> call(const std::string& action, const typename ActionT::Goal& goal,
                              std::chrono::seconds patience);

  // What "check_area" and "check_lift_area" carried since the last call, oldest first.
  std::vector<geometry_msgs::msg::PolygonStamped> takeCheckAreas();
  std::vector<geometry_msgs::msg::PolygonStamped> takeCheckLiftAreas();
  // Robot events raised since the host was built.
  size_t robotEventCount() const { return robot_events_; }

 private:
  template <typename ActionT>
  typename rclcpp_action::Client<ActionT>::SharedPtr client(const std::string& action);
  void drainTaps();

  planning_sim::GlobalNodeMaps maps_;
  Localisation localisation_;
  std::shared_ptr<planning::NavGlobalPlanningServer> node_;
  rclcpp::Node::SharedPtr task_manager_;
  std::vector<std::pair<std::string, std::shared_ptr<void>>> clients_;
  // Spun only on the calling thread, so that a goal's polygons are all in once its result is.
  rclcpp::Node::SharedPtr tap_;
  rclcpp::Subscription<geometry_msgs::msg::PolygonStamped>::SharedPtr check_area_sub_;
  rclcpp::Subscription<geometry_msgs::msg::PolygonStamped>::SharedPtr check_lift_area_sub_;
  rclcpp::Subscription<vantrell_protocol::msg::RobotEvent>::SharedPtr robot_event_sub_;
  std::vector<geometry_msgs::msg::PolygonStamped> check_areas_;
  std::vector<geometry_msgs::msg::PolygonStamped> check_lift_areas_;
  size_t robot_events_{0};
  // Last: it stops serving the nodes before they go.
  planning_sim::NodeHost host_;
};

template <typename ActionT>
typename rclcpp_action::Client<ActionT>::SharedPtr LiftHost::client(const std::string& action) {
  for (const auto& entry : clients_) {
    if (entry.first == action) {
      return std::static_pointer_cast<rclcpp_action::Client<ActionT>>(entry.second);
    }
  }
  auto made = rclcpp_action::create_client<ActionT>(task_manager_, action);
  clients_.emplace_back(action, made);
  return made;
}

template <typename ActionT>
ActionOutcome<ActionT> LiftHost::call(const std::string& action, const typename ActionT::Goal& goal,
                                      std::chrono::seconds patience) {
  using WrappedResult = typename rclcpp_action::ClientGoalHandle<ActionT>::WrappedResult;
  ActionOutcome<ActionT> outcome;
  auto action_client = client<ActionT>(action);
  if (!action_client->wait_for_action_server(patience)) {
    return outcome;
  }
  auto result_promise = std::make_shared<std::promise<WrappedResult>>();
  auto result_future = result_promise->get_future();
  typename rclcpp_action::Client<ActionT>::SendGoalOptions options;
  options.result_callback = [result_promise](const WrappedResult& wrapped) {
    result_promise->set_value(wrapped);
  };
  const auto sent_at = std::chrono::steady_clock::now();
  auto handle = action_client->async_send_goal(goal, options);
  if (handle.wait_for(patience) != std::future_status::ready || !handle.get() ||
      result_future.wait_for(patience) != std::future_status::ready) {
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
  drainTaps();
  return outcome;
}

}  // namespace demo

#endif  // DEMO__LIFT_HOST_HPP_
