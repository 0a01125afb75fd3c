// The planning cycle, the local path from the current row and the obstacle stop, driven
// directly on drawn floors.
#include <optional>

#include "local_planning/coverage/coverage_fixtures.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace static_coverage_test {
namespace {

using Kind = StaticCoveragePlanning;
using EngineProbe = vantrell_nav2_planner::astar2::AstarPlannerProbe;

Piece piece(NavPath path, int32_t kind) {
  Piece made;
  made.nav_path = std::move(path);
  made.path_type = kind;
  return made;
}

// A vertical row of `n` poses up the middle of the divider wall of `twoRooms`, with the given
// poses moved into the right room.
Piece wallRow(std::size_t n, const std::vector<std::size_t>& in_right_room, int32_t kind = 1) {
  Piece row = piece(line(2.975, 0.5, 2.975, 0.5 + 0.05 * (n - 1)), kind);
  for (const std::size_t i : in_right_room) {
    row.nav_path.poses[i] = pose(4.0, 1.5);
  }
  return row;
}

// Two rooms of 2.9 m x 2.9 m side by side, divided by a wall without a door.
cv::Mat twoRooms() {
  cv::Mat floor = room(120, 60);
  wall(floor, 58, 0, 61, 59);
  return floor;
}

class CycleFixture : public PlannerFixture {
 protected:
  bool cycle(Piece& out, ControlState& state) {
    bool replan = false;
    out = Piece();
    state = ControlState();
    return planner_->makePlan(out, state, replan);
  }

