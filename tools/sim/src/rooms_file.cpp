#include "planning_sim/rooms_file.hpp"

#include <yaml-cpp/yaml.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>

#include "planning/local_planning/local_goal_check.hpp"

namespace planning_sim {

namespace {

double finiteNumber(const YAML::Node& node, const std::string& what) {
  double value = 0.0;
  if (!node || !node.IsScalar() || !YAML::convert<double>::decode(node, value) ||
      !std::isfinite(value)) {
    throw RoomsFileError(what + " is not a number");
  }
  return value;
}

geometry_msgs::msg::Polygon readPolygon(const YAML::Node& node, const std::string& room) {
  if (!node || !node.IsSequence() || node.size() < 3) {
    throw RoomsFileError(room + " needs a \"polygon\" of at least three [x, y] corners");
  }
  if (node.size() > planning::kMaxZoneCorners) {
    throw RoomsFileError(room + " has " + std::to_string(node.size()) + " corners, more than the " +
                         std::to_string(planning::kMaxZoneCorners) + " a zone may have");
  }
  geometry_msgs::msg::Polygon polygon;
  for (size_t i = 0; i < node.size(); ++i) {
    const std::string corner = room + " corner " + std::to_string(i + 1);
    if (!node[i].IsSequence() || node[i].size() != 2) {
      throw RoomsFileError(corner + " is not [x, y]");
    }
    geometry_msgs::msg::Point32 point;
    const double x = finiteNumber(node[i][0], corner + " x");
    const double y = finiteNumber(node[i][1], corner + " y");
    // Zones travel to the planners in single precision.
    if (std::abs(x) > std::numeric_limits<float>::max() ||
        std::abs(y) > std::numeric_limits<float>::max()) {
      throw RoomsFileError(corner + " is too far out for a zone corner");
    }
    point.x = static_cast<float>(x);
    point.y = static_cast<float>(y);
    polygon.points.push_back(point);
  }
  return polygon;
}

Room readRoom(const YAML::Node& node, size_t index) {
  const std::string entry = "room " + std::to_string(index + 1);
  if (!node.IsMap() || !node["id"] || !node["id"].IsScalar()) {
    throw RoomsFileError(entry + " has no \"id\"");
  }
  Room room;
  room.id = node["id"].as<std::string>();
  const std::string named = "room \"" + room.id + "\"";
  if (!node["area_m2"]) {
    throw RoomsFileError(named + " has no \"area_m2\"");
  }
  room.area_m2 = finiteNumber(node["area_m2"], named + " area_m2");
  if (room.area_m2 < 0.0) {
    throw RoomsFileError(named + " area_m2 " + node["area_m2"].Scalar() + " is negative");
  }
  room.polygon = readPolygon(node["polygon"], named);
  return room;
}

// A file bigger than the bound is not parsed at all: the parser's nodes take a few hundred bytes
// for each byte of corners.
void requireReadableSize(const std::string& file) {
  std::error_code ignored;
  const auto status = std::filesystem::status(file, ignored);
  // A FIFO would block the reader; a directory or a device is no rooms file either.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw RoomsFileError("it is not a regular file");
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ignored);
  if (!ignored && size > kMaxRoomsFileBytes) {
    throw RoomsFileError("it holds " + std::to_string(size) + " bytes, more than the " +
                         std::to_string(kMaxRoomsFileBytes) + " a rooms file may");
  }
}

void requireMap(const YAML::Node& document, const std::string& map_file) {
  const YAML::Node map = document["map"];
  if (!map) {
    return;
  }
  const std::string named = map.IsScalar() ? map.as<std::string>() : "";
  const std::string in_use = std::filesystem::path(map_file).filename().string();
  if (map_file.empty() || std::filesystem::path(named).filename().string() != in_use) {
    throw RoomsFileError("it is made for the map \"" + named + "\", not for " +
                         (map_file.empty() ? std::string("the floor in use") : map_file));
  }
}

std::vector<Room> readRooms(const std::string& file, const std::optional<std::string>& map_file) {
  try {
    requireReadableSize(file);
    YAML::Node document;
    try {
      document = YAML::LoadFile(file);
    } catch (const YAML::BadFile&) {
      throw RoomsFileError("it cannot be read");
    } catch (const YAML::Exception& error) {
      throw RoomsFileError("it is not YAML (" + error.msg + ", line " +
                           std::to_string(error.mark.line + 1) + ")");
    }
    const YAML::Node list = document.IsMap() ? document["rooms"] : YAML::Node();
    if (!list || !list.IsSequence()) {
      throw RoomsFileError("it has no \"rooms\" list");
    }
    if (map_file) {
      requireMap(document, *map_file);
    }
    if (list.size() > kMaxRooms) {
      throw RoomsFileError("it lists " + std::to_string(list.size()) + " rooms, more than the " +
                           std::to_string(kMaxRooms) + " a rooms file may");
    }
    std::vector<Room> rooms;
    std::set<std::string> ids;
    for (size_t i = 0; i < list.size(); ++i) {
      rooms.push_back(readRoom(list[i], i));
      if (!ids.insert(rooms.back().id).second) {
        throw RoomsFileError("it names room \"" + rooms.back().id + "\" twice");
      }
    }
    return rooms;
  } catch (const RoomsFileError& error) {
    throw RoomsFileError("cannot use the rooms file " + file + ": " + error.what());
  }
}

}  // namespace

std::vector<Room> loadRooms(const std::string& file) { return readRooms(file, std::nullopt); }

std::vector<Room> loadRooms(const std::string& file, const std::string& map_file) {
  return readRooms(file, map_file);
}

}  // namespace planning_sim
