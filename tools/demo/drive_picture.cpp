#include "drive_picture.hpp"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <string>

namespace demo {

namespace {

// BGR.
const cv::Scalar kNoLimitColour(150, 150, 150);
const cv::Scalar kRotationColour(20, 20, 20);
const cv::Scalar kObstacleColour(160, 40, 140);
const cv::Scalar kLegendColour(40, 40, 40);
constexpr int kLegendStrip = 28;
constexpr double kLegendFont = 0.5;

// Red at 0, yellow at 0.5, green at 1 and above.
cv::Scalar speedColour(double limit) {
  if (!std::isfinite(limit)) {
    return kNoLimitColour;
  }
  const double t = std::clamp(limit, 0.0, 1.0);
  return cv::Scalar(0.0, 230.0 * std::min(1.0, 2.0 * t), 230.0 * std::min(1.0, 2.0 * (1.0 - t)));
}

int lineWidth(const nav_msgs::msg::OccupancyGrid& grid, const cv::Mat& picture) {
  return std::max(2, picture.cols / std::max(1, static_cast<int>(grid.info.width)));
}

void drawTrack(cv::Mat& picture, const nav_msgs::msg::OccupancyGrid& grid, const DrivenLeg& leg) {
  const int width = lineWidth(grid, picture);
  for (size_t i = 1; i < leg.track.size(); ++i) {
    const double limit = i < leg.speed_limits.size() ? leg.speed_limits[i] : NAN;
    cv::line(picture, pixelOf(grid, picture, leg.track[i - 1].x, leg.track[i - 1].y),
             pixelOf(grid, picture, leg.track[i].x, leg.track[i].y), speedColour(limit), width,
             cv::LINE_AA);
  }
  for (const auto& spot : leg.rotations) {
    cv::circle(picture, pixelOf(grid, picture, spot.x, spot.y), 3 * width, kRotationColour,
               std::max(1, width / 2), cv::LINE_AA);
  }
}

void drawObstacle(cv::Mat& picture, const nav_msgs::msg::OccupancyGrid& grid,
                  const std::vector<cv::Point2d>& outline) {
  std::vector<cv::Point> corners;
  for (const auto& point : outline) {
    corners.push_back(pixelOf(grid, picture, point.x, point.y));
  }
  cv::fillPoly(picture, std::vector<std::vector<cv::Point>>{corners}, kObstacleColour, cv::LINE_AA);
}

// Writes `text` at `left` in the strip and returns where the next entry starts.
int legendText(cv::Mat& framed, int top, int left, const std::string& text,
               const cv::Scalar& colour) {
  int baseline = 0;
  const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, kLegendFont, 1, &baseline);
  cv::putText(framed, text, cv::Point(left, top + (kLegendStrip + size.height) / 2),
              cv::FONT_HERSHEY_SIMPLEX, kLegendFont, colour, 1, cv::LINE_AA);
  return left + size.width + 12;
}

cv::Mat withLegend(const cv::Mat& picture) {
  cv::Mat framed;
  cv::copyMakeBorder(picture, framed, 0, kLegendStrip, 0, 0, cv::BORDER_CONSTANT,
                     cv::Scalar(255, 255, 255));
  const int top = picture.rows;
  int left = legendText(framed, top, 10, "track by speed limit: 0", kLegendColour);
  constexpr int kRamp = 100;
  for (int x = 0; x < kRamp; ++x) {
    cv::line(framed, cv::Point(left + x, top + 8), cv::Point(left + x, top + kLegendStrip - 8),
             speedColour(static_cast<double>(x) / (kRamp - 1)));
  }
  left = legendText(framed, top, left + kRamp + 4, "1", kLegendColour);
  const cv::Point ring(left + 8, top + kLegendStrip / 2);
  cv::circle(framed, ring, 6, kRotationColour, 1, cv::LINE_AA);
  left = legendText(framed, top, left + 20, "turn in place", kLegendColour);
  cv::rectangle(framed, cv::Rect(left, top + 8, 12, kLegendStrip - 16), kObstacleColour,
                cv::FILLED);
  legendText(framed, top, left + 18, "obstacle; thin lines: global paths", kLegendColour);
  return framed;
}

}  // namespace

cv::Mat drawDrive(const nav_msgs::msg::OccupancyGrid& grid, const std::vector<DrivenLeg>& legs,
                  const std::vector<std::vector<cv::Point2d>>& obstacles) {
  std::vector<DrawnLeg> plans;
  for (const auto& leg : legs) {
    plans.push_back(leg.plan);
  }
  cv::Mat picture = drawPlans(grid, plans);
  for (const auto& outline : obstacles) {
    drawObstacle(picture, grid, outline);
  }
  for (const auto& leg : legs) {
    drawTrack(picture, grid, leg);
  }
  return withLegend(picture);
}

}  // namespace demo
