#include "path_picture.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "scenarios.hpp"

namespace demo {

namespace {

constexpr int kTargetWidth = 1200;
constexpr int kMaxScale = 4;

const cv::Scalar kFreeColour(255, 255, 255);
const cv::Scalar kWallColour(60, 60, 60);
const cv::Scalar kUnknownColour(200, 200, 200);
const cv::Scalar kStartColour(40, 170, 40);
const cv::Scalar kFailedColour(30, 30, 220);
// BGR, distinct on white.
const std::array<cv::Scalar, 6> kLegColours{cv::Scalar(200, 90, 20),  cv::Scalar(20, 140, 240),
                                            cv::Scalar(160, 40, 160), cv::Scalar(20, 160, 160),
                                            cv::Scalar(120, 80, 0),   cv::Scalar(80, 80, 200)};

// Maps map-frame metres to picture pixels (north up).
class Projection {
 public:
  Projection(const nav_msgs::msg::OccupancyGrid& grid, int scale)
      : origin_x_(grid.info.origin.position.x),
        origin_y_(grid.info.origin.position.y),
        resolution_(grid.info.resolution),
        height_(static_cast<int>(grid.info.height)),
        scale_(scale) {}

  cv::Point operator()(double x, double y) const {
    const double column = (x - origin_x_) / resolution_;
    const double row = height_ - (y - origin_y_) / resolution_;
    return cv::Point(static_cast<int>(std::lround(column * scale_)),
                     static_cast<int>(std::lround(row * scale_)));
  }

 private:
  double origin_x_;
  double origin_y_;
  double resolution_;
  int height_;
  int scale_;
};

cv::Mat drawGrid(const nav_msgs::msg::OccupancyGrid& grid, int scale) {
  const int width = static_cast<int>(grid.info.width);
  const int height = static_cast<int>(grid.info.height);
  cv::Mat cells(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int8_t value = grid.data[static_cast<size_t>(y) * width + x];
      const cv::Scalar colour = value < 0     ? kUnknownColour
                                : value >= 65 ? kWallColour
                                              : kFreeColour;
      cells.at<cv::Vec3b>(height - 1 - y, x) =
          cv::Vec3b(static_cast<uint8_t>(colour[0]), static_cast<uint8_t>(colour[1]),
                    static_cast<uint8_t>(colour[2]));
    }
  }
  // A map wide enough to be drawn cell for cell is not copied once more.
  if (scale == 1) {
    return cells;
  }
  cv::Mat picture;
  cv::resize(cells, picture, cv::Size(width * scale, height * scale), 0, 0, cv::INTER_NEAREST);
  return picture;
}

}  // namespace

cv::Mat drawPlans(const nav_msgs::msg::OccupancyGrid& grid, const std::vector<DrawnLeg>& legs) {
  const int width = std::max(1, static_cast<int>(grid.info.width));
  const int scale = std::clamp(kTargetWidth / width, 1, kMaxScale);
  cv::Mat picture = drawGrid(grid, scale);
  const Projection project(grid, scale);
  const int thickness = std::max(1, scale / 2 + 1);

  for (size_t i = 0; i < legs.size(); ++i) {
    const DrawnLeg& leg = legs[i];
    const cv::Scalar colour = kLegColours[i % kLegColours.size()];
    for (const auto& path : leg.paths) {
      std::vector<cv::Point> points;
      for (const auto& p : path) {
        points.push_back(project(p.x, p.y));
      }
      if (points.size() > 1) {
        cv::polylines(picture, points, false, colour, thickness, cv::LINE_AA);
      }
    }
    const cv::Point start = project(leg.start.x, leg.start.y);
    const cv::Point goal = project(leg.goal.x, leg.goal.y);
    cv::circle(picture, start, 3 * thickness, kStartColour, cv::FILLED, cv::LINE_AA);
    if (leg.succeeded) {
      cv::circle(picture, goal, 4 * thickness, colour, thickness, cv::LINE_AA);
    } else {
      const int arm = 4 * thickness;
      cv::line(picture, goal - cv::Point(arm, arm), goal + cv::Point(arm, arm), kFailedColour,
               thickness, cv::LINE_AA);
      cv::line(picture, goal - cv::Point(arm, -arm), goal + cv::Point(arm, -arm), kFailedColour,
               thickness, cv::LINE_AA);
    }
    cv::putText(picture, std::to_string(i + 1), goal + cv::Point(5 * thickness, -3 * thickness),
                cv::FONT_HERSHEY_SIMPLEX, 0.4 * thickness, leg.succeeded ? colour : kFailedColour,
                std::max(1, thickness / 2), cv::LINE_AA);
  }
  return picture;
}

cv::Point pixelOf(const nav_msgs::msg::OccupancyGrid& grid, const cv::Mat& picture, double x,
                  double y) {
  const int scale = std::max(1, picture.cols / std::max(1, static_cast<int>(grid.info.width)));
  return Projection(grid, scale)(x, y);
}

void checkPictureFile(const std::string& file) {
  const std::string refusal = "cannot write the picture to \"" + file + "\": ";
  bool writable_type = false;
  try {
    writable_type = cv::haveImageWriter(file);
  } catch (const cv::Exception&) {
  }
  if (!writable_type) {
    throw InputError(refusal + "give it an image type such as .png");
  }
  const std::filesystem::path path(file);
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw InputError(refusal + "it is there already and is not a file");
  }
  if (path.has_parent_path()) {
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
      throw InputError(refusal + error.message());
    }
  }
  const bool existed = std::filesystem::exists(status);
  {
    const std::ofstream probe(file, std::ios::app);
    if (!probe) {
      throw InputError(refusal + std::strerror(errno));
    }
  }
  if (!existed) {
    std::filesystem::remove(path, error);
  }
}

void writePicture(const std::string& file, const cv::Mat& picture) {
  bool written = false;
  std::string reason;
  try {
    const std::filesystem::path path(file);
    if (path.has_parent_path()) {
      std::filesystem::create_directories(path.parent_path());
    }
    written = cv::imwrite(file, picture);
  } catch (const std::exception& error) {
    reason = std::string(": ") + error.what();
  }
  if (!written) {
    throw InputError("cannot write the picture to \"" + file + "\"" + reason);
  }
}

}  // namespace demo
