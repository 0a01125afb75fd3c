#include "nav2_map_server/map_io.hpp"

#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <string>

#include "rclcpp/logging.hpp"

namespace nav2_map_server {

namespace {

constexpr int8_t kOccupied = 100;
constexpr int8_t kFree = 0;
constexpr int8_t kUnknown = -1;

std::runtime_error fieldError(const std::string& file, const std::string& field,
                              const std::string& what) {
  return std::runtime_error("map file '" + file + "': field '" + field + "' " + what);
}

YAML::Node requireField(const YAML::Node& doc, const std::string& file, const std::string& field) {
  const YAML::Node node = doc[field];
  if (!node) {
    throw fieldError(file, field, "is missing");
  }
  return node;
}

double readNumber(const YAML::Node& node, const std::string& file, const std::string& field) {
  double value = 0.0;
  if (!node.IsScalar() || !YAML::convert<double>::decode(node, value) || !std::isfinite(value)) {
    throw fieldError(file, field, "must be a finite number");
  }
  return value;
}

bool readFlag(const YAML::Node& node, const std::string& file, const std::string& field) {
  bool flag = false;
  if (node.IsScalar() && YAML::convert<bool>::decode(node, flag)) {
    return flag;
  }
  int number = 0;
  if (node.IsScalar() && YAML::convert<int>::decode(node, number) && (number == 0 || number == 1)) {
    return number == 1;
  }
  throw fieldError(file, field, "must be 0, 1, true or false");
}

std::string readImageName(const YAML::Node& doc, const std::string& file) {
  const YAML::Node node = requireField(doc, file, "image");
  if (!node.IsScalar() || node.as<std::string>().empty()) {
    throw fieldError(file, "image", "must name an image file");
  }
  std::filesystem::path image(node.as<std::string>());
  if (image.is_relative()) {
    image = std::filesystem::path(file).parent_path() / image;
  }
  return image.string();
}

std::vector<double> readOrigin(const YAML::Node& doc, const std::string& file) {
  const YAML::Node node = requireField(doc, file, "origin");
  if (!node.IsSequence() || node.size() != 3) {
    throw fieldError(file, "origin", "must be a list of three numbers [x, y, yaw]");
  }
  std::vector<double> origin;
  for (const auto& item : node) {
    origin.push_back(readNumber(item, file, "origin"));
  }
  return origin;
}

// Why `file` cannot be read as a file ("does not exist", "is a directory, not a file", ...),
// or empty when it can. A FIFO is refused before anything opens it: opening one waits for a
// writer that may never come.
std::string unreadableBecause(const std::string& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  switch (status.type()) {
    case std::filesystem::file_type::regular:
      break;
    case std::filesystem::file_type::not_found:
      return "does not exist";
    case std::filesystem::file_type::directory:
      return "is a directory, not a file";
    case std::filesystem::file_type::fifo:
      return "is a FIFO, not a file";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "is a device, not a file";
    case std::filesystem::file_type::socket:
      return "is a socket, not a file";
    default:
      return error ? "cannot be examined: " + error.message() : "is not a regular file";
  }
  std::ifstream probe(file, std::ios::binary);
  if (!probe) {
    return std::string("cannot be read: ") + std::strerror(errno);
  }
  return "";
}

YAML::Node loadYamlDocument(const std::string& file) {
  if (const std::string why = unreadableBecause(file); !why.empty()) {
    throw std::runtime_error("map file '" + file + "' " + why);
  }
  try {
    return YAML::LoadFile(file);
  } catch (const YAML::BadFile&) {
    throw std::runtime_error("map file '" + file + "' cannot be opened");
  } catch (const YAML::Exception& e) {
    throw std::runtime_error("map file '" + file + "' is not valid YAML: " + e.what());
  }
}

// Lightness of one pixel in [0, 1], and whether it is fully opaque.
struct Shade {
  double value;
  bool opaque;
};

Shade pixelShade(const cv::Mat& image, int row, int col) {
  const int channels = image.channels();
  const int colour_channels = (channels == 2 || channels == 4) ? channels - 1 : channels;
  const double full = image.depth() == CV_16U ? 65535.0 : 255.0;
  double sum = 0.0;
  double alpha = full;
  for (int c = 0; c < channels; ++c) {
    const double v = image.depth() == CV_16U ? image.ptr<uint16_t>(row)[col * channels + c]
                                             : image.ptr<uint8_t>(row)[col * channels + c];
    if (c < colour_channels) {
      sum += v;
    } else {
      alpha = v;
    }
  }
  return Shade{sum / colour_channels / full, alpha == full};
}

int8_t occupancyOf(const Shade& shade, const LoadParameters& params) {
  if (params.mode == MapMode::Raw) {
    const double value = std::round(shade.value * 255.0);
    return (value >= kFree && value <= kOccupied) ? static_cast<int8_t>(value) : kUnknown;
  }
  const double occ = params.negate ? shade.value : 1.0 - shade.value;
  if (params.mode == MapMode::Scale && !shade.opaque) {
    return kUnknown;
  }
  if (occ > params.occupied_thresh) {
    return kOccupied;
  }
  if (occ < params.free_thresh) {
    return kFree;
  }
  if (params.mode == MapMode::Trinary) {
    return kUnknown;
  }
  const double scaled =
      (occ - params.free_thresh) / (params.occupied_thresh - params.free_thresh) * 100.0;
  return static_cast<int8_t>(std::rint(scaled));
}

}  // namespace

LoadParameters loadMapYaml(const std::string& yaml_filename) {
  const YAML::Node doc = loadYamlDocument(yaml_filename);
  if (!doc.IsMap()) {
    throw std::runtime_error("map file '" + yaml_filename + "' does not hold a YAML mapping");
  }
  LoadParameters params;
  params.image_file_name = readImageName(doc, yaml_filename);

  params.resolution =
      readNumber(requireField(doc, yaml_filename, "resolution"), yaml_filename, "resolution");
  if (params.resolution <= 0.0) {
    throw fieldError(yaml_filename, "resolution", "must be greater than zero");
  }
  // The map message carries it in single precision.
  if (params.resolution > std::numeric_limits<float>::max()) {
    throw fieldError(yaml_filename, "resolution",
                     "is too large for a map message (single precision)");
  }
  if (static_cast<float>(params.resolution) == 0.0f) {
    throw fieldError(yaml_filename, "resolution",
                     "is too small for a map message: single precision makes it 0");
  }
  params.origin = readOrigin(doc, yaml_filename);

  params.free_thresh =
      readNumber(requireField(doc, yaml_filename, "free_thresh"), yaml_filename, "free_thresh");
  params.occupied_thresh = readNumber(requireField(doc, yaml_filename, "occupied_thresh"),
                                      yaml_filename, "occupied_thresh");
  if (params.free_thresh < 0.0 || params.free_thresh > 1.0) {
    throw fieldError(yaml_filename, "free_thresh", "must lie in [0, 1]");
  }
  if (params.occupied_thresh < 0.0 || params.occupied_thresh > 1.0) {
    throw fieldError(yaml_filename, "occupied_thresh", "must lie in [0, 1]");
  }
  if (params.free_thresh >= params.occupied_thresh) {
    throw fieldError(yaml_filename, "free_thresh", "must be below occupied_thresh");
  }

  params.negate = readFlag(requireField(doc, yaml_filename, "negate"), yaml_filename, "negate");

  if (const YAML::Node mode = doc["mode"]) {
    if (!mode.IsScalar()) {
      throw fieldError(yaml_filename, "mode", "must be trinary, scale or raw");
    }
    try {
      params.mode = map_mode_from_string(mode.as<std::string>());
    } catch (const std::invalid_argument&) {
      throw fieldError(yaml_filename, "mode",
                       "must be trinary, scale or raw, not '" + mode.as<std::string>() + "'");
    }
  }
  return params;
}

void loadMapFromFile(const LoadParameters& load_parameters, nav_msgs::msg::OccupancyGrid& map) {
  const std::string& file = load_parameters.image_file_name;
  if (const std::string why = unreadableBecause(file); !why.empty()) {
    throw std::runtime_error("map image '" + file + "' (field 'image') " + why);
  }
  cv::Mat image;
  try {
    image = cv::imread(file, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception&) {
    // OpenCV asserts on headers that promise more than they hold; its text is for its developers.
  }
  if (image.empty()) {
    throw std::runtime_error("map image '" + file +
                             "' (field 'image') cannot be decoded: it is damaged or not an image");
  }
  if ((image.depth() != CV_8U && image.depth() != CV_16U) || image.channels() > 4) {
    throw std::runtime_error(
        "map image '" + file +
        "' (field 'image') must have 8 or 16 bits per channel and at most 4 channels");
  }
  if (!(load_parameters.resolution > 0.0) || load_parameters.origin.size() != 3) {
    throw std::runtime_error("map image '" + file + "': resolution and origin are not set");
  }

  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.resolution = static_cast<float>(load_parameters.resolution);
  grid.info.width = static_cast<uint32_t>(image.cols);
  grid.info.height = static_cast<uint32_t>(image.rows);
  grid.info.origin.position.x = load_parameters.origin[0];
  grid.info.origin.position.y = load_parameters.origin[1];
  grid.info.origin.position.z = 0.0;
  grid.info.origin.orientation.z = std::sin(load_parameters.origin[2] / 2.0);
  grid.info.origin.orientation.w = std::cos(load_parameters.origin[2] / 2.0);
  grid.data.resize(static_cast<size_t>(image.cols) * image.rows);

  // Grey 8-bit images, by far the usual kind, go through a table.
  const bool grey8 = image.depth() == CV_8U && image.channels() == 1;
  int8_t table[256];
  if (grey8) {
    for (int v = 0; v < 256; ++v) {
      table[v] = occupancyOf(Shade{v / 255.0, true}, load_parameters);
    }
  }
  for (int row = 0; row < image.rows; ++row) {
    // Image rows run downwards, grid rows upwards.
    int8_t* out = grid.data.data() + static_cast<size_t>(image.rows - 1 - row) * image.cols;
    if (grey8) {
      const uint8_t* in = image.ptr<uint8_t>(row);
      for (int col = 0; col < image.cols; ++col) {
        out[col] = table[in[col]];
      }
      continue;
    }
    for (int col = 0; col < image.cols; ++col) {
      out[col] = occupancyOf(pixelShade(image, row, col), load_parameters);
    }
  }
  map = std::move(grid);
}

LOAD_MAP_STATUS loadMapFromYaml(const std::string& yaml_file, nav_msgs::msg::OccupancyGrid& map) {
  const auto logger = rclcpp::get_logger("map_io");
  if (yaml_file.empty() || !std::filesystem::exists(yaml_file)) {
    RCLCPP_ERROR(logger, "map file '%s' does not exist", yaml_file.c_str());
    return MAP_DOES_NOT_EXIST;
  }
  LoadParameters params;
  try {
    params = loadMapYaml(yaml_file);
  } catch (const std::exception& e) {
    RCLCPP_ERROR(logger, "%s", e.what());
    return INVALID_MAP_METADATA;
  }
  try {
    loadMapFromFile(params, map);
  } catch (const std::exception& e) {
    RCLCPP_ERROR(logger, "%s", e.what());
    return INVALID_MAP_DATA;
  }
  return LOAD_MAP_SUCCESS;
}

}  // namespace nav2_map_server
