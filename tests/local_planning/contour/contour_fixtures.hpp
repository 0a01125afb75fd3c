#ifndef LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_
#define LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <utility>
#include <vector>

#include "foundation/log_capture.hpp"
#include "local_planning/path_product/grid_fixtures.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

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
  // Snapshots go below this folder instead of the robot's.
  static std::string& snapshotRoot(ContourManager& m) { return m.snapshot_root_; }
  static std::chrono::system_clock::time_point& lastPlanTime(ContourManager& m) {
    return m.last_plan_time_;
  }
  static std::chrono::system_clock::time_point& surroundedSince(ContourManager& m) {
    return m.surrounded_start_time_;
  }
  static bool robotSurrounded(ContourManager& m) { return m.robot_surrounded_; }
  static double& judgeSurroundArea(ContourManager& m) { return m.judge_surround_area_; }
  static double& surroundTryTime(ContourManager& m) { return m.robot_surround_try_time_; }
  static double& complexDensityWidth(ContourManager& m) { return m.complex_density_width_; }
  static bool& useObstacleIdentify(ContourManager& m) { return m.use_obatacle_identify_; }
  static int32_t tryPlannerPointsCount(ContourManager& m) { return m.try_planner_points_count_; }
  static void trimHead(ContourManager& m, nav_msgs::msg::Path& path) { m.trimHeadAtRobot(path); }
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

namespace gm = vantrell_nav2_gridmap::testing;

// A fresh folder with the manager's three snapshot folders, removed with its contents.
class SnapshotFolder {
 public:
  SnapshotFolder() {
    static int made = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("contour_snapshots_" + std::to_string(::getpid()) + "_" + std::to_string(made++));
    for (const char* folder : {"images1", "images2", "images5"}) {
      std::filesystem::create_directories(root_ / folder);
    }
  }
  ~SnapshotFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  SnapshotFolder(const SnapshotFolder&) = delete;
  SnapshotFolder& operator=(const SnapshotFolder&) = delete;

  // The root as the manager joins it: with a trailing separator.
  std::string root() const { return root_.string() + "/"; }
  // File names in one snapshot folder, sorted.
  std::vector<std::string> files(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path root_;
};

// The zone polygons a coverage goal hands over, in zone-map cells.
inline std::shared_ptr<std::vector<std::vector<cv::Point>>> zoneList(
    std::vector<std::vector<cv::Point>> polygons) {
  return std::make_shared<std::vector<std::vector<cv::Point>>>(std::move(polygons));
}

// 80 x 60 walled cells of 0.05 m, cell (i, j) centred on (0.05 i, 0.05 j); the local map is
// cells 20..59 x 10..49. Records go to a capture sink.
class ManagerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = foundation_test::captureLog();
    log_->clear();
    const auto floor =
        gm::occupancyGridFromDrawing(gm::drawingFromRows(walledRows(80, 60)), 0.05, -0.025, -0.025);
    maps_ = gm::makeLocalNodeMaps(floor, cv::Rect(20, 10, 40, 40), pointRobotParams());
  }

  std::shared_ptr<planning::ContourManager> manager(
      const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
    return std::make_shared<planning::ContourManager>(node, maps_.global, maps_.local, maps_.zone,
                                                      0.2);
  }
  std::shared_ptr<planning::ContourManager> manager(
      const std::vector<rclcpp::Parameter>& overrides = {}) {
    node_ = makeNode("contour_manager_test", overrides);
    return manager(node_);
  }

  void placeRobotOnCell(double x, double y) { gm::placeRobot(maps_, x * 0.05, y * 0.05, 0.0); }

  bool logged(const std::string& text) const {
    const auto texts = log_->texts();
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& line) { return line.find(text) != line.npos; });
  }
  size_t countLogged(const std::string& text) const {
    const auto texts = log_->texts();
    return static_cast<size_t>(
        std::count_if(texts.begin(), texts.end(),
                      [&](const std::string& line) { return line.find(text) != line.npos; }));
  }

  std::shared_ptr<foundation_test::CaptureSink> log_;
  gm::LocalNodeMaps maps_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
};

inline std::vector<std::string> uuidsOf(const std::vector<ContourInfo>& infos) {
  std::vector<std::string> uuids;
  for (const auto& info : infos) {
    uuids.push_back(info.uuid);
  }
  return uuids;
}

}  // namespace contour_test

#endif  // LOCAL_PLANNING__CONTOUR__CONTOUR_FIXTURES_HPP_
