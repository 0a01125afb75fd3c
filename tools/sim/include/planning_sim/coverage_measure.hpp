#ifndef PLANNING_SIM__COVERAGE_MEASURE_HPP_
#define PLANNING_SIM__COVERAGE_MEASURE_HPP_

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"

// How well a cleaning run covered a zone, measured the way coverage planners are compared: only
// the floor the robot could have cleaned counts, so that walls and furniture are not misses.
// Masks are 8-bit images of floor cells (row = cell y), 255 set and 0 clear; lengths in cells
// unless a name says metres.
namespace planning_sim {

// Free cells (255 in `free`) whose centre lies farther than `radius` from the centre of every
// cell that is not free: where the robot's centre may stand without its inscribed circle
// touching an obstacle (the free space eroded by the robot's radius). Cells at the border of
// the image count as next to an obstacle.
cv::Mat centreSpace(const cv::Mat& free, double radius);

// The cells inside `polygon` (closed, its outline included) that belong to `centre_space` and
// are connected to `start` through such cells (8-connected): the zone's reachable area. All clear
// when `start` is not one of them.
cv::Mat reachableArea(const cv::Mat& centre_space, const std::vector<cv::Point>& polygon,
                      const cv::Point& start);

// Where a robot is put down to clean the zone: in the largest connected part of the cells inside
// `polygon` that lie in `planning_space` (so that it reaches most of the zone as its planners see
// the floor), or of those in `centre_space` when no cell of the zone lies in `planning_space`; of
// that part's cells at least `turning_radius` from every cell that is not free (so that it can
// turn on the spot), the one nearest the polygon's centroid; when there is none, the nearest cell
// of that part; nothing when the zone has no cell in `centre_space`.
std::optional<cv::Point> startCell(const cv::Mat& free, const cv::Mat& centre_space,
                                   const cv::Mat& planning_space,
                                   const std::vector<cv::Point>& polygon, double turning_radius);

struct CoverageFigures {
  int target_cells{0};
  int covered_cells{0};
  // Covered cells over target cells; 0 for an empty target.
  double covered_share{0.0};
  // Mean passes over the covered target cells; 0 when none is covered.
  double overlap{0.0};
};

// `target`: the reachable area; `passes`: 16-bit passes per cell (0 not cleaned).
CoverageFigures measureCoverage(const cv::Mat& target, const cv::Mat& passes);

struct TrackFigures {
  double length_m{0.0};
  // Summed absolute change of heading.
  double rotation_rad{0.0};
  // Changes of heading by more than kTurnAngle between two stretches of steady heading.
  int turns{0};
  // length / kLinearSpeed + rotation / kAngularSpeed.
  double estimated_time_s{0.0};
};

inline constexpr double kTurnAngle = 0.5235987755982988;  // 30 degrees
inline constexpr double kLinearSpeed = 0.3;               // m/s
inline constexpr double kAngularSpeed = 0.52;             // rad/s

// The figures of a driven track, poses in driving order.
TrackFigures measureTrack(const std::vector<geometry_msgs::msg::Pose2D>& track);

// Mean, 99th percentile (nearest rank) and largest of a set of times; NaN for an empty set.
struct TimeFigures {
  double mean;
  double p99;
  double max;
};

TimeFigures timeFigures(std::vector<double> times);

}  // namespace planning_sim

#endif  // PLANNING_SIM__COVERAGE_MEASURE_HPP_
