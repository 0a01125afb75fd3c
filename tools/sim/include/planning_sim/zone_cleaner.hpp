#ifndef PLANNING_SIM__ZONE_CLEANER_HPP_
#define PLANNING_SIM__ZONE_CLEANER_HPP_

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"

namespace planning_sim {

struct ZoneCleanerOptions {
  // The task manager asks for the next local path at 10 Hz of simulated time; the robot follows
  // each for that long.
  rclcpp::Duration control_period{std::chrono::milliseconds(100)};
  // A zone is given up after this much simulated time: a fixed part and a part per square metre.
  double time_limit_s{600.0};
  double time_limit_per_square_metre_s{60.0};
  // ... or when the brushes have cleaned no new cell for this long (from the start of the task
  // until they first run, too): a planner going round in circles.
  rclcpp::Duration stall_limit{std::chrono::seconds(300)};
  // ... or after this many failed plans, or refused steps, in a row.
  int max_failures_in_row{50};
  int max_collisions_in_row{50};
  // A planner that has nothing left but holds the robot with `finished` and no path to drive
  // for this many cycles in a row has ended its task even when it reports no cleaned area.
  int held_cycles_to_end{20};
};

// kRefused: the planner failed every goal of the task from the first on, as many in a row as
// ZoneCleanerOptions allow failures (a zone with no floor to clean, say).
enum class CleaningEnd { kFinished, kTimeLimit, kStalled, kFailures, kStuck, kNoAnswer, kRefused };

const char* cleaningEndName(CleaningEnd end);

struct CleaningReport {
  CleaningEnd end{CleaningEnd::kNoAnswer};
  size_t cycles{0};
  size_t failures{0};
  // Cycles in which the robot refused a step that would have put an obstacle under it.
  size_t collisions{0};
  std::optional<Collision> first_collision;
  // Wall time of each answered goal, from sending it to its result.
  std::vector<double> cycle_ms;
  // What the planner reported at the end (square metres; 0 when it reported none).
  double cleaned_area{0.0};
  // The planner's requests that the task centre answered with covered poses of the task. With
  // none, the planner drew `cleaned_area` from nothing the robot cleaned in the task: it is no
  // measure of it (the dynamic planner asks at most every 3 s of wall time, and in simulation a
  // task may be over sooner).
  size_t covered_points_answers{0};
  rclcpp::Duration elapsed{0, 0};
  // The poses the robot drove through during the task, the first one where it started.
  std::vector<geometry_msgs::msg::Pose2D> track;

  bool finished() const { return end == CleaningEnd::kFinished; }
  bool cleanedAreaMeasured() const { return covered_points_answers > 0; }
};

// What a report says beside the planner's cleaned area when it is no measure of the task.
inline constexpr char kCleanedAreaNotMeasured[] =
    "not measured: the planner had no covered points of this task from the task centre";

// A coverage goal as a task manager sends it: the zone, the planner's key, the task's path-set
// identifier, the cleaning width and the overlap between neighbouring passes, in cells.
vantrell_nav2_protocol::action::LocalPlanning::Goal coverageGoal(
    const std::string& planner, const std::string& task_id, const geometry_msgs::msg::Polygon& zone,
    int coverage_width, int path_overlap);

/**
 * Plays the task manager and the motion controller of a coverage task on a LocalPlanningSim:
 * sends the same LocalPlanning goal every control period of simulated time, lets the robot follow
 * each result for that period (standing still after a failed plan or a refused step), and ends
 * when the planner has finished the task (a result that reports the cleaned area, or holds the
 * robot with nothing left), or gives up as ZoneCleanerOptions say. Unlike LocalTrip it does not
 * end at a refused step: it counts it and carries on, as a robot whose bumper stopped it would.
 */
class ZoneCleaner {
 public:
  explicit ZoneCleaner(LocalPlanningSim& sim, ZoneCleanerOptions options = ZoneCleanerOptions());

  // Cleans from where the robot stands, a new task of the task centre from now on; the robot's
  // track and the cleaning unit's passes are not cleared (the caller decides what a run counts).
  CleaningReport clean(const vantrell_nav2_protocol::action::LocalPlanning::Goal& goal,
                       double zone_area_m2);

 private:
  struct Progress;
  std::optional<CleaningEnd> runCycle(
      const vantrell_nav2_protocol::action::LocalPlanning::Goal& goal, CleaningReport& report,
      Progress& progress);

  void backOff(const rclcpp::Duration& used);

  LocalPlanningSim& sim_;
  ZoneCleanerOptions options_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__ZONE_CLEANER_HPP_
