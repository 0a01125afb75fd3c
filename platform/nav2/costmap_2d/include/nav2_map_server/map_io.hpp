#ifndef NAV2_MAP_SERVER__MAP_IO_HPP_
#define NAV2_MAP_SERVER__MAP_IO_HPP_

#include <string>
#include <vector>

#include "nav2_map_server/map_mode.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace nav2_map_server {

// What a map YAML file says.
struct LoadParameters {
  // Absolute, or relative to the working directory; a relative name in the
  // YAML file has already been resolved against the file's own directory.
  std::string image_file_name;
  double resolution{0};
  // x, y, yaw of the lower-left pixel.
  std::vector<double> origin{0, 0, 0};
  double free_thresh{0.25};
  double occupied_thresh{0.65};
  MapMode mode{MapMode::Trinary};
  bool negate{false};
};

typedef enum {
  LOAD_MAP_SUCCESS,
  MAP_DOES_NOT_EXIST,
  INVALID_MAP_METADATA,
  INVALID_MAP_DATA
} LOAD_MAP_STATUS;

// Reads and checks the YAML file: "image", "resolution", "origin",
// "free_thresh", "occupied_thresh" and "negate" are required, "mode" is
// optional (trinary). Throws std::runtime_error naming the file and the field.
LoadParameters loadMapYaml(const std::string& yaml_filename);

// Reads the image and fills the grid: size, resolution, origin, and one value
// per pixel (0 free, 100 occupied, -1 unknown, or in between for scale and
// raw). The image's top row is the grid's last row. Throws
// std::runtime_error naming the image file when it cannot be read or used.
void loadMapFromFile(const LoadParameters& load_parameters, nav_msgs::msg::OccupancyGrid& map);

// Both steps; reports failures by status and on the log, never by throwing.
// `map` is left unchanged on failure.
LOAD_MAP_STATUS loadMapFromYaml(const std::string& yaml_file, nav_msgs::msg::OccupancyGrid& map);

}  // namespace nav2_map_server

#endif  // NAV2_MAP_SERVER__MAP_IO_HPP_
