#ifndef PLANNING_SIM__MOTION_CONTROLLER_HPP_
#define PLANNING_SIM__MOTION_CONTROLLER_HPP_

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning_sim/sim_robot.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace planning_sim {

struct ControllerParams {
  // False: the robot's blind follower (pure pursuit that never looks at the map), for tests that
  // need the planner's path driven as it is.
  bool footprint_aware{true};
  // Motion checked ahead of each command: this long at the command's speed, and at least
  // `stop_margin` of way beyond it, so that the robot stops short (a turn in place: to its end
  // and 0.1 rad beyond).
  double horizon_s{1.0};
  double stop_margin{0.05};
  // Checked poses lie at most this far apart along the motion (metres; radians when turning).
  double check_step{0.025};
  // Speeds tried, as shares of the follower's, fastest first; and for each, the path followed as
  // it is, then shifted aside by these distances either way (metres), nearest first.
  std::vector<double> speed_shares{1.0, 0.5, 0.25};
  std::vector<double> path_offsets{0.05, 0.1, 0.15};
  // Progress: a robot that is commanded for `progress_allowance` of simulated time without
  // moving `progress_radius` from where it was (turning on the spot is no progress, but the
  // allowance covers a half turn) backs up `backup_distance` at `backup_speed` (against its last
  // motion, unless that way is blocked short of it and the other is clear), then hands back to the
  // planner. A robot standing before a turn it has no room for backs up (straight, or on
  // an arc beside a wall, up to 0.6 m) to where it has, when the plain back-up does not get there.
  // Standing before a turn again where its last recovery started (which then bought nothing), it
  // does not repeat that recovery: it backs up straight until the turn clears, up to 1.2 m, and
  // 0.6 m more each time it is back.
  // Where the way behind is blocked before that, it turns `escape_turn` radians in place (either
  // way, as the outline clears) or, failing that, drives `backup_distance` forward, then hands
  // back; at most `escapes_in_place` times until the robot has got `escape_range` from where the
  // first of them was made.
  double progress_radius{0.1};
  rclcpp::Duration progress_allowance{std::chrono::seconds(8)};
  double backup_distance{0.15};
  double backup_speed{0.1};
  double escape_turn{0.5};
  int escapes_in_place{2};
  double escape_range{0.5};
  // A robot standing before a turn that no back-up gives it room for, with the way behind blocked,
  // turns creeping forward this fast (m/s; 0: never) on the tightest arc, where that is clear to
  // the turn's end.
  double creep_speed{0.02};
};

/**
 * The motion controller between the local planner's results and the wheels, as a deployed robot
 * has one: it follows the local path by pure pursuit, checks the robot's outline against the
 * local map along the motion that following would make over a short horizon before each command,
 * and slows, follows the path shifted a little aside or stops short rather than touching. A turn in
 * place that a result asks for is turned to the end, over as many control periods as it takes. A
 * robot that makes no progress backs up (or, blocked behind, turns a little or moves on a little)
 * and lets the planner plan again. It keeps this state between results; a new placement of the
 * robot starts it afresh.
 */
class MotionController {
 public:
  using Command = SimRobot::Command;

  MotionController(SimRobot& robot, std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_map,
                   ControllerParams params = ControllerParams());

  // Drives the result for at most `budget` of simulated time (as SimRobot::follow).
  FollowResult follow(const SimRobot::LocalPlanningResult& result,
                      std::optional<rclcpp::Duration> budget = std::nullopt);

  const ControllerParams& params() const { return params_; }
  // Back-ups made so far, and steps the robot stood because every motion would have touched.
  size_t recoveries() const { return recoveries_; }
  size_t stops() const { return stops_; }

 private:
  struct Rollout;
  // A motion of recovery: `command` until the robot has made `amount` (metres, or radians of a
  // turn in place or `by_heading`) from `from`, or its next step would touch; a back-up that makes
  // room for a turn to `room_for` ends as soon as that turn clears.
  struct Recovery {
    Command command;
    geometry_msgs::msg::Pose2D from;
    double amount{0.0};
    bool by_heading{false};
    std::optional<double> room_for{};
  };

  void startAfreshIfPlaced();
  // The recovery of a robot that has made no progress, standing before a turn to
  // `blocked_heading` (if any).
  Recovery recoveryFor(std::optional<double> blocked_heading);
  // Counts the recovery that starts now: how many in a row have started where the first did.
  int recoveriesHere();
  std::optional<Command> nextCommand(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                     size_t& cursor, bool backward, bool& path_done);
  std::optional<Command> pathCommand(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                     size_t& cursor, bool backward);
  // The first command of following `poses` at `share` of the speed, when the motion of the
  // horizon stays clear.
  std::optional<Command> clearFollowing(const Rollout& rollout,
                                        const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                        size_t cursor, bool backward, double share) const;
  // The turn towards the spin's target; none when it is reached or (`blocked`) when neither way
  // round is clear.
  std::optional<Command> spinCommand(bool& blocked) const;
  // Straight on in the driving direction, as fast as stays clear: where no turn towards the path
  // is clear, a wall or a leg beside the robot's tail, which any turn would swing it into, falls
  // behind as it drives on, as a controller sampling its motions would find.
  std::optional<Command> clearStraight(bool backward) const;
  // The turn that faces the driving direction (the tail, driving backward) towards `target`.
  double headingError(const geometry_msgs::msg::PoseStamped& target, bool backward) const;
  // Driving on while turning towards the path (`error`, radians, the side to turn to) as tightly
  // as the robot turns, as fast as stays clear: where the outline cannot turn on the spot (in a
  // corner of walls, beside chair legs) a turn made while driving may still be clear.
  std::optional<Command> clearArc(bool backward, double error) const;
  // The back-up, straight or on an arc, that reaches soonest a pose where the robot can turn to
  // `heading`, a turn it stood before; none when the plain back-up `straight` (of
  // `backup_distance`) does so or none within reach does.
  std::optional<Recovery> backUpToTurn(const Command& straight, double heading) const;
  // The turn to `heading` made creeping forward on the tightest arc, which keeps the turning
  // outline nearer its middle than a turn on the spot does; none when it is not clear to its end,
  // or the plain back-up `straight` is clear.
  std::optional<Recovery> creepToTurn(const Command& straight, double heading) const;
  // Stands, remembering the turn towards the path (`error`) that it has no room for.
  Command standBefore(double error);
  // Whether the robot, from `from`, can turn on the spot to `heading`, either way round.
  bool turnClearFrom(const Rollout& rollout, const geometry_msgs::msg::Pose2D& from,
                     double heading) const;
  bool sweepFits(const Rollout& rollout, const geometry_msgs::msg::Pose2D& from,
                 const Command& command, double extent) const;
  std::optional<Command> recoveryCommand() const;
  double recoveryMade() const;
  // Whether the recovery has gone as far as it was to.
  bool recoveryDone() const;
  // A turn in place either way, or else a move forward, whose motion stays clear; none when
  // neither does.
  std::optional<Recovery> escape() const;
  // Whether another escape may be tried here (and counts it).
  bool mayEscape();
  // A turn in place by `yaw_error` (the nominal command's) until the heading is within
  // `ends_within` of it, the other way round when the short way is blocked; none when both are.
  std::optional<Command> clearTurn(const Command& nominal, double yaw_error,
                                   double ends_within) const;
  bool clear(const Command& command, double horizon_s, double ahead) const;
  Command backUpCommand() const;
  Rollout lookAtMap() const;
  void countMadeStep();
  bool noProgress();
  void noteProgressAnchor();

  SimRobot& robot_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_map_;
  ControllerParams params_;
  size_t placements_seen_{0};
  std::optional<double> spin_target_;
  std::optional<Recovery> recovery_;
  // The heading of the turn the robot stands before, blocked both ways round.
  std::optional<double> blocked_heading_;
  // Whether the recovery under way is already an escape from a blocked back-up.
  bool escaping_{false};
  std::optional<geometry_msgs::msg::Pose2D> escape_origin_;
  int escapes_near_origin_{0};
  // Where the last recovery started, and how many in a row started there.
  std::optional<geometry_msgs::msg::Pose2D> recovery_origin_;
  int recoveries_at_origin_{0};
  double last_linear_{0.0};
  // The command last given, until the robot has made its step (then counted) or the follow ends.
  std::optional<Command> last_command_;
  geometry_msgs::msg::Pose2D anchor_;
  // Simulated time commanded since the robot last made progress.
  rclcpp::Duration commanded_without_progress_{0, 0};
  size_t recoveries_{0};
  size_t stops_{0};
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__MOTION_CONTROLLER_HPP_
