#include "global_scenario.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "demo_host.hpp"
#include "path_picture.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/node_parameters.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

constexpr std::chrono::seconds kPlanPatience{30};

namespace keys = planning::global_keys;

// The tour of the bundled floor: name of the place and the planner that takes the robot there.
struct TourStop {
  const char* place;
  const char* planner;
};
constexpr TourStop kTour[] = {
    {"office_a", keys::kDijkstra},
    {"meeting_room", keys::kDijkstra},
    {"open_plan", keys::kAstarWithLocalAndGlobalMap},
    {"kitchen", keys::kDijkstra},
    {"office_c", keys::kDijkstra},
    {"reception", keys::kDijkstra},
};
constexpr const char* kTourStart = "reception";

std::string position(const Pose2& pose) { return formatPosition(pose.x, pose.y); }

const char* outcomeName(const PlanOutcome& outcome) {
  if (!outcome.accepted) {
    return "not accepted";
  }
  if (!outcome.answered) {
    return "no answer";
  }
  switch (outcome.code) {
    case rclcpp_action::ResultCode::SUCCEEDED:
      return "succeeded";
    case rclcpp_action::ResultCode::ABORTED:
      return "aborted";
    case rclcpp_action::ResultCode::CANCELED:
      return "canceled";
    default:
      return "unknown";
  }
}

void report(std::ostream& out, const PlanOutcome& outcome, DrawnLeg& drawn) {
  size_t poses = 0;
  double length = 0.0;
  for (const auto& path : outcome.result.multi_paths.paths) {
    std::vector<cv::Point2d> points;
    for (const auto& pose : path.nav_path.poses) {
      const cv::Point2d point(pose.pose.position.x, pose.pose.position.y);
      if (!points.empty()) {
        length += std::hypot(point.x - points.back().x, point.y - points.back().y);
      }
      points.push_back(point);
    }
    poses += points.size();
    drawn.paths.push_back(points);
  }
  const size_t paths = outcome.result.multi_paths.paths.size();
  char line[200];
  std::snprintf(line, sizeof(line),
                "       %s, code %d, %zu path%s, %zu poses, %.2f m, planning time %.1f ms\n",
                outcomeName(outcome), outcome.result.error_code, paths, paths == 1 ? "" : "s",
                poses, length, outcome.milliseconds);
  out << line;
}

}  // namespace

std::vector<Leg> plannedLegs(const DemoOptions& options, const DemoMap& map, Pose2& start) {
  std::vector<Leg> legs;
  if (options.goals.empty()) {
    for (const TourStop& stop : kTour) {
      legs.push_back({stop.place, placeOnMap(map, stop.place), stop.planner});
    }
  } else {
    for (size_t i = 0; i < options.goals.size(); ++i) {
      legs.push_back({"goal " + std::to_string(i + 1), options.goals[i], options.planner});
    }
  }
  start = options.start ? *options.start : placeOnMap(map, kTourStart);
  checkPosition(map.grid, start, "start");
  for (const Leg& leg : legs) {
    checkPosition(map.grid, leg.goal, leg.label);
  }
  return legs;
}

namespace {

// Plans the legs on a global planning node hosted for them alone; returns them as drawn, with
// the number that succeeded. The node and its maps are gone when it returns: on a large floor
// the picture drawn afterwards would otherwise add to their memory at the peak.
std::vector<DrawnLeg> planLegs(const DemoOptions& options, const DemoMap& map,
                               const std::vector<Leg>& legs, Pose2 robot, std::string start_label,
                               std::ostream& out, size_t& succeeded) {
  // On the robot the local map is a window that follows it; here both see the whole floor.
  const auto maps = makeGlobalNodeMaps(map.grid);

  out << "Global planning on " << map.description << "\n";
  DemoHost host(
      maps.global, maps.local,
      planning_sim::nodeOptionsWith(planning_sim::PlanningNode::kGlobal, options.node_parameters));
  std::vector<DrawnLeg> drawn;
  for (size_t i = 0; i < legs.size(); ++i) {
    const Leg& leg = legs[i];
    out << "leg " << i + 1 << ": " << start_label << " " << position(robot) << " -> " << leg.label
        << " " << position(leg.goal) << " with " << leg.planner << "\n";
    host.placeRobot(robot);
    GlobalPlanning::Goal goal;
    goal.current_planning_id = leg.planner;
    goal.goal_poses = {toPose(leg.goal)};
    goal.action_id = static_cast<int32_t>(i + 1);
    const PlanOutcome outcome = host.plan(goal, kPlanPatience);

    DrawnLeg picture_leg;
    picture_leg.start = robot;
    picture_leg.goal = leg.goal;
    picture_leg.succeeded = outcome.succeeded();
    report(out, outcome, picture_leg);
    drawn.push_back(picture_leg);
    // The robot drives the plan; a failed plan leaves it where it stood.
    if (outcome.succeeded() && !outcome.result.multi_paths.paths.empty() &&
        !outcome.result.multi_paths.paths.back().nav_path.poses.empty()) {
      ++succeeded;
      robot = toPose2(outcome.result.multi_paths.paths.back().nav_path.poses.back());
      start_label = leg.label;
    }
  }
  return drawn;
}

}  // namespace

int runGlobalScenario(const DemoOptions& options, std::ostream& out) {
  checkPictureFile(options.output);
  const DemoMap map = loadDemoMap(options.map_yaml);
  Pose2 robot;
  const std::vector<Leg> legs = plannedLegs(options, map, robot);
  size_t succeeded = 0;
  const std::vector<DrawnLeg> drawn =
      planLegs(options, map, legs, robot, options.start ? "start" : kTourStart, out, succeeded);
  out << succeeded << " of " << legs.size() << " plans succeeded\n";

  writePicture(options.output, drawPlans(map.grid, drawn));
  std::error_code ignored;
  const auto written = std::filesystem::absolute(options.output, ignored);
  out << "picture written to " << (written.empty() ? options.output : written.string()) << "\n";
  return succeeded == legs.size() ? kAllPlansSucceeded : kPlanFailed;
}

}  // namespace demo
