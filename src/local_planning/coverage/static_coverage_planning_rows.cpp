// The paths of one zone: an edge path along each outline of its free area, then the rows over
// its regions still to clean, chained from the robot.
#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/coverage_rows.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

// Largest distance, in cells, of a simplified region outline from the outline found.
constexpr double kRegionSimplifyCells = 2.0;

void headTowards(geometry_msgs::msg::PoseStamped& pose, const geometry_msgs::msg::PoseStamped& to) {
  geometry::setYawKeepingXY(pose.pose.orientation, geometry::headingBetween(pose, to));
}

}  // namespace

NavLocalPlanning::PoseStamped StaticCoveragePlanning::cellPose(const GridMapROS& map, int u,
                                                               int v) const {
  // mapToWorld, also for the cells left of or below the origin that a window cell may give.
  const nav2_costmap_2d::Costmap2D& costmap = *map.getMultiGridMap()->getCostmap();
  PoseStamped pose;
  pose.header.frame_id = map.getCostmapROS()->getGlobalFrameID();
  pose.pose.position.x = costmap.getOriginX() + (u + 0.5) * costmap.getResolution();
  pose.pose.position.y = costmap.getOriginY() + (v + 0.5) * costmap.getResolution();
  pose.pose.orientation.w = 1.0;
  return pose;
}

StaticCoveragePlanning::CellLists StaticCoveragePlanning::getEdgeContours(const Cells& zone,
                                                                          const cv::Mat& image) {
  cv::Mat mask;
  image_processing_->getMaskMat(image, zone, mask);
  CellLists outlines;
  for (auto& info : image_processing_->getAllValidContourAddSort(
           ContourType::ZONE, mask, 0, robot_window_cell_.x, robot_window_cell_.y)) {
    outlines.push_back(std::move(info.points));
  }
  return outlines;
}

bool StaticCoveragePlanning::getEdgePath(MultiPaths& paths) {
  const std::string frame = third_gridmap_->getCostmapROS()->getGlobalFrameID();
  for (const auto& outline : edge_contours_) {
    nav_msgs::msg::Path corners;
    corners.header.frame_id = frame;
    for (const auto& cell : outline) {
      corners.poses.push_back(cellPose(*third_gridmap_, static_cast<int>(bbox_origin_x_) + cell.x,
                                       static_cast<int>(bbox_origin_y_) + cell.y));
    }
    Path piece;
    piece.nav_path.header.frame_id = frame;
    path_product_->fillPath(corners, resolution_, piece.nav_path);
    piece.path_type = kEdgeFollow;
    paths.paths.push_back(std::move(piece));
  }
  if (paths.paths.empty()) {
    LOG_WARN("StaticCoveragePlanning::getEdgePath Find no vaild path.");
    return false;
  }
  auto& first = paths.paths.front();
  auto& poses = first.nav_path.poses;
  std::size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::max();
  for (std::size_t i = 0; i < poses.size(); ++i) {
    const double d = geometry::planarDistance(poses[i], robot_pose_);
    if (d < nearest_distance) {
      nearest_distance = d;
      nearest = i;
    }
  }
  std::rotate(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(nearest), poses.end());
  first.path_type = kFirstEdgeApproach;
  paths.header.frame_id = frame;
  return true;
}

bool StaticCoveragePlanning::fromContourGenerateGlobalPath(MultiPaths& paths) {
  for (auto& region : uncleaned_contours_) {
    if (!region.empty()) {
      Cells simplified;
      cv::approxPolyDP(region, simplified, kRegionSimplifyCells, true);
      region = std::move(simplified);
    }
  }
  // The debug image of every generation; a robot without the folder simply has none.
  try {
    cv::Mat image = cv::Mat::zeros(clean_mat_.size(), CV_8UC3);
    cv::drawContours(image, uncleaned_contours_, -1, cv::Scalar(255, 255, 255), 1, cv::LINE_8);
    cv::flip(image, image, 0);
    cv::imwrite(debug_image_folder_ + std::to_string(uncleaned_contours_.size()) + "_ori1" + ".jpg",
                image);
  } catch (const cv::Exception&) {
  }
  if (uncleaned_contours_.empty()) {
    LOG_WARN("fromContourGenerageArchedPath findLongestEdge failed.");
    return false;
  }
  return fromContourGenerageArchedPath(uncleaned_contours_, third_gridmap_, paths);
}

