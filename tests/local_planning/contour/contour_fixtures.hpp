#ifndef LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_
#define LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <utility>
#include <vector>

#include "local_planning/path_product/grid_fixtures.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace planning {

// The manager's task state, which only its path search would otherwise set.
struct ContourManagerTestAccess {
  static std::vector<ContourInfo>& contours(ContourManager& m) { return m.contour_info_vec_; }
  static std::vector<CleanZoneInfo>& zones(ContourManager& m) { return m.zone_infos_; }
  static std::vector<CleanZoneInfo>& rawZones(ContourManager& m) { return m.raw_zone_infos_; }
  static int32_t& zoneIndex(ContourManager& m) { return m.current_zone_index_; }
  static std::string& currentUuid(ContourManager& m) { return m.current_contour_uuid_; }
  static bool& finished(ContourManager& m) { return m.finished_; }
  static bool& saveContourFile(ContourManager& m) { return m.save_contour_file_; }
  static cv::Mat& zoneImage(ContourManager& m) { return m.zone_coverage_mat_; }
  static cv::Point robotCell(ContourManager& m) { return m.robot_cell_; }
  static double minimumCleaningArea(ContourManager& m) { return m.minimum_cleaning_area_; }
  static int32_t waitTime(ContourManager& m) { return m.dynamic_coverage_planner_wait_time_; }
  static void setWindowOrigin(ContourManager& m, uint32_t x, uint32_t y) {
    m.bbox_origin_x_ = x;
    m.bbox_origin_y_ = y;
  }
  static std::shared_ptr<ContourManager::OccupancyGridPublisher> distanceMapPublisher(
      ContourManager& m) {
    return m.distance_map_pub_;
  }
};

}  // namespace planning

namespace contour_test {

using path_product_test::kCell;
using path_product_test::kOrigin;
using path_product_test::pointRobotParams;
using planning::ContourInfo;
using Rows = std::vector<std::string>;

inline std::shared_ptr<rclcpp_lifecycle::LifecycleNode> makeNode(
    const std::string& name, const std::vector<rclcpp::Parameter>& overrides = {}) {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>(name, options);
}

// An image as text, rows joined by '/' (row = y): '#' 255, '.' 0, '?' any other value.
inline std::string pictureOf(const cv::Mat& image) {
  std::string picture;
  for (int y = 0; y < image.rows; ++y) {
    picture += y > 0 ? "/" : "";
    for (int x = 0; x < image.cols; ++x) {
      const uint8_t pixel = image.at<uint8_t>(y, x);
      picture += pixel == 255 ? '#' : (pixel == 0 ? '.' : '?');
    }
  }
  return picture;
}

// width x height free cells walled all round.
inline Rows walledRows(int width, int height) {
  Rows rows(height, "#" + std::string(width - 2, '.') + "#");
  rows.front() = rows.back() = std::string(width, '#');
  return rows;
}

// A region record with what the order and the merge read.
inline ContourInfo record(const std::string& uuid, double robot_distance, double area,
                          std::vector<cv::Point> points = {}) {
  ContourInfo info;
  info.uuid = uuid;
  info.robot_distance = robot_distance;
  info.area = area;
  info.points = std::move(points);
  return info;
}

// The corner cells of an axis-aligned rectangle.
inline std::vector<cv::Point> box(int x0, int y0, int x1, int y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

inline std::vector<std::string> uuidsOf(const std::vector<ContourInfo>& infos) {
  std::vector<std::string> uuids;
  for (const auto& info : infos) {
    uuids.push_back(info.uuid);
  }
  return uuids;
}

}  // namespace contour_test

#endif  // LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_
