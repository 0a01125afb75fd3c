// Judgements about the current region and the robot's surroundings: hollows beside the
// region, a boxed-in robot, regions along obstacles.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <sstream>
#include <string>

#include "contour_snapshot.hpp"
#include "logger/logger.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"

namespace planning {

namespace {

// Outline points taken on each side of a point for its normal.
constexpr size_t kNormalSpan = 3;
// Length of a normal, cells: a hollow must be at least this deep.
constexpr double kNormalLength = 9.0;
// A shorter stretch of outline is not judged.
constexpr size_t kHollowOutlinePoints = 10;
// Clear normals in a row, each within this many cells of the previous, that make a hollow.
constexpr int kChainGap = 2;
constexpr int kChainLinks = 3;
// Trace colour of a hollow's seed.
constexpr uint8_t kHollowColour = 98;
// An outline point this near an obstacle runs along it, metres.
constexpr double kAlongObstacle = 0.4;
// Largest region, cells^2, that can be an obstacle's own outline.
constexpr double kObstacleOutlineArea = 500.0;
// Regions along obstacles for their size alone (cells^2), or for their size and a density
// (area over outline length, cells) above this.
constexpr double kTinyArea = 50.0;
constexpr double kSmallArea = 100.0;
constexpr double kSmallDenseDensity = 10.0;

// Whether every cell strictly between `from` and `to` on their Bresenham line passes.
bool interiorPasses(const cv::Point& from, const cv::Point& to,
                    const std::function<bool(const cv::Point&)>& passes) {
  const int dx = std::abs(to.x - from.x);
  const int dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1;
  const int sy = from.y < to.y ? 1 : -1;
  int error = dx + dy;
  cv::Point cell = from;
  while (cell != to) {
    const int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      cell.x += sx;
    }
    if (doubled <= dx) {
      error += dx;
      cell.y += sy;
    }
    if (cell != to && !passes(cell)) {
      return false;
    }
  }
  return true;
}

// The figures of an obstacle check, one per line; the point count only when given.
std::string obstacleCheckText(int obstacle_count, std::optional<int> points, double area,
                              double density, double strip_density) {
  std::ostringstream text;
  text << "obstacle_count:" << obstacle_count << "\n";
  if (points) {
    text << "contour.size():" << *points << "\n";
  }
  text << "area:" << area << "\ndensity:" << density << "\ncomplex_density:" << strip_density
       << "\n";
  return text.str();
}

}  // namespace

bool ContourManager::detectContourHollow(cv::Point& out) {
  if (finished_) {
    return false;
  }
  const int index = currentContourIndex();
  if (index < 0) {
    LOG_WARN("ContourManager::detectContourHollow contour_index has not found");
    return false;
  }
  // The region in zone-map cells, as the free-cell test reads it.
  ContourInfo region = contour_info_vec_[index];
  const cv::Point origin(static_cast<int>(bbox_origin_x_), static_cast<int>(bbox_origin_y_));
  for (auto& point : region.points) {
    point += origin;
  }
  costmap_image_convert_->getLocalCostmapMatWithCoverage(local_coverage_mat_, location_coverter_);
  const std::vector<cv::Point> outline = outlineOnLocalMap(region.points);
  if (outline.size() < kHollowOutlinePoints) {
    return false;
  }
  if (dilate_flag_trace_) {
    dilate_flag_trace_->reset();
  }
  cv::Point previous(-2, -2);
  int chain = 0;
  for (size_t i = kNormalSpan; i + kNormalSpan < outline.size(); ++i) {
    cv::Point end;
    if (!clearNormal(outline, i, region, end)) {
      continue;
    }
    const cv::Point& point = outline[i];
    const bool near_previous =
        std::abs(point.x - previous.x) <= kChainGap && std::abs(point.y - previous.y) <= kChainGap;
    chain = near_previous ? chain + 1 : 0;
    previous = point;
    if (chain == kChainLinks) {
      if (dilate_flag_trace_) {
        dilate_flag_trace_->setMatPointColor(end, kHollowColour);
        dilate_flag_trace_->publishCVMatAsGrid();
      }
      out = end - origin;
      return true;
    }
  }
  if (dilate_flag_trace_) {
    dilate_flag_trace_->publishCVMatAsGrid();
  }
  return false;
}

std::vector<cv::Point> ContourManager::outlineOnLocalMap(const std::vector<cv::Point>& outline) {
  updateRobotPose();
  std::vector<cv::Point> ordered;
  reindexContour(outline, static_cast<int>(global_x_), static_cast<int>(global_y_), ordered, true);
  // Only the stretch from the robot that the local map covers can be judged.
  const auto off_local = std::find_if(ordered.begin(), ordered.end(), [&](const cv::Point& p) {
    unsigned int u = 0;
    unsigned int v = 0;
    return p.x < 0 || p.y < 0 ||
           !location_coverter_.secondToFirstMap(static_cast<unsigned int>(p.x),
                                                static_cast<unsigned int>(p.y), u, v);
  });
  ordered.erase(off_local, ordered.end());
  return ordered;
}

bool ContourManager::clearNormal(const std::vector<cv::Point>& outline, size_t i,
                                 const ContourInfo& region, cv::Point& end) {
  const cv::Point& point = outline[i];
  const cv::Point& before = outline[i - kNormalSpan];
  const cv::Point& after = outline[i + kNormalSpan];
  if (before == after) {
    return false;
  }
  const double length = std::hypot(after.x - before.x, after.y - before.y);
  end = cv::Point(static_cast<int>(point.x + kNormalLength * (after.y - before.y) / length),
                  static_cast<int>(point.y + kNormalLength * (before.x - after.x) / length));
  const auto free = [this, &region](const cv::Point& cell) {
    return isFree(cell, region, local_coverage_mat_);
  };
  return free(end) && interiorPasses(end, point, free);
}

