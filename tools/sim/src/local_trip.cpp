#include "planning_sim/local_trip.hpp"

#include <cmath>
#include <memory>

namespace planning_sim {

bool reportsCleanedArea(const vantrell_nav2_protocol::action::LocalPlanning::Result& result) {
  return result.cleaned_area > 0.0F;
}

LocalTrip::LocalTrip(SimRobot& robot, MotionController& controller, TripOptions options)
    : robot_(robot),
      controller_(controller),
      options_(options),
      node_(std::make_shared<rclcpp::Node>("sim_task_manager")),
      client_(rclcpp_action::create_client<LocalPlanning>(node_, "local_planning")),
      global_client_(rclcpp_action::create_client<GlobalPlanning>(node_, "global_planning")) {}

PlanReply LocalTrip::requestPlan(const LocalPlanning::Goal& goal) {
  robot_.settle();
  return callAction(*client_, goal, options_.patience);
}

ActionReply<LocalTrip::GlobalPlanning> LocalTrip::requestGlobalPlan(
    const GlobalPlanning::Goal& goal) {
  robot_.settle();
  return callAction(*global_client_, goal, options_.patience);
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
      cycle.motion = controller_.follow(cycle.reply.result, options_.control_period);
      waitOutPeriod(cycle.motion);
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

void LocalTrip::waitOutPeriod(const FollowResult& motion) {
  // A path driven to its end early (or one that asks for no motion) leaves the robot standing
  // until the next control period: the next plan is not asked for sooner, and time goes on.
  if (motion.reachedEnd() && motion.elapsed < options_.control_period) {
    robot_.standStill(options_.control_period - motion.elapsed);
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
    const bool finished = cycle.reply.succeeded && cycle.reply.result.finished != 0;
    if (std::hypot(destination.x - robot.x, destination.y - robot.y) <=
            options_.arrival_tolerance &&
        (finished || !options_.arrival_needs_finished)) {
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
