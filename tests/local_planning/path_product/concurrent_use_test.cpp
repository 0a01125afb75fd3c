// Several planners share one grid map, and the stateless operations share one
// toolbox: neither may disturb the other.

#include <gtest/gtest.h>

#include <future>
#include <opencv2/core.hpp>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"

namespace {

using path_product_test::freeGrid;
using path_product_test::markTypes;
using path_product_test::pathAlongX;
using path_product_test::pose;
using path_product_test::rowsWithWalls;

constexpr int kRounds = 20;

class PathProductConcurrency : public ::testing::Test {
 protected:
  // OpenCV's own worker pool is not instrumented for ThreadSanitizer, which
  // then reports its internals; with its loops on the calling thread only the
  // threads of these tests run.
  void SetUp() override { cv::setNumThreads(0); }
};

TEST_F(PathProductConcurrency, ToolboxesOfTheirOwnTestOneMapAtOnce) {
  const auto map = freeGrid(40, 20);
  markTypes(*map, {{20, 6}}, 0x4);
  const auto path = pathAlongX(0.0, 0.5, 0.1, 40);

  auto run = [&map, &path](double window_end) {
    planning::PathProduct product;
    int found = 0;
    for (int round = 0; round < kRounds; ++round) {
      double distance = -1.0;
      if (product.hasDynamicObstacle(path, map, 0.2, window_end, distance, 0.12, pose(0, 0)) &&
          distance > 1.99 && distance < 2.01) {
        ++found;
      }
    }
    return found;
  };
  auto near = std::async(std::launch::async, run, 3.0);
  auto short_window = std::async(std::launch::async, run, 1.5);
  EXPECT_EQ(near.get(), kRounds);
  EXPECT_EQ(short_window.get(), 0);
}

TEST_F(PathProductConcurrency, StatelessOperationsShareOneToolbox) {
  const auto map = path_product_test::drawnGrid(rowsWithWalls(40, 3, 1, {10, 11, 12}));
  const planning::PathProduct product;
  const auto path = pathAlongX(0.0, 0.1, 0.1, 40);

  auto goals = std::async(std::launch::async, [&] {
    int hits = 0;
    for (int round = 0; round < kRounds; ++round) {
      int index = -1;
      if (product.redefineGoal(map, pose(0, 0), path, 253, 2.5, 0.35, index) && index == 16) {
        ++hits;
      }
    }
    return hits;
  });
  auto cuts = std::async(std::launch::async, [&] {
    int hits = 0;
    for (int round = 0; round < kRounds; ++round) {
      // Leaves the 40-cell map at pose 40: the goal is pose 38.
      auto global = pathAlongX(0.0, 0.1, 0.1, 60);
      geometry_msgs::msg::PoseStamped goal;
      if (product.globalPathCut(pose(0.0, 0.1), global, map, goal) && global.poses.size() == 22u) {
        ++hits;
      }
    }
    return hits;
  });
  EXPECT_EQ(goals.get(), kRounds);
  EXPECT_EQ(cuts.get(), kRounds);
}

}  // namespace
