#ifndef NAV2_MAP_SERVER__MAP_MODE_HPP_
#define NAV2_MAP_SERVER__MAP_MODE_HPP_

#include <string>

namespace nav2_map_server {

// How the pixels of a map image become occupancy values.
enum class MapMode {
  // Occupied, free or unknown, split by the two thresholds.
  Trinary,
  // As Trinary, with values between the thresholds scaled to 0..100 and
  // transparent pixels unknown.
  Scale,
  // The pixel value is the occupancy itself; values above 100 are unknown.
  Raw
};

const char* map_mode_to_string(MapMode map_mode);
// "trinary", "scale" or "raw"; anything else throws std::invalid_argument.
MapMode map_mode_from_string(const std::string& map_mode_name);

}  // namespace nav2_map_server

#endif  // NAV2_MAP_SERVER__MAP_MODE_HPP_
