#include "planning_sim/cleaning_picture.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace planning_sim {

namespace {

constexpr int kMaxScale = 8;
const cv::Vec3b kFree(255, 255, 255);
const cv::Vec3b kWall(60, 60, 60);
const cv::Vec3b kUnknown(200, 200, 200);
const cv::Vec3b kMissed(80, 80, 235);
// BGR, one pass to three and more.
const std::array<cv::Vec3b, 3> kPasses{cv::Vec3b(190, 235, 190), cv::Vec3b(120, 200, 120),
                                       cv::Vec3b(50, 140, 50)};
const cv::Scalar kZone(200, 90, 20);
const cv::Scalar kTrack(0, 140, 255);
const cv::Scalar kStart(40, 170, 40);

cv::Vec3b cellColour(const nav_msgs::msg::OccupancyGrid& floor, const CleaningScene& scene, int x,
                     int y) {
  const int8_t occupancy = floor.data[static_cast<size_t>(y) * floor.info.width + x];
  const int passes = scene.passes.empty() ? 0 : scene.passes.at<uint16_t>(y, x);
  if (passes > 0) {
    return kPasses[std::min<size_t>(passes, kPasses.size()) - 1];
  }
  if (!scene.target.empty() && scene.target.at<uint8_t>(y, x) != 0) {
    return kMissed;
  }
  return occupancy < 0 ? kUnknown : occupancy >= 65 ? kWall : kFree;
}

// Map-frame metres to pixels of the picture of `window`, north up.
class Projection {
 public:
  Projection(const nav_msgs::msg::OccupancyGrid& floor, const cv::Rect& window, double scale)
      : floor_(floor.info), window_(window), scale_(scale) {}

  cv::Point operator()(double x, double y) const {
    const double column = (x - floor_.origin.position.x) / floor_.resolution - window_.x;
    const double row =
        window_.y + window_.height - (y - floor_.origin.position.y) / floor_.resolution;
    return {static_cast<int>(std::lround(column * scale_)),
            static_cast<int>(std::lround(row * scale_))};
  }

 private:
  nav_msgs::msg::MapMetaData floor_;
  cv::Rect window_;
  double scale_;
};

}  // namespace

cv::Rect windowAround(const nav_msgs::msg::OccupancyGrid& floor,
                      const geometry_msgs::msg::Polygon& zone, int margin) {
  const cv::Rect all(0, 0, static_cast<int>(floor.info.width), static_cast<int>(floor.info.height));
  if (zone.points.empty()) {
    return all;
  }
  std::vector<cv::Point> cells;
  for (const auto& p : zone.points) {
    cells.emplace_back(
        static_cast<int>(std::floor((p.x - floor.info.origin.position.x) / floor.info.resolution)),
        static_cast<int>(std::floor((p.y - floor.info.origin.position.y) / floor.info.resolution)));
  }
  const cv::Rect box = cv::boundingRect(cells);
  return cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin) &
         all;
}

cv::Mat drawCleaning(const nav_msgs::msg::OccupancyGrid& floor, const CleaningScene& scene,
                     int width) {
  const cv::Rect window = scene.window.value_or(
      cv::Rect(0, 0, static_cast<int>(floor.info.width), static_cast<int>(floor.info.height)));
  cv::Mat cells(std::max(window.height, 1), std::max(window.width, 1), CV_8UC3,
                cv::Scalar(200, 200, 200));
  for (int y = window.y; y < window.y + window.height; ++y) {
    for (int x = window.x; x < window.x + window.width; ++x) {
      cells.at<cv::Vec3b>(window.y + window.height - 1 - y, x - window.x) =
          cellColour(floor, scene, x, y);
    }
  }
  const int scale = std::clamp(width / std::max(window.width, 1), 1, kMaxScale);
  cv::Mat picture;
  cv::resize(cells, picture, cells.size() * scale, 0, 0, cv::INTER_NEAREST);
  const Projection project(floor, window, scale);
  const int thickness = std::max(1, scale / 3);
  for (const auto& zone : scene.zones) {
    std::vector<cv::Point> corners;
    for (const auto& p : zone.points) {
      corners.push_back(project(p.x, p.y));
    }
    cv::polylines(picture, corners, true, kZone, thickness, cv::LINE_AA);
  }
  for (const auto& track : scene.tracks) {
    std::vector<cv::Point> points;
    for (const auto& pose : track) {
      points.push_back(project(pose.x, pose.y));
    }
    cv::polylines(picture, points, false, kTrack, std::max(1, thickness / 2), cv::LINE_AA);
  }
  for (const auto& start : scene.starts) {
    cv::circle(picture, project(start.x, start.y), 3 * thickness + 2, kStart, cv::FILLED,
               cv::LINE_AA);
  }
  return picture;
}

}  // namespace planning_sim
