// The local planner base: the debug image of a path over a grey map.
#include <cmath>
#include <cstddef>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>
#include <vector>

#include "logger/logger.hpp"
#include "planning/local_planning/nav_local_planning.hpp"

namespace planning {

namespace {

const cv::Scalar kCornerColour(0, 255, 255);
const cv::Scalar kRobotColour(0, 165, 255);
const cv::Scalar kFirstPoseColour(0, 255, 0);
const cv::Scalar kSecondPoseColour(0, 0, 255);
const cv::Scalar kPoseColour(255, 0, 0);

// The cell of a world position on the grid map, as an image point (x = column, y = row).
std::optional<cv::Point> toPixel(const vantrell_nav2_gridmap::GridMapROS* map,
                                 const geometry_msgs::msg::PoseStamped& pose) {
  const auto grid = map != nullptr ? map->getMultiGridMap() : nullptr;
  const auto* costmap = grid ? grid->getCostmap() : nullptr;
  unsigned int mx = 0;
  unsigned int my = 0;
  if (costmap == nullptr ||
      !costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
    return std::nullopt;
  }
  return cv::Point(static_cast<int>(mx), static_cast<int>(my));
}

void drawCorners(cv::Mat& image, const std::vector<cv::Point2f>& corners) {
  if (corners.size() < 4) {
    return;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    const cv::Point2f& from = corners[i];
    const cv::Point2f& to = corners[(i + 1) % 4];
    cv::line(image, cv::Point(cvRound(from.x), cvRound(from.y)),
             cv::Point(cvRound(to.x), cvRound(to.y)), kCornerColour, 1, cv::LINE_8);
  }
}

void writeImage(const std::string& file, const cv::Mat& image) {
  bool written = false;
  try {
    written = cv::imwrite(file, image);
  } catch (const cv::Exception& error) {
    LOG_WARN("NavLocalPlanning::VisualizeDebug can not write {}: {}", file, error.what());
    return;
  }
  if (!written) {
    LOG_WARN("NavLocalPlanning::VisualizeDebug can not write {}", file);
  }
}

}  // namespace

void NavLocalPlanning::VisualizeDebug(const cv::Mat& map, const std::vector<PoseStamped>& path,
                                      const std::vector<cv::Point2f>& corners, PoseStamped robot) {
  if (map.empty() || map.type() != CV_8UC1) {
    LOG_WARN("NavLocalPlanning::VisualizeDebug needs an 8-bit grey map image");
    return;
  }
  cv::Mat image;
  cv::cvtColor(map, image, cv::COLOR_GRAY2BGR);
  drawCorners(image, corners);
  // Poses off the global map are left out; the others keep their place in the colour order.
  if (const auto cell = toPixel(global_gridmap_.get(), robot)) {
    cv::circle(image, *cell, 3, kRobotColour, -1, cv::LINE_AA);
  }
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto cell = toPixel(global_gridmap_.get(), path[i]);
    if (!cell) {
      continue;
    }
    const int radius = i == 0 ? 6 : 3;
    const cv::Scalar& colour = i == 0 ? kFirstPoseColour : i == 1 ? kSecondPoseColour : kPoseColour;
    cv::circle(image, *cell, radius, colour, -1, cv::LINE_AA);
  }
  writeImage(file_output_folder_ + "mask_res.png", image);
}

}  // namespace planning
