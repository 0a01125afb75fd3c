#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace vantrell_nav2_gridmap {

std::vector<geometry_msgs::msg::Point> GridMapParams::defaultFootprint() {
  // A 0.6 m x 0.5 m robot centred on its base frame.
  std::vector<geometry_msgs::msg::Point> footprint(4);
  footprint[0].x = 0.3;
  footprint[0].y = 0.25;
  footprint[1].x = 0.3;
  footprint[1].y = -0.25;
  footprint[2].x = -0.3;
  footprint[2].y = -0.25;
  footprint[3].x = -0.3;
  footprint[3].y = 0.25;
  return footprint;
}

}  // namespace vantrell_nav2_gridmap
