#include "planning_sim/rooms_file.hpp"

#include <yaml-cpp/yaml.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

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
  room.polygon = readPolygon(node["polygon"], named);
  return room;
}

}  // namespace

std::vector<Room> loadRooms(const std::string& file) {
  try {
    std::error_code ignored;
    const auto status = std::filesystem::status(file, ignored);
    // A FIFO would block the reader; a directory or a device is no rooms file either.
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      throw RoomsFileError("it is not a regular file");
    }
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

}  // namespace planning_sim
