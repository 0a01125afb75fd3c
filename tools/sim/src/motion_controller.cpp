#include "planning_sim/motion_controller.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "planning_sim/sim_world.hpp"

namespace planning_sim {

namespace {

// A turn in place is checked this far beyond what the horizon covers.
constexpr double kTurnMargin = 0.1;
// A back-up that looks for room to turn goes at most this far, and is looked along in steps of
// this much simulated time.
constexpr double kLongestBackUp = 0.6;
constexpr double kSearchStep = 0.1;

double normalised(double angle) { return std::atan2(std::sin(angle), std::cos(angle)); }

// How fast a command makes its way: metres a second driving, radians a second on the spot.
double motionRate(const SimRobot::Command& command) {
  return command.linear != 0.0 ? std::abs(command.linear) : std::abs(command.angular);
}

// The path moved `offset` to its left (negative: right), each pose across its own stretch.
std::vector<geometry_msgs::msg::PoseStamped> shifted(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, double offset) {
  std::vector<geometry_msgs::msg::PoseStamped> moved = poses;
  for (size_t i = 0; i < poses.size() && poses.size() > 1; ++i) {
    const auto& a = poses[i == 0 ? 0 : i - 1].pose.position;
    const auto& b = poses[i == 0 ? 1 : i].pose.position;
    const double along = std::atan2(b.y - a.y, b.x - a.x);
    moved[i].pose.position.x -= offset * std::sin(along);
    moved[i].pose.position.y += offset * std::cos(along);
  }
  return moved;
}

}  // namespace

// The grid a check reads, and what the robot covers where it stands now (already under it, so
// never what a motion would enter).
struct MotionController::Rollout {
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock;
  nav_msgs::msg::MapMetaData info;
  const nav2_costmap_2d::Costmap2D* costmap{nullptr};
  const std::vector<geometry_msgs::msg::Point>* footprint{nullptr};
  std::vector<cv::Point> under_now;

  bool fits(const geometry_msgs::msg::Pose2D& pose) const {
    for (const auto& cell : cellsUnder(info, *footprint, pose)) {
      if (blocked(cell)) {
        return false;
      }
    }
    return true;
  }

