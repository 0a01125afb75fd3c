#ifndef PLANNING_SIM__LOCAL_TRIP_HPP_
#define PLANNING_SIM__LOCAL_TRIP_HPP_

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "planning_sim/action_call.hpp"
#include "planning_sim/motion_controller.hpp"
#include "planning_sim/sim_clock.hpp"
#include "planning_sim/sim_robot.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"

namespace planning_sim {

struct TripOptions {
  // Simulated time the robot follows each local path before it asks for the next; after a failed
  // plan it stands still as long.
  rclcpp::Duration control_period{std::chrono::milliseconds(500)};
  // The trip ends after this much simulated time.
  rclcpp::Duration time_limit{std::chrono::seconds(600)};
  // The trip ends after this many failed plans in a row.
  int max_failures_in_row{12};
  // The trip ends once the robot is this near the last pose of the goal's last global path.
  double arrival_tolerance{0.1};
  // Arrival ends the trip only when the result the robot has just followed says `finished` too,
  // as a task manager judges a point-to-point trip (the grid-search planners say it on nearly
  // every stretch, so the flag alone does not tell the end).
  bool arrival_needs_finished{false};
  // The trip ends once the robot has driven the local path of a result that finishes the task:
  // by default one that says `finished` (for point-to-point planners, the last stretch); a
  // coverage task is done once a result reports its cleaned area. Unset: only arrival ends it.
  std::function<bool(const vantrell_nav2_protocol::action::LocalPlanning::Result&)> finishes{
      [](const auto& result) { return result.finished != 0; }};
  // Real time to wait for a goal's acceptance and again for its result.
  std::chrono::seconds patience{60};
};

// What ends a coverage task: the result that reports the cleaned area.
bool reportsCleanedArea(const vantrell_nav2_protocol::action::LocalPlanning::Result& result);

// One LocalPlanning goal, as the motion controller saw it.
using PlanReply = ActionReply<vantrell_nav2_protocol::action::LocalPlanning>;

struct TripCycle {
  rclcpp::Time time;
  geometry_msgs::msg::Pose2D robot;
  PlanReply reply;
  FollowResult motion;
};

enum class TripEnd { kArrived, kFinished, kCollision, kFailures, kTimeLimit, kNoAnswer };

struct TripReport {
  TripEnd end{TripEnd::kNoAnswer};
  std::vector<TripCycle> cycles;
  size_t failures{0};
  rclcpp::Duration elapsed{0, 0};
  std::optional<Collision> collision;
};

/**
 * Plays the task manager and the motion controller of a trip through the local planning node:
 * asks "local_planning" for the next local path with the same goal, lets the motion controller
 * drive the simulated robot along it for a control period, and again, until the robot arrives, a
 * result says the task is finished and its path is driven, the robot avoids a collision, plans keep
 * failing, or the time runs out. Its node (the action clients') must be spun by a NodeHost. As the
 * task manager, it also asks the global planning node for the trips' global paths.
 */
class LocalTrip {
 public:
  using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;
  using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

  // The controller drives the robot along each result.
  LocalTrip(SimRobot& robot, MotionController& controller, TripOptions options = TripOptions());
  LocalTrip(const LocalTrip&) = delete;
  LocalTrip& operator=(const LocalTrip&) = delete;

  rclcpp::Node::SharedPtr node() const { return node_; }
  TripOptions& options() { return options_; }

  // One goal, sent once the robot has settled; waits for the answer.
  PlanReply requestPlan(const LocalPlanning::Goal& goal);
  // A "global_planning" goal, sent once the robot has settled (the node plans from where the
  // robot stands); waits for the answer.
  ActionReply<GlobalPlanning> requestGlobalPlan(const GlobalPlanning::Goal& goal);
  TripReport run(const LocalPlanning::Goal& goal);

 private:
  void waitOutPeriod(const FollowResult& motion);
  std::optional<TripEnd> afterMotion(const LocalPlanning::Goal& goal, const TripCycle& cycle) const;

  SimRobot& robot_;
  MotionController& controller_;
  TripOptions options_;
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<LocalPlanning>::SharedPtr client_;
  rclcpp_action::Client<GlobalPlanning>::SharedPtr global_client_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__LOCAL_TRIP_HPP_
