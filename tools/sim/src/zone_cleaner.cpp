#include "planning_sim/zone_cleaner.hpp"

#include <chrono>
#include <cmath>
#include <optional>

#include "planning/geometry.hpp"

namespace planning_sim {

namespace {

using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;

// How far a robot backs off when its bumper touches.
constexpr double kBumperBackOff = 0.05;

// Poses this close to the robot leave it where it stands.
constexpr double kHeldReach = 0.02;

// The results of a planner that holds the robot where it stands: nothing left to drive. A
// planner may hand the robot pose out more than once (a smoother puts it in front of a path that
// is the robot pose already).
bool holdsTheRobot(const LocalPlanning::Result& result, const geometry_msgs::msg::Pose2D& robot) {
  const auto& poses = result.local_path.nav_path.poses;
  if (result.finished == 0) {
    return false;
  }
  if (poses.size() <= 1) {
    return true;
  }
  for (const auto& pose : poses) {
    if (std::hypot(pose.pose.position.x - robot.x, pose.pose.position.y - robot.y) > kHeldReach) {
      return false;
    }
  }
  return true;
}

std::vector<geometry_msgs::msg::Pose2D> posesSince(
    const std::vector<geometry_msgs::msg::PoseStamped>& track, size_t first) {
  std::vector<geometry_msgs::msg::Pose2D> poses;
  for (size_t i = first; i < track.size(); ++i) {
    geometry_msgs::msg::Pose2D pose;
    pose.x = track[i].pose.position.x;
    pose.y = track[i].pose.position.y;
    pose.theta = planning::geometry::yawOf(track[i].pose.orientation);
    poses.push_back(pose);
  }
  return poses;
}

}  // namespace

const char* cleaningEndName(CleaningEnd end) {
  switch (end) {
    case CleaningEnd::kFinished:
      return "finished";
    case CleaningEnd::kTimeLimit:
      return "time limit";
    case CleaningEnd::kStalled:
      return "stalled";
    case CleaningEnd::kFailures:
      return "plans failed";
    case CleaningEnd::kStuck:
      return "stuck against an obstacle";
    case CleaningEnd::kNoAnswer:
      return "no answer";
    case CleaningEnd::kRefused:
      return "refused: no goal of the task succeeded";
  }
  return "unknown";
}

LocalPlanning::Goal coverageGoal(const std::string& planner, const std::string& task_id,
                                 const geometry_msgs::msg::Polygon& zone, int coverage_width,
                                 int path_overlap) {
  LocalPlanning::Goal goal;
  goal.current_planning_id = planner;
  goal.global_path_uuid = task_id;
  goal.zone_polygons = {zone};
  goal.coverage_width = coverage_width;
  goal.path_overlap_distance = path_overlap;
  return goal;
}

// What the cycles have seen so far of the task's progress.
struct ZoneCleaner::Progress {
  rclcpp::Time last_new_cell;
  size_t swept_cells{0};
  int failures_in_row{0};
  int collisions_in_row{0};
  int held_in_row{0};
  bool any_succeeded{false};
};

ZoneCleaner::ZoneCleaner(LocalPlanningSim& sim, ZoneCleanerOptions options)
    : sim_(sim), options_(options) {}

CleaningReport ZoneCleaner::clean(const LocalPlanning::Goal& goal, double zone_area_m2) {
  CleaningReport report;
  const size_t first_pose = sim_.robot().track().size() - 1;
  const rclcpp::Time start = sim_.clock().now();
  sim_.taskCentre().startTask(start);
  const auto limit = rclcpp::Duration::from_seconds(
      options_.time_limit_s + options_.time_limit_per_square_metre_s * zone_area_m2);
  Progress progress;
  progress.last_new_cell = start;
  progress.swept_cells = sim_.cleaningUnit().sweptCells();
  while (true) {
    report.elapsed = sim_.clock().now() - start;
    std::optional<CleaningEnd> end;
    if (report.elapsed >= limit) {
      end = CleaningEnd::kTimeLimit;
    } else if (sim_.clock().now() - progress.last_new_cell >= options_.stall_limit) {
      end = CleaningEnd::kStalled;
    } else {
      end = runCycle(goal, report, progress);
    }
    if (end) {
      sim_.cleaningUnit().switchOff();
      report.end = *end;
      report.covered_points_answers = sim_.taskCentre().taskAnswers();
      report.elapsed = sim_.clock().now() - start;
      report.track = posesSince(sim_.robot().track(), first_pose);
      return report;
    }
  }
}

std::optional<CleaningEnd> ZoneCleaner::runCycle(const LocalPlanning::Goal& goal,
                                                 CleaningReport& report, Progress& progress) {
  SimRobot& robot = sim_.robot();
  robot.settle();
  const auto sent = std::chrono::steady_clock::now();
  const PlanReply reply = sim_.trip().requestPlan(goal);
  if (!reply.answered) {
    return CleaningEnd::kNoAnswer;
  }
  report.cycle_ms.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
  ++report.cycles;
  FollowResult motion;
  if (reply.succeeded) {
    progress.failures_in_row = 0;
    progress.any_succeeded = true;
    motion = sim_.controller().follow(reply.result, options_.control_period);
  } else {
    ++report.failures;
    ++progress.failures_in_row;
    motion = robot.standStill(options_.control_period);
  }
  if (motion.ending == FollowResult::Ending::kCollision) {
    ++report.collisions;
    if (!report.first_collision) {
      report.first_collision = robot.collision();
    }
    backOff(motion.elapsed);
    ++progress.collisions_in_row;
  } else {
    progress.collisions_in_row = 0;
    // The controller runs at its period: a path driven to its end, or none to drive, leaves the
    // robot standing for the rest of it (and simulated time moves on).
    const rclcpp::Duration left = options_.control_period - motion.elapsed;
    if (left.nanoseconds() > 0) {
      robot.standStill(left);
    }
  }
  const size_t swept = sim_.cleaningUnit().sweptCells();
  if (swept != progress.swept_cells) {
    progress.swept_cells = swept;
    progress.last_new_cell = sim_.clock().now();
  }
  if (reply.succeeded && reply.result.cleaned_area > 0.0F) {
    report.cleaned_area = reply.result.cleaned_area;
    return CleaningEnd::kFinished;
  }
  progress.held_in_row =
      reply.succeeded && holdsTheRobot(reply.result, robot.pose()) ? progress.held_in_row + 1 : 0;
  if (progress.held_in_row >= options_.held_cycles_to_end) {
    return CleaningEnd::kFinished;
  }
  if (progress.failures_in_row >= options_.max_failures_in_row) {
    return progress.any_succeeded ? CleaningEnd::kFailures : CleaningEnd::kRefused;
  }
  if (progress.collisions_in_row >= options_.max_collisions_in_row) {
    return CleaningEnd::kStuck;
  }
  return std::nullopt;
}

// As a robot's base does when its bumper touches: back off a little straight, then stand for the
// rest of the period.
void ZoneCleaner::backOff(const rclcpp::Duration& used) {
  SimRobot& robot = sim_.robot();
  const geometry_msgs::msg::Pose2D at = robot.pose();
  nav_msgs::msg::Path back;
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.orientation = planning::geometry::yawToQuaternion(at.theta);
  for (const double d : {0.0, kBumperBackOff}) {
    pose.pose.position.x = at.x - d * std::cos(at.theta);
    pose.pose.position.y = at.y - d * std::sin(at.theta);
    back.poses.push_back(pose);
  }
  rclcpp::Duration left = options_.control_period - used;
  const FollowResult backed = robot.follow(back, true, left);
  left = left - backed.elapsed;
  if (left.nanoseconds() > 0) {
    robot.standStill(left);
  }
}

}  // namespace planning_sim
