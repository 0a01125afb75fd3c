#ifndef PLANNING_SIM__ROOMS_FILE_HPP_
#define PLANNING_SIM__ROOMS_FILE_HPP_

#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"

namespace planning_sim {

// One room of a floor, as a cleaning zone.
struct Room {
  std::string id;
  double area_m2{0.0};
  // Corners in the map frame (metres), in the file's order.
  geometry_msgs::msg::Polygon polygon;
};

// A rooms file that cannot be used; the text names the file and what is wrong with it.
class RoomsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/**
 * The rooms of a floor from a rooms file: a YAML document whose "rooms" list holds, for each
 * room, an "id" (text or number), its "area_m2" and a "polygon" of at least three [x, y] corners
 * in metres in the map frame. Throws RoomsFileError for a file that cannot be read or parsed, a
 * room without one of the three, an id given twice, corners that are not finite numbers or that
 * single precision cannot carry.
 */
std::vector<Room> loadRooms(const std::string& file);

}  // namespace planning_sim

#endif  // PLANNING_SIM__ROOMS_FILE_HPP_
