#include "nav2_map_server/map_mode.hpp"

#include <stdexcept>

namespace nav2_map_server {

const char* map_mode_to_string(MapMode map_mode) {
  switch (map_mode) {
    case MapMode::Trinary:
      return "trinary";
    case MapMode::Scale:
      return "scale";
    case MapMode::Raw:
      return "raw";
  }
  throw std::invalid_argument("map_mode_to_string: invalid map mode");
}

MapMode map_mode_from_string(const std::string& map_mode_name) {
  if (map_mode_name == "trinary") {
    return MapMode::Trinary;
  }
  if (map_mode_name == "scale") {
    return MapMode::Scale;
  }
  if (map_mode_name == "raw") {
    return MapMode::Raw;
  }
  throw std::invalid_argument("map mode must be \"trinary\", \"scale\" or \"raw\", not \"" +
                              map_mode_name + "\"");
}

}  // namespace nav2_map_server
