#ifndef LOCAL_PLANNING__CLIPPING__CLIPPING_FIXTURES_HPP_
#define LOCAL_PLANNING__CLIPPING__CLIPPING_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "planning/geometry.hpp"
#include "planning/local_planning/path_clipping.hpp"
#include "rclcpp/rclcpp.hpp"
#include "support/debug_log_level.hpp"
#include "support/log_capture.hpp"
#include "support/text_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace clipping_test {

using geometry_msgs::msg::PoseStamped;
using vantrell_nav2_planner::astar2::AstarCall;
using vantrell_nav2_planner::astar2::AstarPlanner;
using Path = vantrell_nav2_protocol::msg::Path;
using Rows = std::vector<std::string>;

// A floor of 6 m x 3 m in cells of 0.1 m, cell (i, j) centred on (0.1 i, 0.1 j).
constexpr int kWidth = 60;
constexpr int kHeight = 30;

inline PoseStamped pose(double x, double y) { return planning::geometry::planarPose(x, y); }

// `count` poses 0.1 m apart along x from (x0, y): from (0.5, 1.5), pose i lies on cell 5 + i.
inline Path pathAlongX(double x0, double y, int count) {
  Path path;
  for (int i = 0; i < count; ++i) {
    path.nav_path.poses.push_back(pose(x0 + 0.1 * i, y));
  }
  return path;
}

inline Rows freeRows(int width = kWidth, int height = kHeight) {
  return Rows(height, std::string(width, '.'));
}

// Walls on the cell rectangle [x0, x1] x [y0, y1], its border only when `ring`.
inline void drawWalls(Rows& rows, int x0, int y0, int x1, int y1, bool ring) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      if (!ring || y == y0 || y == y1 || x == x0 || x == x1) {
        rows[y][x] = '#';
      }
    }
  }
}

inline bool samePosition(const PoseStamped& a, const PoseStamped& b) {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y) <
         1e-9;
}

// The index of the pose of `path` at `goal`'s position, or the path's size.
inline size_t indexOf(const Path& path, const PoseStamped& goal) {
  size_t i = 0;
  while (i < path.nav_path.poses.size() && !samePosition(path.nav_path.poses[i], goal)) {
    ++i;
  }
  return i;
}

// `path` is the first `kept` poses of `original`, a detour starting at `detour_start`, and the
// poses of `original` after `goal`, with no pose repeated and no gap over a diagonal cell step.
inline void expectSpliced(const Path& path, const Path& original, size_t kept,
                          const PoseStamped& detour_start, size_t goal) {
  const auto& got = path.nav_path.poses;
  const auto& was = original.nav_path.poses;
  for (size_t i = 1; i < got.size(); ++i) {
    const double gap = std::hypot(got[i].pose.position.x - got[i - 1].pose.position.x,
                                  got[i].pose.position.y - got[i - 1].pose.position.y);
    EXPECT_TRUE(gap > 1e-6 && gap < 0.15) << "gap " << gap << " before pose " << i;
  }
  const size_t tail = was.size() - goal - 1;
  ASSERT_GT(got.size(), kept + tail);
  EXPECT_TRUE(std::equal(was.begin(), was.begin() + kept, got.begin()));
  EXPECT_TRUE(samePosition(got[kept], detour_start));
  EXPECT_TRUE(std::equal(was.end() - tail, was.end(), got.end() - tail));
}

// The node, the log, the maps drawn as text with their engines, and what the callback heard.
class ClippingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    log_ = test_support::clearedLog();
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("clipping_test");
  }

  // The global map is the whole drawing, the local map the window of it. By default a robot of
  // 2 x 2 cm and no inflation: only wall cells are in danger.
  void drawFloor(const Rows& rows, int window_columns = kWidth,
                 const vantrell_nav2_gridmap::GridMapParams& params = test_support::pointRobot()) {
    const auto grid = vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(
        vantrell_nav2_gridmap::testing::drawingFromRows(rows), test_support::kTextCell,
        test_support::kTextOrigin, test_support::kTextOrigin);
    const auto maps = vantrell_nav2_gridmap::testing::makeLocalNodeMaps(
        grid, cv::Rect(0, 0, window_columns, static_cast<int>(rows.size())), params);
    global_map_ = maps.global;
    local_map_ = maps.local;
    global_map_->getMultiGridMap()->updateMap();
    local_map_->getMultiGridMap()->updateMap();
    global_engine_ = std::make_shared<AstarPlanner>("local_global", global_map_);
    local_engine_ = std::make_shared<AstarPlanner>("local", local_map_);
  }

  // Walls on the local map only: an obstacle that the global map has not seen.
  void injectLocalWalls(int x0, int y0, int x1, int y1, bool ring) {
    vantrell_nav2_gridmap::testing::Cells cells;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        if (!ring || y == y0 || y == y1 || x == x0 || x == x1) {
          cells.push_back({static_cast<unsigned>(x), static_cast<unsigned>(y)});
        }
      }
    }
    vantrell_nav2_gridmap::testing::markObstacleCells(*local_map_, cells);
    local_map_->getMultiGridMap()->updateMap();
  }

  // A strategy on the drawn maps with both engines, whose callback records what it hears.
  template <typename Strategy>
  std::shared_ptr<Strategy> make() {
    auto strategy = std::make_shared<Strategy>(node_, global_map_, local_map_);
    strategy->setLocalPlanner(local_engine_);
    strategy->setGlobalPlanner(global_engine_);
    strategy->setCallback([this](bool made) { heard_.push_back(made); });
    return strategy;
  }

  // Poses of `path` whose cell the local map has in danger.
  size_t posesInDanger(const Path& path) const {
    const auto grid = local_map_->getMultiGridMap();
    size_t count = 0;
    for (const auto& pose : path.nav_path.poses) {
      unsigned mx = 0;
      unsigned my = 0;
      if (grid->getCostmap()->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my) &&
          grid->inDanger(mx, my, 0)) {
        ++count;
      }
    }
    return count;
  }

  static AstarCall lastCall(const std::shared_ptr<AstarPlanner>& engine) {
    return vantrell_nav2_planner::astar2::AstarPlannerProbe::lastCall(*engine);
  }

  // How many records end with `tail` (level tag and text).
  size_t logged(const std::string& tail) const { return log_->countEndingWith(tail); }

  std::shared_ptr<test_support::CaptureSink> log_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> global_map_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_map_;
  std::shared_ptr<AstarPlanner> global_engine_;
  std::shared_ptr<AstarPlanner> local_engine_;
  std::vector<bool> heard_;
};

}  // namespace clipping_test

#endif  // LOCAL_PLANNING__CLIPPING__CLIPPING_FIXTURES_HPP_