  // The local path from `row`, the only cached path.
  bool planFromOnly(Piece& row, NavPath& local) {
    MultiPaths set;
    set.paths = {row};
    planner_->updateGlobalPaths(set);
    ControlState state;
    return planner_->planLocalPathFromGlobal(row, local, state);
  }
};

TEST_F(CycleFixture, RemovesOnlyRowsThatComeNearNoOutlineOfTheZone) {
  build(twoRooms());
  placeRobot(1.0, 1.0);
  planner_->updateGoal(coverageGoal("rows", {box(0.0, 0.0, 5.95, 2.95)}));
  Piece out;
  ControlState state;
  ASSERT_TRUE(cycle(out, state));
  ASSERT_EQ(Access::edges(*planner_).size(), 2U);

  MultiPaths set;
  set.paths = {piece(line(1.0, 1.0, 1.95, 1.0), Kind::kRowFollow),
               // Examined from pose 8, after the long row below: its pose 3 is not looked at.
               wallRow(20, {3}),
               // 31 poses: examined from pose 8 to 22 only.
               wallRow(31, {5, 25}),
               // Only its last pose reaches an outline, the second one: kept.
               wallRow(20, {19}), wallRow(20, {}, Kind::kEdgeFollow), wallRow(20, {})};
  planner_->updateGlobalPaths(set);
  planner_->removeInvaildPath();
  const auto& kept = Access::cache(*planner_).paths;
  ASSERT_EQ(kept.size(), 3U);
  EXPECT_EQ(kept[0].nav_path, set.paths[0].nav_path);
  EXPECT_EQ(kept[1].nav_path, set.paths[3].nav_path);
  EXPECT_EQ(kept[2].path_type, Kind::kEdgeFollow);
  EXPECT_EQ(countLogged("StaticCoveragePlanning::removeInvaildPath cut global path"), 3);
}

TEST_F(CycleFixture, ATaskWithNothingToCleanEndsInItsFirstCycle) {
  cv::Mat floor = room(60, 40);
  wall(floor, 30, 0, 59, 39);
  build(floor);
  placeRobot(0.5, 0.5);
  // The zone's floor is a strip along the wall, too near it to be cleaned: no region, no
  // outline. (A zone wholly in the wall has no floor at all and fails its goals.)
  planner_->updateGoal(coverageGoal("walled", {box(1.4, 0.2, 2.8, 1.8)}));
  Piece out;
  ControlState state;
  ASSERT_TRUE(cycle(out, state));
  EXPECT_TRUE(state.finished);
  EXPECT_TRUE(Access::taskFinished(*planner_));
  ASSERT_EQ(out.nav_path.poses.size(), 1U);
  // The cycle had no path to copy a frame from: the robot's frame.
  EXPECT_EQ(out.nav_path.header.frame_id, "map");
  EXPECT_EQ(countLogged("get_coverage_points server not exist"), 1);

  // Finished for good: the robot stays, and the covered points are not asked for again.
  ASSERT_TRUE(cycle(out, state));
  EXPECT_TRUE(state.finished);
  EXPECT_EQ(out.nav_path.poses.size(), 1U);
  EXPECT_EQ(countLogged("get_coverage_points server not exist"), 1);
}

TEST_F(CycleFixture, PlansWithoutABorderBandAndFailsWithoutTheRobotPose) {
  build(room(60, 40), {rclcpp::Parameter("distance_to_border", 0.0)});
  placeRobot(1.0, 1.0);
  planner_->updateGoal(coverageGoal("no-band", {box(0.0, 0.0, 2.95, 1.95)}));
  Piece out;
  ControlState state;
  ASSERT_TRUE(cycle(out, state));
  EXPECT_GT(Access::cache(*planner_).paths.size(), 2U);
  EXPECT_EQ(Probe::cleanCoverageTriggers().count(), 1U);
  EXPECT_FALSE(out.nav_path.poses.empty());

  gm::removeRobotPose(*maps_.local);
  EXPECT_FALSE(cycle(out, state));
}

// The robot at (1.0, 1.5), the 0.6 m x 0.5 m footprint (radius 0.39 m). A pillar cell sets the
// clearance of a path's first pose: 0.29 m lets a row's robot arrive within the footprint radius,
// more than the front extent shrinks that reach to 0.25 m; 0.255 m is free for an edge path
// (bare half width) but not for a row. An edge path reaches 1.0 m. A followed path whose entry
// lies within 0.1 m is copied without a search.
TEST_F(CycleFixture, ApproachesUntilWithinReachThenFollows) {
  struct Case {
    const char* name;
    int32_t kind;
    double first_x, last_x;
    std::optional<cv::Point> pillar;
    int32_t kind_after;
    bool searched;
  };
  const std::vector<Case> cases{
      {"row 0.35 m ahead, 0.29 m of room", Kind::kRowApproach, 1.35, 3.0, cv::Point(32, 33),
       Kind::kRowFollow, true},
      {"row 0.35 m ahead, open", Kind::kRowApproach, 1.35, 3.0, std::nullopt, Kind::kRowApproach,
       true},
      {"row 0.2 m ahead, open", Kind::kRowApproach, 1.2, 3.0, std::nullopt, Kind::kRowFollow, true},
      {"first edge path 0.9 m ahead, 0.255 m of room", Kind::kFirstEdgeApproach, 1.9, 3.5,
       cv::Point(43, 31), Kind::kEdgeFollow, true},
      {"followed row ending 0.05 m ahead", Kind::kRowFollow, 0.5, 1.05, std::nullopt,
       Kind::kRowFollow, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cv::Mat floor = room(100, 60);
    if (c.pillar) {
      wall(floor, c.pillar->x, c.pillar->y, c.pillar->x, c.pillar->y);
    }
    build(floor);
    const auto engine = std::make_shared<NavLocalPlanningAstar>("local", maps_.local);
    planner_->setLocalPlanner(engine);
    placeRobot(1.0, 1.5);
    Piece row = piece(line(c.first_x, 1.5, c.last_x, 1.5), c.kind);
    NavPath local;
    ASSERT_TRUE(planFromOnly(row, local));
    EXPECT_EQ(row.path_type, c.kind_after);
    EXPECT_EQ(EngineProbe::lastCall(*engine).calls > 0, c.searched);
    EXPECT_FALSE(local.poses.empty());
  }
}

TEST_F(CycleFixture, APathThatCannotBeReachedIsDroppedAloneAndTheTaskGoesOn) {
  // The robot in the left room; a row beyond the wall without a door, then one beside it.
  const Piece beyond_wall = piece(line(4.0, 0.5, 4.0, 2.5), Kind::kRowFollow);
  const Piece beside = piece(line(1.5, 0.5, 1.5, 2.5), Kind::kRowApproach);
  struct Case {
    const char* name;
    int32_t unreachable_kind;
    bool another_left;
  };
  const std::vector<Case> cases{{"followed row, another left", Kind::kRowFollow, true},
                                {"approached row, another left", Kind::kRowApproach, true},
                                {"followed row, the last", Kind::kRowFollow, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    build(twoRooms());
    placeRobot(1.0, 1.5);
    Piece unreachable = beyond_wall;
    unreachable.path_type = c.unreachable_kind;
    MultiPaths set;
    set.paths = {unreachable};
    if (c.another_left) {
      set.paths.push_back(beside);
    }
    planner_->updateGlobalPaths(set);
    NavPath local;
    ControlState state;
    ASSERT_TRUE(planner_->planLocalPathFromGlobal(unreachable, local, state));
    EXPECT_EQ(state.finished, !c.another_left);
    if (!c.another_left) {
      continue;
    }
    Piece next;
    ASSERT_EQ(planner_->getNextGlobalPath(next), 1);
    EXPECT_NEAR(next.nav_path.poses.front().pose.position.x, 1.5, 1e-9);
    ASSERT_TRUE(planner_->planLocalPathFromGlobal(next, local, state));
    EXPECT_FALSE(state.finished);
    ASSERT_FALSE(local.poses.empty());
    EXPECT_LT(local.poses.back().pose.position.x, 2.9) << "the robot stays in its room";
  }
}

TEST_F(CycleFixture, AFollowedRowIsNotJoinedBackToTheFreePoseTheRobotStandsOn) {
  // The row's first pose is free, 0.15 m behind the robot; the rest runs 0.2 m from a wall, under
  // a row's clearance. Joined back to that pose, the robot turned round on the spot every cycle.
  cv::Mat floor = room(100, 60);
  wall(floor, 34, 34, 90, 34);
  build(floor);
  placeRobot(1.0, 1.5);
  Piece row = piece(line(1.85, 1.5, 4.0, 1.5), Kind::kRowFollow);
  row.nav_path.poses.insert(row.nav_path.poses.begin(), pose(0.85, 1.5));
  NavPath local;
  ASSERT_TRUE(planFromOnly(row, local));
  ASSERT_FALSE(local.poses.empty());
  double rearmost = local.poses.front().pose.position.x;
  for (const auto& p : local.poses) {
    rearmost = std::min(rearmost, p.pose.position.x);
  }
  EXPECT_GT(rearmost, 0.95) << "the local path leads behind the robot";
  Piece cached;
  ASSERT_EQ(planner_->getNextGlobalPath(cached), 1);
  EXPECT_GT(cached.nav_path.poses.front().pose.position.x, 1.0);
}

TEST_F(CycleFixture, FollowClearsBlockedPosesNearTheRobotAndBridgesGaps) {
  cv::Mat floor = room(100, 40);
  wall(floor, 35, 0, 36, 21);   // Blocks the row 0.75 m ahead of the robot.
  wall(floor, 70, 15, 71, 39);  // Blocks it again 2.5 m ahead.
  build(floor);
  placeRobot(1.0, 1.0);
  planner_->updateRobotPose();
  Piece row = piece(line(1.05, 1.0, 4.5, 1.0), Kind::kRowFollow);
  MultiPaths set;
  set.paths = {row, row};
  planner_->updateGlobalPaths(set);
  NavPath local;
  ControlState state;
  ASSERT_TRUE(planner_->planLocalPathFromGlobal(row, local, state));
  // Within the first metre the blocked poses went and a search leads round the wall; further
  // ahead they stay.
  int near_blocked = 0;
  int bridge = 0;
  int far_blocked = 0;
  for (const auto& p : local.poses) {
    const double x = p.pose.position.x;
    const bool on_row = std::fabs(p.pose.position.y - 1.0) < 1e-6;
    near_blocked += on_row && x > 1.6 && x < 1.9;
    bridge += p.pose.position.y > 1.1 && x > 1.6 && x < 1.9;
    far_blocked += on_row && x > 3.45 && x < 3.6;
  }
  EXPECT_EQ(near_blocked, 0);
  EXPECT_GT(bridge, 0);
  EXPECT_GT(far_blocked, 0);

  // A bridge that would go past the end of the local path is skipped.
  Piece gap = piece(line(1.0, 1.0, 2.0, 1.0, 1.0), Kind::kRowFollow);
  NavPath empty;
  planner_->fixPathsBlocked(gap, empty, 0);
  EXPECT_TRUE(empty.poses.empty());

  // A local path leaving the local map ends at its last pose on it.
  NavPath leaving = line(4.5, 1.0, 5.5, 1.0);
  planner_->cutLocalPathOutofBound(leaving);
  EXPECT_LT(leaving.poses.back().pose.position.x, 4.98);
}

TEST_F(CycleFixture, StopsForADynamicObstacleOnItsPathThenGoesAround) {
  build(room(80, 40), {rclcpp::Parameter("stop_dynamic_obstacle", true),
                       rclcpp::Parameter("stop_obstacle_distance", 1.5)});
  auto now = std::chrono::system_clock::time_point(std::chrono::hours(1000));
  Access::clock(*planner_) = [&now]() { return now; };
  placeRobot(0.5, 1.0);
  planner_->updateGoal(coverageGoal("stop", {box(0.0, 0.0, 3.95, 1.95)}));
  planner_->updateRobotPose();
  gm::markObstacleCells(*maps_.local, {{30, 20}, {31, 20}}, 4, false);
  maps_.local->getMultiGridMap()->updateMap();
  NavPath ahead = line(0.5, 1.0, 3.0, 1.0);

  const auto stop = [&]() {
    ControlState state;
    Piece out;
    const bool held = planner_->stopObstacle(ahead, state, out);
    EXPECT_EQ(out.nav_path.poses.size(), held ? 1U : 0U);
    return held;
  };
  EXPECT_TRUE(stop());
  // Held for "wait_dyn_obstacle_time" (3 s) whatever happens meanwhile.
  Access::stopDynamicObstacle(*planner_) = false;
  now += std::chrono::milliseconds(3000);
  EXPECT_TRUE(stop());
  Access::stopDynamicObstacle(*planner_) = true;
  now += std::chrono::milliseconds(1);
  EXPECT_FALSE(stop());
  EXPECT_EQ(countLogged("停障等待到最大时长，结束停障开始绕障"), 1);
  // No new stop within "stop_obstacle_trigger_interval_time" (10 s) of the last one's end.
  now += std::chrono::milliseconds(10000);
  EXPECT_FALSE(stop());
  now += std::chrono::milliseconds(1);
  EXPECT_TRUE(stop());

  // In the cycle: the robot stands where it is.
  now += std::chrono::seconds(1);
  MultiPaths set;
  set.paths = {piece(ahead, Kind::kRowFollow), piece(ahead, Kind::kRowFollow)};
  planner_->updateGlobalPaths(set);
  Piece out;
  ControlState state;
  bool replan = false;
  ASSERT_TRUE(planner_->makePlan(out, state, replan));
  EXPECT_EQ(state.wait_state, 0);
  ASSERT_EQ(out.nav_path.poses.size(), 1U);
  EXPECT_DOUBLE_EQ(out.nav_path.poses[0].pose.position.x, 0.5);
}

}  // namespace
}  // namespace static_coverage_test
