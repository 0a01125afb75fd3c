#ifndef PLANNING_SIM__ROOMS_FILE_HPP_
#define PLANNING_SIM__ROOMS_FILE_HPP_

#include <cstddef>
#include <cstdint>
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

// What a rooms file may hold: far above any floor's, they keep a damaged or hostile file from
// taking the memory and time of a run (a room becomes one zone of a local planning goal, which
// takes at most planning::kMaxZoneCorners corners).
inline constexpr std::uintmax_t kMaxRoomsFileBytes = 1024 * 1024;
inline constexpr std::size_t kMaxRooms = 1000;

/**
 * The rooms of a floor from a rooms file: a YAML document whose "rooms" list holds, for each
 * room, an "id" (text or number), its "area_m2" and a "polygon" of at least three [x, y] corners
 * in metres in the map frame; an optional "map" names the map file it was made for. Throws
 * RoomsFileError for a file that cannot be read or parsed, one larger than the bounds above, a
 * room without one of the three, an id given twice, an area that is negative or not a finite
 * number, corners that are not finite numbers or that single precision cannot carry.
 */
std::vector<Room> loadRooms(const std::string& file);

/**
 * The same for the map in use, `map_file`: a "map" that names another file (by file name) is
 * refused too. An empty `map_file` is a map of no file (a floor drawn by the host), which no
 * "map" names.
 */
std::vector<Room> loadRooms(const std::string& file, const std::string& map_file);

}  // namespace planning_sim

#endif  // PLANNING_SIM__ROOMS_FILE_HPP_
