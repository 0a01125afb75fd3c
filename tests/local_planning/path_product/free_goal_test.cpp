// The free goal beyond a blocked stretch of a path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"
#include "support/log_capture.hpp"

namespace {

using path_product_test::drawnGrid;
using path_product_test::logged;
using path_product_test::pathAlongX;
using path_product_test::pose;
using path_product_test::rowsWithWalls;

constexpr unsigned char kLethal = 253;

class RedefineGoal : public path_product_test::ToolboxTest {
 protected:
  bool search(const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& map,
              const nav_msgs::msg::Path& path, double look_ahead, double clearance) {
    return product_.redefineGoal(map, pose(1.5, 2.5), path, kLethal, look_ahead, clearance, index_);
  }

  int index_{-1};
};

// Poses 0.1 apart along row 1, poses 10 to 12 on walls.
TEST_F(RedefineGoal, PicksTheFirstPoseWithFreeClearanceBeyondTheBlock) {
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {10, 11, 12}));
  const auto path = pathAlongX(0.0, 0.1, 0.1, 40);
  EXPECT_TRUE(search(map, path, 2.5, 0.35));
  EXPECT_EQ(index_, 16);
  EXPECT_TRUE(logged(*log_, "[INFO] path.size is 40"));
  EXPECT_TRUE(logged(*log_, "[INFO] pose is 1.5 2.5 frame_id is map"));
}

TEST_F(RedefineGoal, NoBlockedPoseMeansNoGoal) {
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {}));
  EXPECT_FALSE(search(map, pathAlongX(0.0, 0.1, 0.1, 40), 2.5, 0.35));
  EXPECT_EQ(index_, 25);
  EXPECT_TRUE(logged(*log_, "[WARN] not found the free point !!!!"));
}

TEST_F(RedefineGoal, LookAheadEndingOnTheBlockFindsNothing) {
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {10, 11, 12}));
  EXPECT_FALSE(search(map, pathAlongX(0.0, 0.1, 0.1, 40), 1.15, 0.35));
  EXPECT_EQ(index_, 12);
}

TEST_F(RedefineGoal, BlockedFirstPoseCounts) {
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {0}));
  EXPECT_TRUE(search(map, pathAlongX(0.0, 0.1, 0.1, 40), 2.5, 0.35));
  EXPECT_EQ(index_, 4);
}

TEST_F(RedefineGoal, ClearanceAheadReachesOnlyToTheLookAheadEnd) {
  // The search ends at pose 15; the wall at 16 lies beyond it and is not seen.
  const auto near_end = drawnGrid(rowsWithWalls(40, 3, 1, {10, 16}));
  const auto path = pathAlongX(0.0, 0.1, 0.1, 40);
  EXPECT_TRUE(search(near_end, path, 1.45, 0.35));
  EXPECT_EQ(index_, 14);

  // A wide clearance: every pose between the walls has one of them in reach.
  const auto two_walls = drawnGrid(rowsWithWalls(40, 3, 1, {10, 20}));
  index_ = -1;
  EXPECT_FALSE(search(two_walls, path, 2.5, 0.55));
  EXPECT_EQ(index_, 25);
}

TEST_F(RedefineGoal, PoseAtExactlyTheClearanceIsNotTested) {
  // Poses 0.125 m apart; pose 8 lies on the wall of cell 10. From pose 10 the
  // clearance of 0.25 m ends on pose 8, which is then not looked at.
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {10}));
  EXPECT_TRUE(search(map, pathAlongX(0.0, 0.1, 0.125, 30), 3.0, 0.25));
  EXPECT_EQ(index_, 10);
}

TEST_F(RedefineGoal, EndOffTheMapStepsBackOnce) {
  const auto map = drawnGrid(rowsWithWalls(25, 3, 1, {}));
  EXPECT_FALSE(search(map, pathAlongX(0.0, 0.1, 0.1, 30), 2.5, 0.35));
  EXPECT_EQ(index_, 24);
  EXPECT_TRUE(logged(*log_, "[INFO] end_index is not in gridmap_ros, take a step back"));
  EXPECT_TRUE(logged(*log_, "[WARN] not found the free point !!!!"));

  const auto blocked = drawnGrid(rowsWithWalls(25, 3, 1, {10, 11, 12}));
  EXPECT_TRUE(search(blocked, pathAlongX(0.0, 0.1, 0.1, 30), 2.5, 0.35));
  EXPECT_EQ(index_, 16);
}

TEST_F(RedefineGoal, OnePosePathFindsNothing) {
  const auto map = drawnGrid(rowsWithWalls(10, 3, 1, {}));
  EXPECT_FALSE(search(map, pathAlongX(0.0, 0.1, 0.1, 1), 2.5, 0.35));
  EXPECT_EQ(index_, 0);
}

TEST_F(RedefineGoal, PoseOffTheMapNearTheStartEndsTheSearch) {
  const auto map = drawnGrid(rowsWithWalls(40, 3, 1, {}));
  auto path = pathAlongX(0.0, 0.1, 0.1, 30);
  path.poses[3].pose.position.y = -1.0;
  EXPECT_FALSE(search(map, path, 100.0, 0.35));
  EXPECT_EQ(index_, 29);
  EXPECT_TRUE(logged(*log_, "[WARN] PathProduct::redefineGoal worldToMap failed!!!"));
  EXPECT_FALSE(logged(*log_, "[WARN] not found the free point !!!!"));
}

TEST_F(RedefineGoal, ThresholdIsCompared) {
  // Unknown cells cost 255: blocked at any threshold; walls (254) free at 255.
  auto rows = rowsWithWalls(40, 3, 1, {10});
  rows[1][20] = '?';
  const auto map = drawnGrid(rows);
  const auto path = pathAlongX(0.0, 0.1, 0.1, 40);
  EXPECT_TRUE(product_.redefineGoal(map, pose(0, 0), path, 255, 3.0, 0.15, index_));
  EXPECT_EQ(index_, 22);
  EXPECT_TRUE(product_.redefineGoal(map, pose(0, 0), path, 254, 3.0, 0.15, index_));
  EXPECT_EQ(index_, 12);
}

TEST_F(RedefineGoal, EmptyPathOrMissingMapLeavesTheIndex) {
  const auto map = drawnGrid(rowsWithWalls(10, 3, 1, {}));
  EXPECT_FALSE(search(map, nav_msgs::msg::Path(), 2.5, 0.35));
  EXPECT_EQ(index_, -1);
  EXPECT_TRUE(log_->texts().empty());
  EXPECT_FALSE(search(nullptr, pathAlongX(0.0, 0.1, 0.1, 10), 2.5, 0.35));
  EXPECT_EQ(index_, -1);
}

}  // namespace
