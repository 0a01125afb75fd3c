#ifndef VANTRELL_NAV2_GRIDMAP__GRID_MAP_PARAMS_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_MAP_PARAMS_HPP_

#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"

namespace vantrell_nav2_gridmap {

// What the hosting process chooses for one grid map.
struct GridMapParams {
  std::string global_frame{"map"};
  std::string robot_base_frame{"base_footprint"};
  // Longest wait for the robot transform when a tf buffer is attached.
  double transform_tolerance{0.3};
  // Robot outline in its own frame (x forward, y left), metres.
  std::vector<geometry_msgs::msg::Point> footprint{defaultFootprint()};

  // Unknown map cells stay unknown (NO_INFORMATION, counted as obstacles by
  // the distance layer); otherwise they are free.
  bool track_unknown{true};
  // Occupancy at or above this is lethal.
  int lethal_threshold{100};
  // Map values between free and lethal become free; otherwise they scale.
  bool trinary_costmap{true};

  // Inflation: lethal on obstacles, inscribed within the footprint's
  // inscribed radius, then decaying with exp(-cost_scaling_factor * d) out to
  // inflation_radius (never less than the inscribed radius).
  double inflation_radius{0.55};
  double cost_scaling_factor{10.0};
  bool inflate_unknown{false};

  // A free run (wall to wall along x or y) no wider than this is a narrow passage.
  double narrow_passage_width{1.2};

  static std::vector<geometry_msgs::msg::Point> defaultFootprint();
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_MAP_PARAMS_HPP_