bool ContourManager::robotIsSurrounded(const std::vector<AstarNode*>& nodes) const {
  if (!zoneIndexValid(current_zone_index_)) {
    LOG_WARN("ContourManager::current_zone_index_ is {} zone_infos_ size() is {}",
             current_zone_index_, zone_infos_.size());
    return false;
  }
  if (zone_extra_mat_.type() != CV_8UC1) {
    return false;
  }
  const cv::Rect cells(0, 0, zone_extra_mat_.cols, zone_extra_mat_.rows);
  const cv::Point origin(static_cast<int>(bbox_origin_x_), static_cast<int>(bbox_origin_y_));
  size_t explored = 0;
  for (const AstarNode* node : nodes) {
    const cv::Point cell =
        node == nullptr ? cv::Point(-1, -1) : cv::Point(node->x, node->y) - origin;
    if (cells.contains(cell) && zone_extra_mat_.at<uint8_t>(cell) == 255) {
      ++explored;
    }
  }
  const double resolution = zoneResolution();
  return explored * resolution * resolution < judge_surround_area_;
}

void ContourManager::traceRobotSurroundedState(const ContourInfo& /*current*/) {
  if (!robot_surrounded_) {
    robot_surrounded_ = true;
    LOG_INFO("traceRobotSurroundedState::updateRobotSurroundedState(true)");
    surrounded_start_time_ = std::chrono::system_clock::now();
  } else {
    const auto tried = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now() - surrounded_start_time_)
                           .count();
    LOG_INFO("try time is {}", tried);
    if (tried > robot_surround_try_time_ * 1000.0) {
      robot_surrounded_ = false;
      abandonAllContours();
      LOG_INFO(
          "navigateToContour current contour is unReachable,robot is surrounded,try time is {}",
          tried);
    }
  }
  LOG_INFO("robot is surrounded ");
}

int ContourManager::obstacleCount(const std::vector<cv::Point>& contour) const {
  const auto grid = planning_gridmap_->getMultiGridMap();
  int count = 0;
  for (const auto& point : contour) {
    // Unsigned on purpose: a point left of the window still lands on its map cell.
    if (grid->getDistance(bbox_origin_x_ + static_cast<unsigned int>(point.x),
                          bbox_origin_y_ + static_cast<unsigned int>(point.y)) < kAlongObstacle) {
      ++count;
    }
  }
  return count;
}

bool ContourManager::isObstacleContour(const ContourInfo& info) {
  if (!use_obatacle_identify_) {
    return false;
  }
  updateRobotPose();
  if (info.points.empty()) {
    return false;
  }
  const cv::Point2f robot(static_cast<float>(robot_cell_.x), static_cast<float>(robot_cell_.y));
  return cv::pointPolygonTest(info.points, robot, true) >= 0.0 &&
         obstacleCount(info.points) == static_cast<int>(info.points.size()) &&
         info.area <= kObstacleOutlineArea;
}

bool ContourManager::isNextToTheObstacle(int obstacle_count, double area,
                                         const std::vector<cv::Point>& contour) {
  const double length = contour.empty() ? 0.0 : cv::arcLength(contour, true);
  // Without a length there is no density to judge by.
  if (!(length > 0.0)) {
    return false;
  }
  const int points = static_cast<int>(contour.size());
  const int third = points / 3;
  const double resolution = zoneResolution();
  const double density = area / length;
  const double two_square_metres = 2.0 / (resolution * resolution);
  const double four_square_metres = 4.0 / (resolution * resolution);
  trace("[ContourManager::invalidContour]area={}; contour.size()={}; obstacle_count={}; len={};",
        area, points, obstacle_count, length);
  trace("[ContourManager::invalidContour] density={};area_close_to_obstacles={};", density,
        two_square_metres);
  if (obstacle_count >= third &&
      (area < kTinyArea || (area < kSmallArea && density > kSmallDenseDensity))) {
    return true;
  }
  if ((obstacle_count == points && area < four_square_metres) ||
      (obstacle_count != points && obstacle_count >= 2 * third && area < two_square_metres)) {
    return true;
  }
  // The density of a strip of the reference width and the same area.
  const double width = complex_density_width_ / resolution;
  if (!(width > 0.0)) {
    return false;
  }
  const double strip_density = area / (2.0 * (width + area / width));
  if (save_contour_file_) {
    writeObstacleSnapshot(false, contour,
                          obstacleCheckText(obstacle_count, points, area, density, strip_density));
  }
  if (obstacle_count < 2 * third || area > complex_contour_area_ / (resolution * resolution) ||
      strip_density < density) {
    return false;
  }
  LOG_INFO("obstacle_count={},area={},density={},complex_density={} ", obstacle_count, area,
           density, strip_density);
  if (save_contour_file_) {
    writeObstacleSnapshot(
        true, contour,
        obstacleCheckText(obstacle_count, std::nullopt, area, density, strip_density));
  }
  return true;
}

void ContourManager::writeObstacleSnapshot(bool strip, const std::vector<cv::Point>& contour,
                                           const std::string& text) const {
  using contour_detail::SnapshotSeries;
  const int number = contour_detail::nextSnapshotNumber(strip ? SnapshotSeries::kObstacleStrips
                                                              : SnapshotSeries::kObstacleChecks);
  const std::string stem =
      snapshot_root_ + "images5/" + std::to_string(number) + (strip ? "_dst2" : "_all");
  contour_detail::writeSnapshot(
      "isNextToTheObstacle", stem,
      contour_detail::outlinePicture(zone_coverage_mat_.size(), {contour}), text);
}

}  // namespace planning
