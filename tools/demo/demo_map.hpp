#ifndef DEMO__DEMO_MAP_HPP_
#define DEMO__DEMO_MAP_HPP_

#include <string>
#include <vector>

#include "demo_options.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "office_floor.hpp"

namespace demo {

// The map the demo plans on, as the hosting process would receive it from a map server.
struct DemoMap {
  nav_msgs::msg::OccupancyGrid grid;
  // Named places; only the bundled floor has them.
  std::vector<Place> places;
  std::string description;
};

// The bundled office floor, or the map-server YAML file given. Throws InputError naming the
// file and what is wrong with it.
DemoMap loadDemoMap(const std::string& map_yaml);

// The named place, heading 0. Throws InputError when the map has no such place.
Pose2 placeOnMap(const DemoMap& map, const std::string& name);

// Throws InputError when `pose` lies off the map, in unmapped space or inside a wall; `what`
// names the pose in the message ("goal 2", "start").
void checkPosition(const nav_msgs::msg::OccupancyGrid& grid, const Pose2& pose,
                   const std::string& what);

}  // namespace demo

#endif  // DEMO__DEMO_MAP_HPP_
