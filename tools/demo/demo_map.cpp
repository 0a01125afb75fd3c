#include "demo_map.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <exception>

#include "nav2_map_server/map_io.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

// Occupancy at or above this is a wall, as a map server reads its image.
constexpr int8_t kOccupied = 65;

std::string describe(const nav_msgs::msg::OccupancyGrid& grid, const std::string& name) {
  const auto& info = grid.info;
  return name + " (" + formatNumber(info.width * info.resolution, 1) + " m x " +
         formatNumber(info.height * info.resolution, 1) + " m, " +
         formatNumber(info.resolution, 2) + " m cells)";
}

// libpng writes its warnings and errors straight to standard error, and OpenCV its own; the
// loader's exception already says in one line what is wrong with the map.
class StandardErrorSilenced {
 public:
  StandardErrorSilenced() : saved_(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) {
      std::fflush(stderr);
      ::dup2(null, STDERR_FILENO);
    }
    if (null >= 0) {
      ::close(null);
    }
  }
  ~StandardErrorSilenced() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
    }
  }
  StandardErrorSilenced(const StandardErrorSilenced&) = delete;
  StandardErrorSilenced& operator=(const StandardErrorSilenced&) = delete;

 private:
  int saved_;
};

nav_msgs::msg::OccupancyGrid loadMapFile(const std::string& map_yaml) {
  nav_msgs::msg::OccupancyGrid grid;
  try {
    const StandardErrorSilenced quiet;
    nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(map_yaml), grid);
  } catch (const std::exception& error) {
    throw InputError(std::string("cannot use the map: ") + error.what());
  }
  return grid;
}

// The planning nodes lay a map out along its axes; a rotated one would be read wrongly.
void requireUnrotated(const nav_msgs::msg::OccupancyGrid& grid, const std::string& map_yaml) {
  const auto& q = grid.info.origin.orientation;
  const double yaw = std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
  if (std::abs(yaw) > 1e-9) {
    throw InputError("cannot use the map: " + map_yaml + " is rotated (origin yaw " +
                     formatNumber(yaw, 2) + " rad); the planning nodes take only unrotated maps");
  }
}

// What the grid maps refuse is bad input of the demo.
template <typename MakeT>
auto refusedAsInput(MakeT make) {
  try {
    return make();
  } catch (const std::exception& error) {
    throw InputError(std::string("cannot use the map: ") + error.what());
  }
}

}  // namespace

std::string formatNumber(double value, int decimals) {
  char text[32];
  // Beyond a million kilometres the digits say nothing; the exponent form keeps a message whole.
  if (std::abs(value) < 1e9) {
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  } else {
    std::snprintf(text, sizeof(text), "%.3g", value);
  }
  return text;
}

std::string formatPosition(double x, double y) {
  return "(" + formatNumber(x, 2) + ", " + formatNumber(y, 2) + ")";
}

nav_msgs::msg::OccupancyGrid occupancyGridOf(const cv::Mat& drawing, double resolution) {
  CV_Assert(drawing.type() == CV_8UC1);
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.resolution = static_cast<float>(resolution);
  grid.info.width = static_cast<uint32_t>(drawing.cols);
  grid.info.height = static_cast<uint32_t>(drawing.rows);
  grid.info.origin.orientation.w = 1.0;
  grid.data.reserve(drawing.total());
  for (int row = 0; row < drawing.rows; ++row) {
    const uint8_t* pixels = drawing.ptr<uint8_t>(row);
    for (int column = 0; column < drawing.cols; ++column) {
      // A map file's thresholds: occupied above 0.65 darkness, free below 0.196.
      const double darkness = (255.0 - pixels[column]) / 255.0;
      grid.data.push_back(darkness > 0.65 ? 100 : darkness < 0.196 ? 0 : -1);
    }
  }
  return grid;
}

std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> makeGridMap(
    const std::string& name, const nav_msgs::msg::OccupancyGrid& grid) {
  return refusedAsInput(
      [&] { return std::make_shared<vantrell_nav2_gridmap::GridMapROS>(name, grid); });
}

planning_sim::GlobalNodeMaps makeGlobalNodeMaps(const nav_msgs::msg::OccupancyGrid& grid) {
  return refusedAsInput([&] { return planning_sim::makeGlobalNodeMaps(grid); });
}

DemoMap loadDemoMap(const std::string& map_yaml) {
  DemoMap map;
  if (map_yaml.empty()) {
    const OfficeFloor floor = drawOfficeFloor();
    map.grid = occupancyGridOf(floor.image, OfficeFloor::kResolution);
    map.places = floor.places;
    map.description = describe(map.grid, "the bundled office floor");
    return map;
  }
  map.grid = loadMapFile(map_yaml);
  requireUnrotated(map.grid, map_yaml);
  map.grid.header.frame_id = "map";
  map.description = describe(map.grid, map_yaml);
  return map;
}

Pose2 placeOnMap(const DemoMap& map, const std::string& name) {
  for (const Place& place : map.places) {
    if (place.name == name) {
      return {place.x, place.y, 0.0};
    }
  }
  throw InputError("the map has no place called \"" + name + "\"");
}

void checkPosition(const nav_msgs::msg::OccupancyGrid& grid, const Pose2& pose,
                   const std::string& what) {
  const auto& info = grid.info;
  const double column = (pose.x - info.origin.position.x) / info.resolution;
  const double row = (pose.y - info.origin.position.y) / info.resolution;
  const std::string where = what + " " + formatPosition(pose.x, pose.y);
  if (!(column >= 0.0 && row >= 0.0 && column < info.width && row < info.height)) {
    const double x0 = info.origin.position.x;
    const double y0 = info.origin.position.y;
    throw InputError(
        where + " lies off the map, which spans " + formatPosition(x0, y0) + " to " +
        formatPosition(x0 + info.width * info.resolution, y0 + info.height * info.resolution));
  }
  const int8_t occupancy =
      grid.data[static_cast<size_t>(row) * info.width + static_cast<size_t>(column)];
  if (occupancy < 0) {
    throw InputError(where + " lies in unmapped space");
  }
  if (occupancy >= kOccupied) {
    throw InputError(where + " lies inside a wall or furniture");
  }
}

}  // namespace demo