bool StaticCoveragePlanning::fromContourGenerageArchedPath(const CellLists& regions,
                                                           std::shared_ptr<GridMapROS> map,
                                                           MultiPaths& paths) {
  CellLists rows =
      generateParallelPaths(regions, findLongestEdge(zone_infos_),
                            static_cast<double>(coverage_line_spacing_), current_zone_rect_.size());
  generatePaths(rows, std::move(map), paths);
  return true;
}

void StaticCoveragePlanning::generatePaths(CellLists& rows, std::shared_ptr<GridMapROS> map,
                                           MultiPaths& paths) {
  const double step = map->getMultiGridMap()->getCostmap()->getResolution();
  const int ox = static_cast<int>(bbox_origin_x_);
  const int oy = static_cast<int>(bbox_origin_y_);
  rows.erase(
      std::remove_if(rows.begin(), rows.end(), [](const Cells& row) { return row.size() < 2; }),
      rows.end());
  int index = 0;
  findNearestPoint(robot_pose_, map, rows, index);
  while (!rows.empty()) {
    const Cells& row = rows[static_cast<std::size_t>(index)];
    PoseStamped start = cellPose(*map, ox + row[0].x, oy + row[0].y);
    PoseStamped end = cellPose(*map, ox + row[1].x, oy + row[1].y);
    start.header.stamp = end.header.stamp = builtin_interfaces::msg::Time();
    Path piece;
    piece.nav_path = fillPath(start, end, step);
    // The path before each row ends facing the row's start.
    if (!paths.paths.empty() && !paths.paths.back().nav_path.poses.empty()) {
      headTowards(paths.paths.back().nav_path.poses.back(), piece.nav_path.poses.front());
    }
    piece.path_type = kRowApproach;
    paths.paths.push_back(std::move(piece));
    rows.erase(rows.begin() + index);
    if (!rows.empty()) {
      findNearestPoint(end, map, rows, index);
    }
  }
  paths.header.frame_id = map->getCostmapROS()->getGlobalFrameID();
}

NavLocalPlanning::PoseStamped StaticCoveragePlanning::findNearestPoint(
    const PoseStamped& from, std::shared_ptr<GridMapROS> map, CellLists& rows, int& index) {
  index = 0;
  PoseStamped nearest;
  double nearest_distance = std::numeric_limits<double>::max();
  std::size_t nearest_cell = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const PoseStamped cell = cellPose(*map, static_cast<int>(bbox_origin_x_) + rows[r][c].x,
                                        static_cast<int>(bbox_origin_y_) + rows[r][c].y);
      const double d = geometry::planarDistance(cell, from);
      if (d < nearest_distance) {
        nearest_distance = d;
        index = static_cast<int>(r);
        nearest_cell = c;
        nearest.pose.position = cell.pose.position;
      }
    }
  }
  if (!rows.empty() && nearest_cell == 1) {
    std::swap(rows[static_cast<std::size_t>(index)][0], rows[static_cast<std::size_t>(index)][1]);
  }
  return nearest;
}

nav_msgs::msg::Path StaticCoveragePlanning::fillPath(const PoseStamped& start,
                                                     const PoseStamped& end, double step) const {
  nav_msgs::msg::Path path;
  path.header = start.header;
  const double dx = end.pose.position.x - start.pose.position.x;
  const double dy = end.pose.position.y - start.pose.position.y;
  const double segments = std::ceil(std::hypot(dx, dy) / step);
  // Coinciding ends (or a step that cannot divide the segment) leave the start alone.
  if (!(segments >= 1.0 && segments <= std::numeric_limits<int>::max())) {
    path.poses.push_back(start);
    return path;
  }
  const int n = static_cast<int>(segments);
  for (int i = 0; i <= n; ++i) {
    PoseStamped pose;
    pose.header = start.header;
    pose.pose.position.x = start.pose.position.x + i * dx / n;
    pose.pose.position.y = start.pose.position.y + i * dy / n;
    pose.pose.orientation.w = 1.0;
    path.poses.push_back(pose);
  }
  return path;
}

}  // namespace planning
