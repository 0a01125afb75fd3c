#include "planning_sim/sim_world.hpp"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

namespace planning_sim {

namespace {

// Floor cells at or above this occupancy are lethal, as the grid maps read them by default.
constexpr int8_t kLethalOccupancy = 100;
// Sub-cell precision of the drawn footprints.
constexpr int kShift = 8;
constexpr double kScale = 1 << kShift;

// Where `point` (map frame) lies in cell units, cell centres on whole numbers.
cv::Point2d inCells(const nav_msgs::msg::MapMetaData& info, double x, double y) {
  return {(x - info.origin.position.x) / info.resolution - 0.5,
          (y - info.origin.position.y) / info.resolution - 0.5};
}

std::vector<cv::Point2d> placedFootprint(const nav_msgs::msg::MapMetaData& info,
                                         const std::vector<geometry_msgs::msg::Point>& footprint,
                                         const geometry_msgs::msg::Pose2D& pose) {
  const double c = std::cos(pose.theta);
  const double s = std::sin(pose.theta);
  std::vector<cv::Point2d> corners;
  for (const auto& p : footprint) {
    corners.push_back(inCells(info, pose.x + c * p.x - s * p.y, pose.y + s * p.x + c * p.y));
  }
  if (corners.empty()) {
    corners.push_back(inCells(info, pose.x, pose.y));
  }
  return corners;
}

// The cells around the corners, with a cell to spare on every side.
cv::Rect cellsAround(const std::vector<cv::Point2d>& corners) {
  cv::Point2d low = corners.front();
  cv::Point2d high = corners.front();
  for (const auto& p : corners) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
  }
  return cv::Rect(
      cv::Point(static_cast<int>(std::floor(low.x)) - 1, static_cast<int>(std::floor(low.y)) - 1),
      cv::Point(static_cast<int>(std::ceil(high.x)) + 2, static_cast<int>(std::ceil(high.y)) + 2));
}

// The cells under the footprint: those its outline crosses and those inside it.
void drawFootprint(cv::Mat& mask, const cv::Point& origin,
                   const std::vector<cv::Point2d>& corners) {
  std::vector<cv::Point> fixed;
  for (const auto& p : corners) {
    fixed.emplace_back(static_cast<int>(std::lround((p.x - origin.x) * kScale)),
                       static_cast<int>(std::lround((p.y - origin.y) * kScale)));
  }
  if (fixed.size() < 3) {
    for (const auto& point : fixed) {
      cv::circle(mask, point, 0, cv::Scalar(255), cv::FILLED, cv::LINE_8, kShift);
    }
    return;
  }
  const std::vector<std::vector<cv::Point>> polygons{fixed};
  cv::fillPoly(mask, polygons, cv::Scalar(255), cv::LINE_8, kShift);
  cv::polylines(mask, polygons, true, cv::Scalar(255), 1, cv::LINE_8, kShift);
}

}  // namespace

std::vector<cv::Point> cellsUnder(const nav_msgs::msg::MapMetaData& info,
                                  const std::vector<geometry_msgs::msg::Point>& footprint,
                                  const geometry_msgs::msg::Pose2D& pose) {
  const auto corners = placedFootprint(info, footprint, pose);
  const cv::Rect area = cellsAround(corners);
  cv::Mat mask(area.size(), CV_8UC1, cv::Scalar(0));
  drawFootprint(mask, area.tl(), corners);
  std::vector<cv::Point> cells;
  cv::findNonZero(mask, cells);
  for (auto& cell : cells) {
    cell += area.tl();
  }
  return cells;
}

ObstacleInjection ObstacleInjection::atTime(std::vector<geometry_msgs::msg::Point> outline,
                                            const rclcpp::Time& time) {
  ObstacleInjection injection;
  injection.outline = std::move(outline);
  injection.at_time = time;
  return injection;
}

ObstacleInjection ObstacleInjection::whenRobotNear(std::vector<geometry_msgs::msg::Point> outline,
                                                   double x, double y, double radius) {
  ObstacleInjection injection;
  injection.outline = std::move(outline);
  geometry_msgs::msg::Point near;
  near.x = x;
  near.y = y;
  injection.near = near;
  injection.radius = radius;
  return injection;
}

SimWorld::SimWorld(const nav_msgs::msg::OccupancyGrid& floor,
                   std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> perceiving)
    : floor_(floor), perceiving_(std::move(perceiving)) {
  const auto& info = floor_.info;
  if (floor_.data.size() != static_cast<size_t>(info.width) * info.height) {
    throw std::invalid_argument("the floor's cells do not match its width and height");
  }
  lethal_ =
      cv::Mat(static_cast<int>(info.height), static_cast<int>(info.width), CV_8UC1, cv::Scalar(0));
  for (int row = 0; row < lethal_.rows; ++row) {
    for (int column = 0; column < lethal_.cols; ++column) {
      if (floor_.data[static_cast<size_t>(row) * info.width + column] >= kLethalOccupancy) {
        lethal_.at<uint8_t>(row, column) = 255;
      }
    }
  }
}