  bool blocked(const cv::Point& cell) const {
    if (cell.x < 0 || cell.y < 0 || cell.x >= static_cast<int>(info.width) ||
        cell.y >= static_cast<int>(info.height)) {
      return true;
    }
    return costmap->getCost(static_cast<unsigned int>(cell.x), static_cast<unsigned int>(cell.y)) ==
               nav2_costmap_2d::LETHAL_OBSTACLE &&
           std::find(under_now.begin(), under_now.end(), cell) == under_now.end();
  }
};

MotionController::MotionController(SimRobot& robot,
                                   std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_map,
                                   ControllerParams params)
    : robot_(robot), local_map_(std::move(local_map)), params_(std::move(params)) {}

FollowResult MotionController::follow(const SimRobot::LocalPlanningResult& result,
                                      std::optional<rclcpp::Duration> budget) {
  if (!params_.footprint_aware) {
    return robot_.follow(result, budget);
  }
  startAfreshIfPlaced();
  if (result.spin_required) {
    spin_target_ = result.spin_angle;
  }
  const auto& poses = result.local_path.nav_path.poses;
  const bool backward = result.local_path.move_backward;
  size_t cursor = 0;
  bool path_done = poses.empty();
  // A command the last follow ended on (its budget spent) was never made.
  last_command_.reset();
  return robot_.drive(budget, [&]() { return nextCommand(poses, cursor, backward, path_done); });
}

void MotionController::startAfreshIfPlaced() {
  if (robot_.placements() == placements_seen_) {
    return;
  }
  placements_seen_ = robot_.placements();
  spin_target_.reset();
  blocked_heading_.reset();
  recovery_.reset();
  escape_origin_.reset();
  recovery_origin_.reset();
  noteProgressAnchor();
}

std::optional<MotionController::Command> MotionController::nextCommand(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t& cursor, bool backward,
    bool& path_done) {
  countMadeStep();
  if (!recovery_ && (spin_target_ || !path_done) && noProgress()) {
    recovery_ = recoveryFor(blocked_heading_);
    escaping_ = false;
  }
  if (recovery_) {
    if (auto command = recoveryCommand()) {
      return command;
    }
    // The way behind is blocked short of the back-up: a standing robot would wait for the room
    // to stall, so it tries the other escapes before the planner plans again.
    if (!escaping_ && !recoveryDone() && mayEscape()) {
      escaping_ = true;
      recovery_ = escape();
      if (recovery_) {
        return recovery_->command;
      }
    }
    // Recovered: the planner plans again from here.
    recovery_.reset();
    spin_target_.reset();
    ++recoveries_;
    noteProgressAnchor();
    return std::nullopt;
  }
  std::optional<Command> command;
  bool spin_blocked = false;
  if (spin_target_) {
    command = spinCommand(spin_blocked);
    if (!command && !spin_blocked) {
      spin_target_.reset();
    }
  }
  // A spin blocked both ways round: the path is driven as the controller's own rules allow (tail
  // first where the robot cannot face it), since standing would only wait for the room to stall;
  // the spin is turned once it clears.
  if (!command && !path_done) {
    command = pathCommand(poses, cursor, backward);
    path_done = !command;
  }
  if (!command && spin_blocked) {
    command = Command();
    blocked_heading_ = spin_target_;
  }
  if (command && (command->linear != 0.0 || command->angular != 0.0)) {
    blocked_heading_.reset();
  }
  if (command) {
    last_command_ = command;
    last_linear_ = command->linear != 0.0 ? command->linear : last_linear_;
  }
  return command;
}

MotionController::Recovery MotionController::recoveryFor(std::optional<double> blocked_heading) {
  Recovery plain{backUpCommand(), robot_.pose(), params_.backup_distance};
  const int here = recoveriesHere();
  if (!blocked_heading) {
    return plain;
  }
  // Back where the last recovery started, before the turn again: that recovery bought nothing, and
  // the same again would only rock the robot to and fro until the room stalls. Farther back, the
  // turn's sweep leaves the furniture beside the robot behind.
  if (here > 1 && clear(plain.command, 0.0, params_.backup_distance)) {
    plain.amount = here * kLongestBackUp;
    plain.room_for = blocked_heading;
    return plain;
  }
  if (auto backup = backUpToTurn(plain.command, *blocked_heading)) {
    return *backup;
  }
  if (auto creep = creepToTurn(plain.command, *blocked_heading)) {
    return *creep;
  }
  return plain;
}

int MotionController::recoveriesHere() {
  const auto now = robot_.pose();
  if (recovery_origin_ && std::hypot(now.x - recovery_origin_->x, now.y - recovery_origin_->y) <
                              params_.progress_radius) {
    return ++recoveries_at_origin_;
  }
  recovery_origin_ = now;
  recoveries_at_origin_ = 1;
  return recoveries_at_origin_;
}

// The robot asks for the next command only once it has made the step of the last one; a
// command counted when given would count the one the control period ends on, never made.
void MotionController::countMadeStep() {
  if (last_command_) {
    commanded_without_progress_ =
        commanded_without_progress_ + rclcpp::Duration::from_seconds(robot_.params().step);
    if (last_command_->linear == 0.0 && last_command_->angular == 0.0) {
      ++stops_;
    }
  }
  last_command_.reset();
}

std::optional<MotionController::Command> MotionController::pathCommand(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t& cursor, bool backward) {
  const auto nominal = robot_.pursue(poses, cursor, backward);
  if (!nominal) {
    return std::nullopt;
  }
  const double error = headingError(poses[cursor], backward);
  if (nominal->linear == 0.0) {
    if (auto turn = clearTurn(*nominal, error, robot_.params().turn_in_place_above)) {
      return turn;
    }
    // No room to turn towards the path: drive it the other way round, as far as that is clear.
    if (auto reversed = clearFollowing(lookAtMap(), poses, cursor, !backward, 1.0)) {
      return reversed;
    }
    if (auto arc = clearArc(backward, error)) {
      return arc;
    }
    // With the path ahead of its side, straight on brings the robot nearer it.
    if (std::abs(error) < M_PI / 2.0) {
      if (auto straight = clearStraight(backward)) {
        return straight;
      }
    }
    return standBefore(error);
  }
  const Rollout rollout = lookAtMap();
  for (const double share : params_.speed_shares) {
    if (auto command = clearFollowing(rollout, poses, cursor, backward, share)) {
      return command;
    }
    for (const double offset : params_.path_offsets) {
      for (const double side : {offset, -offset}) {
        if (auto command = clearFollowing(rollout, shifted(poses, side), cursor, backward, share)) {
          return command;
        }
      }
    }
  }
  if (auto arc = clearArc(backward, error)) {
    return arc;
  }
  if (auto straight = clearStraight(backward)) {
    return straight;
  }
  return standBefore(error);
}

MotionController::Command MotionController::standBefore(double error) {
  blocked_heading_ = robot_.pose().theta + error;
  return Command();
}

double MotionController::headingError(const geometry_msgs::msg::PoseStamped& target,
                                      bool backward) const {
  const auto& at = target.pose.position;
  const double driving = robot_.pose().theta + (backward ? M_PI : 0.0);
  return normalised(std::atan2(at.y - robot_.pose().y, at.x - robot_.pose().x) - driving);
}

std::optional<MotionController::Command> MotionController::clearArc(bool backward,
                                                                    double error) const {
  const SimRobotParams& robot = robot_.params();
  const double turn = std::copysign(robot.max_angular_speed, error);
  // Slowest first: the tightest arc comes nearest the turn on the spot that the path asked for.
  for (auto share = params_.speed_shares.rbegin(); share != params_.speed_shares.rend(); ++share) {
    const Command arc{(backward ? -*share : *share) * robot.max_linear_speed, turn};
    if (clear(arc, params_.horizon_s, params_.stop_margin)) {
      return arc;
    }
  }
  return std::nullopt;
}

std::optional<MotionController::Command> MotionController::clearStraight(bool backward) const {
  for (const double share : params_.speed_shares) {
    const Command straight{(backward ? -share : share) * robot_.params().max_linear_speed, 0.0};
    if (clear(straight, params_.horizon_s, params_.stop_margin)) {
      return straight;
    }
  }
  return std::nullopt;
}

std::optional<MotionController::Command> MotionController::clearFollowing(
    const Rollout& rollout, const std::vector<geometry_msgs::msg::PoseStamped>& poses,
    size_t cursor, bool backward, double share) const {
  const SimRobotParams& robot = robot_.params();
  // Way made: driven, and turned at the outline's reach.
  const double reach = robot.lookahead;
  const double extent = share * robot.max_linear_speed * params_.horizon_s + params_.stop_margin;
  const int most_steps = 4 * static_cast<int>(std::ceil(params_.horizon_s / robot.step));
  std::optional<Command> first;
  geometry_msgs::msg::Pose2D pose = robot_.pose();
  double made = 0.0;
  double unchecked = 0.0;
  for (int i = 0; i < most_steps && made < extent; ++i) {
    auto command = pursuitCommand(pose, poses, cursor, backward, robot);
    if (!command) {
      break;
    }
    command->linear *= share;
    command->angular *= share;
    if (!first) {
      first = command;
    }
    pose = advanced(pose, *command, robot.step);
    const double way =
        (std::abs(command->linear) + reach * std::abs(command->angular)) * robot.step;
    made += way;
    unchecked += way;
    if (i == 0 || unchecked >= params_.check_step) {
      if (!rollout.fits(pose)) {
        return std::nullopt;
      }
      unchecked = 0.0;
    }
  }
  if (unchecked > 0.0 && !rollout.fits(pose)) {
    return std::nullopt;
  }
  return first;
}

std::optional<MotionController::Command> MotionController::spinCommand(bool& blocked) const {
  blocked = false;
  const auto nominal = robot_.turnTowards(*spin_target_);
  if (!nominal) {
    return std::nullopt;
  }
  auto turn = clearTurn(*nominal, normalised(*spin_target_ - robot_.pose().theta), 0.0);
  blocked = !turn;
  return turn;
}

std::optional<MotionController::Command> MotionController::clearTurn(const Command& nominal,
                                                                     double yaw_error,
                                                                     double ends_within) const {
  // A turn is started only where it can be turned to its end: checked a fixed way ahead, a robot
  // turning into a pocket would find each way clear from one step and blocked from the next, and
  // rock at the pocket's edge.
  const double short_way = std::max(0.0, std::abs(yaw_error) - ends_within);
  if (clear(nominal, 0.0, short_way + kTurnMargin)) {
    return nominal;
  }
  // The long way round, when the short way is blocked.
  const Command other{0.0, std::copysign(robot_.params().max_angular_speed, -yaw_error)};
  const double long_way = std::max(0.0, 2.0 * M_PI - std::abs(yaw_error) - ends_within);
  if (clear(other, 0.0, long_way + kTurnMargin)) {
    return other;
  }
  return std::nullopt;
}

// Back up: against the last motion, unless that way is blocked short of the back-up and the
// other is clear. A robot that crept tail first towards its path while facing an obstacle would
// otherwise "back up" into that obstacle, a centimetre at a time, for good.
MotionController::Command MotionController::backUpCommand() const {
  const double sign = last_linear_ < 0.0 ? 1.0 : -1.0;
  const Command backup{sign * params_.backup_speed, 0.0};
  const Command other{-backup.linear, 0.0};
  if (!clear(backup, 0.0, params_.backup_distance) && clear(other, 0.0, params_.backup_distance)) {
    return other;
  }
  return backup;
}

std::optional<MotionController::Recovery> MotionController::backUpToTurn(const Command& straight,
                                                                         double heading) const {
  const Rollout rollout = lookAtMap();
  const geometry_msgs::msg::Pose2D start = robot_.pose();
  // The way (from the robot, as a recovery measures it) after which `command` leaves room to turn.
  const auto roomToTurn = [&](const Command& command) -> std::optional<double> {
    if (command.linear == 0.0) {
      return std::nullopt;
    }
    geometry_msgs::msg::Pose2D pose = start;
    for (double way = 0.0; way < kLongestBackUp; way += std::abs(command.linear) * kSearchStep) {
      pose = advanced(pose, command, kSearchStep);
      if (!rollout.fits(pose)) {
        return std::nullopt;
      }
      if (turnClearFrom(rollout, pose, heading)) {
        return std::hypot(pose.x - start.x, pose.y - start.y);
      }
    }
    return std::nullopt;
  };
  // Where the plain back-up leaves room to turn, it is made as it always was.
  const auto plain = roomToTurn(straight);
  if (plain && *plain <= params_.backup_distance) {
    return std::nullopt;
  }
  // The other way only where the back-up's first step is blocked (a robot that drove tail first
  // into a pocket): elsewhere moving on forward brings it back to where it stood.
  std::vector<double> linears{straight.linear};
  if (!rollout.fits(advanced(start, straight, robot_.params().step))) {
    linears.push_back(-straight.linear);
  }
  // Straight before any arc: an arc is needed only beside a wall, which straight moves keep the
  // robot as near to as it was.
  const double rate = robot_.params().max_angular_speed;
  for (const std::vector<double>& turns :
       {std::vector<double>{0.0}, std::vector<double>{rate / 2.0, -rate / 2.0, rate, -rate}}) {
    std::optional<Recovery> best;
    for (const double linear : linears) {
      for (const double turn : turns) {
        const Command command{linear, turn};
        const auto way = roomToTurn(command);
        if (way && (!best || *way < best->amount)) {
          best = Recovery{command, start, *way};
        }
      }
    }
    if (best) {
      return best;
    }
  }
  return std::nullopt;
}

std::optional<MotionController::Recovery> MotionController::creepToTurn(const Command& straight,
                                                                        double heading) const {
  if (!(params_.creep_speed > 0.0) || clear(straight, 0.0, params_.backup_distance)) {
    return std::nullopt;
  }
  const double rate = robot_.params().max_angular_speed;
  const double error = normalised(heading - robot_.pose().theta);
  const Command arc{params_.creep_speed, std::copysign(rate, error)};
  if (!clear(arc, 0.0, (std::abs(error) + kTurnMargin) * params_.creep_speed / rate)) {
    return std::nullopt;
  }
  return Recovery{arc, robot_.pose(), std::abs(error), true};
}

bool MotionController::turnClearFrom(const Rollout& rollout, const geometry_msgs::msg::Pose2D& from,
                                     double heading) const {
  const double rate = robot_.params().max_angular_speed;
  const double error = normalised(heading - from.theta);
  for (const double way : {error, error - std::copysign(2.0 * M_PI, error)}) {
    if (sweepFits(rollout, from, Command{0.0, std::copysign(rate, way)},
                  std::abs(way) + kTurnMargin)) {
      return true;
    }
  }
  return false;
}

std::optional<MotionController::Command> MotionController::recoveryCommand() const {
  // Only the next step: a recovery goes as far as its way is clear.
  if (recoveryDone() || !clear(recovery_->command, 0.0, 0.0)) {
    return std::nullopt;
  }
  return recovery_->command;
}

bool MotionController::recoveryDone() const {
  if (recoveryMade() >= recovery_->amount) {
    return true;
  }
  return recovery_->room_for && turnClearFrom(lookAtMap(), robot_.pose(), *recovery_->room_for);
}

double MotionController::recoveryMade() const {
  const auto& from = recovery_->from;
  const auto now = robot_.pose();
  if (recovery_->command.linear == 0.0 || recovery_->by_heading) {
    return std::abs(normalised(now.theta - from.theta));
  }
  return std::hypot(now.x - from.x, now.y - from.y);
}

bool MotionController::mayEscape() {
  const auto now = robot_.pose();
  if (!escape_origin_ ||
      std::hypot(now.x - escape_origin_->x, now.y - escape_origin_->y) >= params_.escape_range) {
    escape_origin_ = now;
    escapes_near_origin_ = 0;
  }
  // Escapes that keep the robot where it was only rock it to and fro over the same floor.
  return escapes_near_origin_++ < params_.escapes_in_place;
}

std::optional<MotionController::Recovery> MotionController::escape() const {
  const double turn_rate = robot_.params().max_angular_speed;
  for (const double side : {1.0, -1.0}) {
    const Command turn{0.0, side * turn_rate};
    if (clear(turn, 0.0, params_.escape_turn)) {
      return Recovery{turn, robot_.pose(), params_.escape_turn};
    }
  }
  const Command forward{-recovery_->command.linear, 0.0};
  if (clear(forward, 0.0, params_.backup_distance)) {
    return Recovery{forward, robot_.pose(), params_.backup_distance};
  }
  return std::nullopt;
}

// Whether the robot's outline stays off lethal cells of the local map along the command's
// motion over `horizon_s` and `ahead` beyond it (the first step exactly as the robot makes it).
bool MotionController::clear(const Command& command, double horizon_s, double ahead) const {
  const Rollout rollout = lookAtMap();
  if (!rollout.fits(robot_.moved(command))) {
    return false;
  }
  return sweepFits(rollout, robot_.pose(), command, motionRate(command) * horizon_s + ahead);
}

// Whether the outline fits at every `check_step` of the command's motion from `from` over
// `extent` (metres driving, radians turning on the spot).
bool MotionController::sweepFits(const Rollout& rollout, const geometry_msgs::msg::Pose2D& from,
                                 const Command& command, double extent) const {
  const double rate = motionRate(command);
  if (!(rate > 0.0) || !(extent > 0.0)) {
    return true;
  }
  const int samples = static_cast<int>(std::ceil(extent / params_.check_step));
  const double dt = extent / samples / rate;
  geometry_msgs::msg::Pose2D pose = from;
  for (int i = 0; i < samples; ++i) {
    pose = advanced(pose, command, dt);
    if (!rollout.fits(pose)) {
      return false;
    }
  }
  return true;
}

MotionController::Rollout MotionController::lookAtMap() const {
  auto* costmap = local_map_->getCostmapROS()->getCostmap();
  Rollout rollout;
  rollout.lock = std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t>(*costmap->getMutex());
  rollout.costmap = costmap;
  rollout.info.resolution = static_cast<float>(costmap->getResolution());
  rollout.info.width = costmap->getSizeInCellsX();
  rollout.info.height = costmap->getSizeInCellsY();
  rollout.info.origin.position.x = costmap->getOriginX();
  rollout.info.origin.position.y = costmap->getOriginY();
  rollout.footprint = &robot_.params().footprint;
  rollout.under_now = cellsUnder(rollout.info, robot_.params().footprint, robot_.pose());
  return rollout;
}

bool MotionController::noProgress() {
  const auto now = robot_.pose();
  if (std::hypot(now.x - anchor_.x, now.y - anchor_.y) >= params_.progress_radius) {
    noteProgressAnchor();
    return false;
  }
  return commanded_without_progress_ >= params_.progress_allowance;
}

void MotionController::noteProgressAnchor() {
  anchor_ = robot_.pose();
  commanded_without_progress_ = rclcpp::Duration(0, 0);
}

}  // namespace planning_sim
