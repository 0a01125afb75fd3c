#include "planning_sim/sim_robot.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tf2/utils.h"
#include "vantrell_communicator/communicator_engine.hpp"

namespace planning_sim {

namespace {

// The communicator hears "odom" on its own executor thread; this only bounds a stuck one.
constexpr std::chrono::seconds kHearingPatience{10};
constexpr std::chrono::microseconds kLookAgain{100};

double normalised(double angle) { return std::atan2(std::sin(angle), std::cos(angle)); }

double distance(const geometry_msgs::msg::Pose2D& a, const geometry_msgs::msg::PoseStamped& b) {
  return std::hypot(b.pose.position.x - a.x, b.pose.position.y - a.y);
}

std::vector<geometry_msgs::msg::Point> footprintOf(
    const std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>>& maps,
    const SimRobotParams& params) {
  if (!params.footprint.empty() || maps.empty() || !maps.front()) {
    return params.footprint;
  }
  return maps.front()->getCostmapROS()->getRobotFootprint();
}

}  // namespace

SimRobot::SimRobot(SimClock& clock, SimWorld& world,
                   std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps,
                   SimRobotParams params)
    : clock_(clock),
      world_(world),
      params_(std::move(params)),
      localisation_(maps, "sim_robot_localisation"),
      node_(std::make_shared<rclcpp::Node>("sim_robot")),
      odometry_unit_(vantrell_communicator::CommunicatorEngine::GetInstance()->getOdomUnit()) {
  if (!(params_.step > 0.0) || !(params_.max_linear_speed > 0.0) ||
      !(params_.max_angular_speed > 0.0) || !(params_.lookahead > 0.0)) {
    throw std::invalid_argument("the simulated robot needs a positive step, speeds and lookahead");
  }
  params_.footprint = footprintOf(maps, params_);
  odometry_ = node_->create_publisher<nav_msgs::msg::Odometry>("odom", rclcpp::QoS(10));
  const auto& info = world_.floor().info;
  covered_ =
      cv::Mat(static_cast<int>(info.height), static_cast<int>(info.width), CV_8UC1, cv::Scalar(0));
}

void SimRobot::place(const geometry_msgs::msg::Pose2D& pose) {
  pose_ = pose;
  placed_ = true;
  ++placements_;
  clearRecords();
  localisation_.broadcast(pose_, clock_.now());
  publishOdometry(Command());
  settle();
}

FollowResult SimRobot::follow(const LocalPlanningResult& result,
                              std::optional<rclcpp::Duration> budget) {
  FollowResult turned;
  if (result.spin_required) {
    turned = rotateTo(result.spin_angle, budget);
    if (!turned.reachedEnd()) {
      return turned;
    }
    if (budget) {
      budget = *budget - turned.elapsed;
    }
  }
  FollowResult driven = follow(result.local_path.nav_path, result.local_path.move_backward, budget);
  driven.elapsed = driven.elapsed + turned.elapsed;
  driven.distance += turned.distance;
  return driven;
}

FollowResult SimRobot::follow(const nav_msgs::msg::Path& path, bool backward,
                              std::optional<rclcpp::Duration> budget) {
  size_t cursor = 0;
  return drive(budget, [&]() { return pursue(path.poses, cursor, backward); });
}

FollowResult SimRobot::rotateTo(double yaw, std::optional<rclcpp::Duration> budget) {
  return drive(budget, [&]() { return turnTowards(yaw); });
}

FollowResult SimRobot::standStill(const rclcpp::Duration& duration) {
  FollowResult waited = drive(duration, []() { return std::optional<Command>(Command()); });
  if (waited.ending == FollowResult::Ending::kTimeUp) {
    waited.ending = FollowResult::Ending::kReachedEnd;
  }
  return waited;
}

FollowResult SimRobot::drive(std::optional<rclcpp::Duration> budget,
                             const CommandSource& next_command) {
  if (!placed_) {
    throw std::logic_error("place the simulated robot before it moves");
  }
  const rclcpp::Duration limit =
      budget ? *budget : rclcpp::Duration::from_seconds(params_.follow_time_limit);
  const rclcpp::Duration tick = rclcpp::Duration::from_seconds(params_.step);
  FollowResult result;
  while (true) {
    const auto command = next_command();
    if (!command) {
      return result;
    }
    if (result.elapsed + tick > limit) {
      result.ending = FollowResult::Ending::kTimeUp;
      return result;
    }
    const geometry_msgs::msg::Pose2D from = pose_;
    if (!step(*command)) {
      result.ending = FollowResult::Ending::kCollision;
      return result;
    }
    result.elapsed = result.elapsed + tick;
    result.distance += std::hypot(pose_.x - from.x, pose_.y - from.y);
  }
}

std::optional<SimRobot::Command> SimRobot::pursue(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t& cursor,
    bool backward) const {
  return pursuitCommand(pose_, poses, cursor, backward, params_);
}

std::optional<SimRobot::Command> SimRobot::turnTowards(double yaw) const {
  return turnCommand(pose_, yaw, params_);
}

// Pure pursuit of the pose `lookahead` ahead, turning on the spot when it lies far off the
// heading (for a backward path: the heading of the robot's tail), and slowing onto the last pose.
std::optional<SimRobot::Command> pursuitCommand(
    const geometry_msgs::msg::Pose2D& pose,
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t& cursor, bool backward,
    const SimRobotParams& params) {
  if (poses.empty()) {
    return std::nullopt;
  }
  while (cursor + 1 < poses.size() && distance(pose, poses[cursor]) < params.lookahead) {
    ++cursor;
  }
  const auto& target = poses[cursor];
  const double reach = distance(pose, target);
  const bool last = cursor + 1 == poses.size();
  if (last && reach <= params.arrival_tolerance) {
    return std::nullopt;
  }
  const double driving = pose.theta + (backward ? M_PI : 0.0);
  const double bearing =
      std::atan2(target.pose.position.y - pose.y, target.pose.position.x - pose.x);
  const double error = normalised(bearing - driving);
  if (std::abs(error) > params.turn_in_place_above) {
    return turnCommand(pose, pose.theta + error, params);
  }
  const double curvature = 2.0 * std::sin(error) / reach;
  double speed =
      last ? std::min(params.max_linear_speed, reach / params.step) : params.max_linear_speed;
  double turn = speed * curvature;
  if (std::abs(turn) > params.max_angular_speed) {
    speed = params.max_angular_speed / std::abs(curvature);
    turn = std::copysign(params.max_angular_speed, turn);
  }
  return SimRobot::Command{backward ? -speed : speed, turn};
}

std::optional<SimRobot::Command> turnCommand(const geometry_msgs::msg::Pose2D& pose, double yaw,
                                             const SimRobotParams& params) {
  const double error = normalised(yaw - pose.theta);
  if (std::abs(error) <= params.heading_tolerance) {
    return std::nullopt;
  }
  const double fastest = params.max_angular_speed * params.step;
  return SimRobot::Command{0.0, std::clamp(error, -fastest, fastest) / params.step};
}

bool SimRobot::step(const Command& command) {
  const geometry_msgs::msg::Pose2D from = pose_;
  const geometry_msgs::msg::Pose2D to = moved(command);
  const rclcpp::Duration tick = rclcpp::Duration::from_seconds(params_.step);
  world_.update(clock_.now() + tick, from);
  const bool moving = command.linear != 0.0 || command.angular != 0.0;
  if (moving) {
    if (const auto cell = world_.entered(params_.footprint, from, to)) {
      collision_ = Collision{clock_.now(), from, to, *cell};
      publishOdometry(Command());
      return false;
    }
  }
  pose_ = to;
  clock_.advance(tick);
  localisation_.broadcast(pose_, clock_.now());
  record(from);
  if (step_observer_) {
    step_observer_(from, pose_);
  }
  publishOdometry(command);
  return true;
}

geometry_msgs::msg::Pose2D SimRobot::moved(const Command& command) const {
  return advanced(pose_, command, params_.step);
}

// Unicycle motion over `dt`, integrated at the middle heading.
geometry_msgs::msg::Pose2D advanced(const geometry_msgs::msg::Pose2D& pose,
                                    const SimRobot::Command& command, double dt) {
  const double middle = pose.theta + command.angular * dt / 2.0;
  geometry_msgs::msg::Pose2D next;
  next.x = pose.x + command.linear * dt * std::cos(middle);
  next.y = pose.y + command.linear * dt * std::sin(middle);
  next.theta = normalised(pose.theta + command.angular * dt);
  return next;
}

geometry_msgs::msg::PoseStamped SimRobot::stampedPose() const {
  geometry_msgs::msg::PoseStamped stamped;
  stamped.header.stamp = clock_.now();
  stamped.header.frame_id = localisation_.mapFrame();
  stamped.pose.position.x = pose_.x;
  stamped.pose.position.y = pose_.y;
  stamped.pose.orientation.z = std::sin(pose_.theta / 2.0);
  stamped.pose.orientation.w = std::cos(pose_.theta / 2.0);
  return stamped;
}

void SimRobot::record(const geometry_msgs::msg::Pose2D& from) {
  const geometry_msgs::msg::PoseStamped stamped = stampedPose();
  const double resolution = world_.floor().info.resolution;
  const int width = std::max(1, static_cast<int>(std::lround(params_.cleaning_width / resolution)));
  std::lock_guard<std::mutex> lock(records_mutex_);
  track_.push_back(stamped);
  cv::line(covered_, world_.cellOf(from.x, from.y), world_.cellOf(pose_.x, pose_.y),
           cv::Scalar(255), width, cv::LINE_8);
}

void SimRobot::publishOdometry(const Command& command) {
  const geometry_msgs::msg::PoseStamped stamped = stampedPose();
  nav_msgs::msg::Odometry report;
  report.header = stamped.header;
  report.child_frame_id = localisation_.baseFrame();
  report.pose.pose = stamped.pose;
  report.twist.twist.linear.x = command.linear;
  report.twist.twist.angular.z = command.angular;
  odometry_->publish(report);
  // What the odometry unit will hold once it has heard the report.
  last_odometry_.header.stamp = report.header.stamp;
  last_odometry_.header.frame_id = report.child_frame_id;
  last_odometry_.twist = report.twist.twist;
}

void SimRobot::settle() {
  clock_.synchronise();
  localisation_.waitUntilHeard();
  waitForOdometry();
}

void SimRobot::waitForOdometry() const {
  const auto deadline = std::chrono::steady_clock::now() + kHearingPatience;
  while (odometry_unit_->getOdom() != last_odometry_) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("the communicator did not hear the robot's odometry");
    }
    std::this_thread::sleep_for(kLookAgain);
  }
}

std::vector<geometry_msgs::msg::PoseStamped> SimRobot::track() const {
  std::lock_guard<std::mutex> lock(records_mutex_);
  return track_;
}

cv::Mat SimRobot::coveredCells() const {
  std::lock_guard<std::mutex> lock(records_mutex_);
  return covered_.clone();
}

double SimRobot::coveredArea() const {
  const double resolution = world_.floor().info.resolution;
  std::lock_guard<std::mutex> lock(records_mutex_);
  return cv::countNonZero(covered_) * resolution * resolution;
}

void SimRobot::clearRecords() {
  const geometry_msgs::msg::PoseStamped stamped = stampedPose();
  collision_.reset();
  std::lock_guard<std::mutex> lock(records_mutex_);
  track_ = {stamped};
  covered_.setTo(cv::Scalar(0));
}

}  // namespace planning_sim