void SimWorld::schedule(ObstacleInjection injection) { scheduled_.push_back(std::move(injection)); }

size_t SimWorld::update(const rclcpp::Time& time, const geometry_msgs::msg::Pose2D& robot) {
  const auto due = std::stable_partition(
      scheduled_.begin(), scheduled_.end(),
      [&](const ObstacleInjection& injection) { return !isDue(injection, time, robot); });
  const size_t count = static_cast<size_t>(scheduled_.end() - due);
  for (auto it = due; it != scheduled_.end(); ++it) {
    place(*it);
  }
  scheduled_.erase(due, scheduled_.end());
  appeared_ += count;
  return count;
}

bool SimWorld::isDue(const ObstacleInjection& injection, const rclcpp::Time& time,
                     const geometry_msgs::msg::Pose2D& robot) const {
  if (injection.at_time && time.nanoseconds() >= injection.at_time->nanoseconds()) {
    return true;
  }
  return injection.near &&
         std::hypot(robot.x - injection.near->x, robot.y - injection.near->y) <= injection.radius;
}

void SimWorld::place(const ObstacleInjection& injection) {
  vantrell_nav2_gridmap::ObstacleEdit edit;
  std::vector<cv::Point2f> outline;
  for (const auto& p : injection.outline) {
    edit.polygon.push_back({p.x, p.y});
    const cv::Point2d cell = inCells(floor_.info, p.x, p.y);
    outline.emplace_back(static_cast<float>(cell.x), static_cast<float>(cell.y));
  }
  edit.types = injection.types;
  edit.blocking = injection.blocking;
  for (const auto& map : perceiving_) {
    map->getMultiGridMap()->queueObstacleEdit(edit);
  }
  if (!injection.blocking || outline.size() < 3) {
    return;
  }
  const cv::Rect cells = cv::boundingRect(outline) & cv::Rect(0, 0, lethal_.cols, lethal_.rows);
  for (int y = cells.y; y < cells.y + cells.height; ++y) {
    for (int x = cells.x; x < cells.x + cells.width; ++x) {
      if (cv::pointPolygonTest(outline, cv::Point2f(static_cast<float>(x), static_cast<float>(y)),
                               false) >= 0) {
        lethal_.at<uint8_t>(y, x) = 255;
      }
    }
  }
}

std::optional<cv::Point> SimWorld::entered(const std::vector<geometry_msgs::msg::Point>& footprint,
                                           const geometry_msgs::msg::Pose2D& from,
                                           const geometry_msgs::msg::Pose2D& to) const {
  const auto before = placedFootprint(floor_.info, footprint, from);
  const auto after = placedFootprint(floor_.info, footprint, to);
  const cv::Rect area = cellsAround(before) | cellsAround(after);
  cv::Mat was(area.size(), CV_8UC1, cv::Scalar(0));
  cv::Mat will(area.size(), CV_8UC1, cv::Scalar(0));
  drawFootprint(was, area.tl(), before);
  drawFootprint(will, area.tl(), after);
  return firstLethal(area.tl(), will, was);
}

std::optional<cv::Point> SimWorld::under(const std::vector<geometry_msgs::msg::Point>& footprint,
                                         const geometry_msgs::msg::Pose2D& pose) const {
  const auto corners = placedFootprint(floor_.info, footprint, pose);
  const cv::Rect area = cellsAround(corners);
  cv::Mat mask(area.size(), CV_8UC1, cv::Scalar(0));
  drawFootprint(mask, area.tl(), corners);
  return firstLethal(area.tl(), mask, cv::Mat::zeros(area.size(), CV_8UC1));
}

std::optional<cv::Point> SimWorld::firstLethal(const cv::Point& origin, const cv::Mat& cells,
                                               const cv::Mat& except) const {
  for (int y = 0; y < cells.rows; ++y) {
    for (int x = 0; x < cells.cols; ++x) {
      const cv::Point cell = origin + cv::Point(x, y);
      if (cells.at<uint8_t>(y, x) != 0 && except.at<uint8_t>(y, x) == 0 && isLethal(cell)) {
        return cell;
      }
    }
  }
  return std::nullopt;
}

bool SimWorld::isLethal(const cv::Point& cell) const {
  if (cell.x < 0 || cell.y < 0 || cell.x >= lethal_.cols || cell.y >= lethal_.rows) {
    return true;
  }
  return lethal_.at<uint8_t>(cell) != 0;
}

cv::Point SimWorld::cellOf(double x, double y) const {
  const auto& info = floor_.info;
  return {static_cast<int>(std::floor((x - info.origin.position.x) / info.resolution)),
          static_cast<int>(std::floor((y - info.origin.position.y) / info.resolution))};
}

}  // namespace planning_sim
