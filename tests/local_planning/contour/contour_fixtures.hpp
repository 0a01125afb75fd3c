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

#include "contour_manager_probe.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/debug_log_level.hpp"
#include "support/log_capture.hpp"
#include "support/text_map.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

namespace contour_test {

constexpr double kCell = test_support::kTextCell;
constexpr double kOrigin = test_support::kTextOrigin;
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
    log_ = test_support::clearedLog();
    const auto floor =
        gm::occupancyGridFromDrawing(gm::drawingFromRows(walledRows(80, 60)), 0.05, -0.025, -0.025);
    maps_ = gm::makeLocalNodeMaps(floor, cv::Rect(20, 10, 40, 40), test_support::pointRobot());
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

  bool logged(const std::string& text) const { return log_->count(text) > 0; }
  size_t countLogged(const std::string& text) const { return log_->count(text); }

  std::shared_ptr<test_support::CaptureSink> log_;
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
