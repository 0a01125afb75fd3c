#include "planning_sim/zone_run.hpp"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/node_parameters.hpp"

namespace planning_sim {

ZoneFigures measureZone(const ZoneArea& area, const cv::Mat& passes, CleaningReport cleaning) {
  ZoneFigures figures;
  figures.coverage = measureCoverage(area.target, passes);
  figures.track = measureTrack(cleaning.track);
  figures.cycle_ms = timeFigures(cleaning.cycle_ms);
  figures.cleaning = std::move(cleaning);
  return figures;
}

std::vector<geometry_msgs::msg::Point> roundFootprint(double radius) {
  constexpr int kCorners = 16;
  std::vector<geometry_msgs::msg::Point> outline(kCorners);
  for (int i = 0; i < kCorners; ++i) {
    outline[i].x = radius * std::cos(2.0 * M_PI * i / kCorners);
    outline[i].y = radius * std::sin(2.0 * M_PI * i / kCorners);
  }
  return outline;
}

vantrell_nav2_protocol::action::LocalPlanning::Goal zoneGoal(
    const ZoneRunOptions& options, const std::string& task_id,
    const geometry_msgs::msg::Polygon& zone, double resolution) {
  const int width = std::max(1, static_cast<int>(std::lround(options.cleaning_width / resolution)));
  return coverageGoal(options.planner, task_id, zone, width, options.path_overlap);
}

ZoneFigures cleanZoneAlone(const nav_msgs::msg::OccupancyGrid& floor, const FloorSpace& space,
                           const ZoneArea& area, const geometry_msgs::msg::Polygon& zone,
                           const ZoneRunOptions& options, cv::Mat* passes) {
  if (!area.start) {
    throw std::invalid_argument("the robot fits nowhere in the zone");
  }
  LocalPlanningSimOptions sim_options;
  sim_options.map_params = options.map_params;
  sim_options.footprint_padding = options.footprint_padding;
  sim_options.robot.cleaning_width = options.cleaning_width;
  const cv::Rect around = cv::boundingRect(area.polygon);
  sim_options.local_window =
      cv::Rect(around.x - options.local_margin, around.y - options.local_margin,
               around.width + 2 * options.local_margin, around.height + 2 * options.local_margin);
  LocalPlanningSim sim(floor, sim_options);
  {
    auto node = sim.startLocalNode(nodeOptionsWith(PlanningNode::kLocal, options.node_parameters));
    sim.robot().place(space.poseOf(*area.start));
    ZoneCleaner cleaner(sim, options.cleaner);
    CleaningReport cleaning =
        cleaner.clean(zoneGoal(options, "zone", zone, floor.info.resolution),
                      area.targetCells() * floor.info.resolution * floor.info.resolution);
    const cv::Mat swept = sim.cleaningUnit().passes();
    if (passes != nullptr) {
      *passes = swept;
    }
    return measureZone(area, swept, std::move(cleaning));
  }
}

}  // namespace planning_sim
