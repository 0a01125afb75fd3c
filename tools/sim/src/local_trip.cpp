#include "planning_sim/local_trip.hpp"

#include <cmath>
#include <future>
#include <memory>

namespace planning_sim {

bool reportsCleanedArea(const vantrell_nav2_protocol::action::LocalPlanning::Result& result) {
  return result.cleaned_area > 0.0F;
}

LocalTrip::LocalTrip(SimRobot& robot, TripOptions options)
    : robot_(robot),
      options_(options),
      node_(std::make_shared<rclcpp::Node>("sim_task_manager")),
      client_(rclcpp_action::create_client<LocalPlanning>(node_, "local_planning")) {}

PlanReply LocalTrip::requestPlan(const LocalPlanning::Goal& goal) {
  using WrappedResult = rclcpp_action::ClientGoalHandle<LocalPlanning>::WrappedResult;
  robot_.settle();
  PlanReply reply;
  if (!client_->wait_for_action_server(options_.patience)) {
    return reply;
  }
  auto answer = std::make_shared<std::promise<WrappedResult>>();
  auto answered = answer->get_future();
  rclcpp_action::Client<LocalPlanning>::SendGoalOptions send_options;
  send_options.result_callback = [answer](const WrappedResult& wrapped) {
    answer->set_value(wrapped);
  };
  auto accepted = client_->async_send_goal(goal, send_options);
  if (accepted.wait_for(options_.patience) != std::future_status::ready || !accepted.get() ||
      answered.wait_for(options_.patience) != std::future_status::ready) {
    return reply;
  }
  const WrappedResult wrapped = answered.get();
  reply.answered = true;
  reply.succeeded = wrapped.code == rclcpp_action::ResultCode::SUCCEEDED;
  if (wrapped.result) {
    reply.result = *wrapped.result;
  }
  return reply;
}

TripReport LocalTrip::run(const LocalPlanning::Goal& goal) {
  TripReport report;
  const rclcpp::Time start = robot_.clock().now();
  int failures_in_row = 0;
  while (true) {
    report.elapsed = robot_.clock().now() - start;
    if (report.elapsed >= options_.time_limit) {
      report.end = TripEnd::kTimeLimit;
      return report;
    }
    TripCycle cycle;
    cycle.time = robot_.clock().now();
    cycle.robot = robot_.pose();
    cycle.reply = requestPlan(goal);
    if (!cycle.reply.answered) {
      report.cycles.push_back(cycle);
      report.end = TripEnd::kNoAnswer;
      return report;
    }
    if (cycle.reply.succeeded) {
      failures_in_row = 0;
      cycle.motion = robot_.follow(cycle.reply.result, options_.control_period);
    } else {
      ++report.failures;
      ++failures_in_row;
      cycle.motion = robot_.standStill(options_.control_period);
    }
    report.cycles.push_back(cycle);
    report.collision = robot_.collision();
    if (failures_in_row >= options_.max_failures_in_row) {
      report.end = TripEnd::kFailures;
    } else if (auto end = afterMotion(goal, cycle)) {
      report.end = *end;
    } else {
      continue;
    }
    report.elapsed = robot_.clock().now() - start;
    return report;
  }
}

std::optional<TripEnd> LocalTrip::afterMotion(const LocalPlanning::Goal& goal,
                                              const TripCycle& cycle) const {
  if (cycle.motion.ending == FollowResult::Ending::kCollision) {
    return TripEnd::kCollision;
  }
  const auto& paths = goal.global_paths.paths;
  if (!paths.empty() && !paths.back().nav_path.poses.empty()) {
    const auto& destination = paths.back().nav_path.poses.back().pose.position;
    const auto robot = robot_.pose();
    if (std::hypot(destination.x - robot.x, destination.y - robot.y) <=
        options_.arrival_tolerance) {
      return TripEnd::kArrived;
    }
  }
  if (options_.finishes && cycle.reply.succeeded && options_.finishes(cycle.reply.result) &&
      cycle.motion.reachedEnd()) {
    return TripEnd::kFinished;
  }
  return std::nullopt;
}

}  // namespace planning_sim
