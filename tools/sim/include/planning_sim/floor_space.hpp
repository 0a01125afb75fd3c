#ifndef PLANNING_SIM__FLOOR_SPACE_HPP_
#define PLANNING_SIM__FLOOR_SPACE_HPP_

#include <opencv2/core.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace planning_sim {

// A zone of the floor as the coverage measure sees it (coverage_measure.hpp).
struct ZoneArea {
  // The zone's corners as floor cells.
  std::vector<cv::Point> polygon;
  // Where a robot is put down to clean it; nothing when the robot fits nowhere in it.
  std::optional<cv::Point> start;
  // Its reachable area from there (all clear without a start).
  cv::Mat target;
  int targetCells() const;
};

// A zone the floor cannot take; the text names the zone and its corner.
class ZoneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/**
 * The free floor of a map and where the robot's centre may stand on it, worked out once for the
 * zones of that floor: free cells are those the grid maps read as free (occupancy from 0 up to
 * the lethal threshold), the robot's radius is its footprint's inscribed radius, and a robot can
 * turn on the spot where its circumscribed radius fits. Starts are put where the padded outline
 * reaches most of the zone.
 */
class FloorSpace {
 public:
  // `footprint_padding`: what the grid maps add round the outline for the planners (metres).
  FloorSpace(const nav_msgs::msg::OccupancyGrid& floor,
             const vantrell_nav2_gridmap::GridMapParams& params, double footprint_padding = 0.0);

  /// Throws ZoneError as requireNearMap does.
  ZoneArea zone(const geometry_msgs::msg::Polygon& polygon) const;
  /// Throws ZoneError naming `what` and the corner when a corner of `polygon` lies farther off
  /// the map than the map is wide or high: a rooms file or a zone made for another floor, or a
  /// number whose cell no image could index.
  void requireNearMap(const geometry_msgs::msg::Polygon& polygon, const std::string& what) const;

  cv::Point cellOf(double x, double y) const;
  // The centre of `cell`, heading 0.
  geometry_msgs::msg::Pose2D poseOf(const cv::Point& cell) const;

  const cv::Mat& free() const { return free_; }
  double inscribedRadius() const { return inscribed_radius_; }

 private:
  nav_msgs::msg::MapMetaData info_;
  cv::Mat free_;
  cv::Mat centre_space_;
  // Where the centre of the padded outline may stand.
  cv::Mat planning_space_;
  double inscribed_radius_{0.0};
  double circumscribed_radius_{0.0};
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__FLOOR_SPACE_HPP_
