#ifndef PLANNING_SIM__ZONE_RUN_HPP_
#define PLANNING_SIM__ZONE_RUN_HPP_

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning_sim/coverage_measure.hpp"
#include "planning_sim/floor_space.hpp"
#include "planning_sim/zone_cleaner.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace planning_sim {

struct ZoneRunOptions {
  // The coverage planner's key in the local node's table.
  std::string planner;
  vantrell_nav2_gridmap::GridMapParams map_params;
  // Metres the grid maps add round the robot's outline (LocalPlanningSimOptions).
  double footprint_padding{0.0};
  // The cleaning tool's width (metres); the goal's coverage width is the same in cells.
  double cleaning_width{0.6};
  // Overlap between neighbouring passes the goal asks for (cells).
  int path_overlap{0};
  // Floor cells around the zone that the local map holds besides the zone.
  int local_margin{40};
  ZoneCleanerOptions cleaner;
  // Parameters the local planning node is started with (tuning for the robot's outline).
  std::vector<rclcpp::Parameter> node_parameters;
};

// How one zone was cleaned, and how well.
struct ZoneFigures {
  CleaningReport cleaning;
  CoverageFigures coverage;
  TrackFigures track;
  TimeFigures cycle_ms;
};

ZoneFigures measureZone(const ZoneArea& area, const cv::Mat& passes, CleaningReport cleaning);

/**
 * One zone cleaned on its own simulation, as the coverage benchmark runs it: a local planning
 * node on the floor with the local map a window around the zone, the robot put down at the zone's
 * start cell, coverage goals until the task ends. `passes` receives the cleaning unit's passes.
 * Throws std::invalid_argument for a zone without a start cell, std::runtime_error when the node
 * does not come up.
 */
ZoneFigures cleanZoneAlone(const nav_msgs::msg::OccupancyGrid& floor, const FloorSpace& space,
                           const ZoneArea& area, const geometry_msgs::msg::Polygon& zone,
                           const ZoneRunOptions& options, cv::Mat* passes = nullptr);

// A round robot's outline: a regular polygon of 16 corners on the circle of `radius`.
std::vector<geometry_msgs::msg::Point> roundFootprint(double radius);

// The goal the task manager sends for the zone with those options.
vantrell_nav2_protocol::action::LocalPlanning::Goal zoneGoal(
    const ZoneRunOptions& options, const std::string& task_id,
    const geometry_msgs::msg::Polygon& zone, double resolution);

}  // namespace planning_sim

#endif  // PLANNING_SIM__ZONE_RUN_HPP_
