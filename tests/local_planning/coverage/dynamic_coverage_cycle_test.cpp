// One planning cycle of the dynamic coverage planner, rule by rule: the cut at the robot, the
// replan rules, the join to the robot, the obstacle rules and recordings, and the smoothing.
#include "local_planning/coverage/dynamic_coverage_fixtures.hpp"

namespace dynamic_coverage_test {
namespace {

using P = rclcpp::Parameter;

// A 7 m x 3 m room without a zone (the contour manager hands out nothing) and without the hollow
// search; the robot at (1, 1) facing east. `earlier` stands for the local planning node's names.
class CycleTest : public DynamicFixture {
 protected:
  void start(std::vector<P> earlier = {}, const std::vector<P>& overrides = {}) {
    earlier.insert(earlier.end(),
                   {P("enable_contour_dilation", false), P("max_obstacle_checkout_count", 2),
                    P("tolerance_zero_index_count", 2)});
    build(room(140, 60), overrides, earlier);
    placeRobot(1.0, 1.0);
    ASSERT_TRUE(planner_->updateRobotPose());
  }

  // The path becomes the only cached one; the robot has not been standing still.
  void cache(const NavPath& path, float tolerance = 0.0F) {
    MultiPaths set;
    set.paths.resize(1);
    set.paths[0].nav_path = path;
    set.paths[0].tolerance = tolerance;
    planner_->updateGlobalPaths(set);
    Access::zeroIndexCount(*planner_) = 0;
  }

  Piece plan() {
    Piece out;
    ControlState state;
    bool replan = false;
    EXPECT_TRUE(planner_->makePlan(out, state, replan));
    return out;
  }

  int replans() const { return countLogged("contour_path_ size is"); }

  void markLocal(const gm::Cells& cells, uint32_t types, bool blocking) {
    gm::markObstacleCells(*maps_.local, cells, types, blocking);
    maps_.local->getMultiGridMap()->updateMap();
  }
};

TEST_F(CycleTest, CutsThePathAtTheRobotAndCountsTheCyclesItStandsAtTheStart) {
  start();
  struct Case {
    const char* what;
    NavPath path;
    PoseStamped robot;
    int zero_before;
    double first_x;
    bool far;
    int zero_after;
    bool stuck;
  };
  NavPath single;
  single.poses.push_back(pose(1.0, 1.0));
  NavPath ring;  // a loop of 0.2 m radius round the robot, longer than the searched metre
  for (int i = 0; i < 40; ++i) {
    ring.poses.push_back(pose(2.0 + 0.2 * std::cos(0.157 * i), 2.0 + 0.2 * std::sin(0.157 * i)));
  }
  const NavPath ahead = line(1.0, 1.0, 4.0, 1.0);
  const std::vector<Case> cases{
      {"at the start", ahead, pose(1.0, 1.0), 0, 1.0, false, 1, false},
      {"at the start again", ahead, pose(1.0, 1.0), 1, 1.0, false, 2, true},
      {"half a metre on", ahead, pose(1.52, 1.0), 1, 1.5, false, 0, false},
      {"beside the path", ahead, pose(1.0, 2.5), 0, 1.0, true, 1, false},
      {"a single pose", single, pose(1.0, 1.0), 0, 1.0, true, 1, false},
      // The searched metre ends at pose 31, all of it within 0.4 m: the cut goes there.
      {"near all of it", ring, pose(2.0, 2.0), 0, ring.poses[31].pose.position.x, false, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Piece piece;
    piece.nav_path = c.path;
    cache(c.path);
    Access::zeroIndexCount(*planner_) = c.zero_before;
    PoseStamped robot = c.robot;
    bool far = false;
    bool stuck = false;
    planner_->cutPath(piece, robot, far, stuck);
    EXPECT_DOUBLE_EQ(piece.nav_path.poses.front().pose.position.x, c.first_x);
    EXPECT_EQ(Access::cache(*planner_).paths[0].nav_path.poses.size(), piece.nav_path.poses.size());
    EXPECT_EQ(std::make_tuple(far, Access::zeroIndexCount(*planner_), stuck),
              std::make_tuple(c.far, c.zero_after, c.stuck));
  }
}

TEST_F(CycleTest, ReplansAShortPathByItsLengthTheObstaclesAndTheStoredCorner) {
  start();
  const std::vector<std::tuple<bool, double, double, bool>> cases{
      // reached the corner, remaining, robot x, replan
      {true, 0.05, 1.0, false}, {false, 0.5, 1.0, false}, {false, 0.5, 0.6, true},
      {false, 2.0, 1.0, true},  {false, 3.5, 0.6, false},
  };
  for (const auto& [reached, remaining, x, replan] : cases) {
    placeRobot(x, 1.0);
    planner_->updateRobotPose();
    EXPECT_EQ(planner_->pathTooshortReplan(reached, remaining), replan)
        << reached << " " << remaining << " " << x;
  }
}

TEST_F(CycleTest, ReplansWhenThePathRunsOutOrTheRobotKeepsLeavingIt) {
  start();
  // Nothing cached: a replan, which finds nothing to clean, and the robot stays.
  Piece out = plan();
  EXPECT_EQ(replans(), 1);
  ASSERT_EQ(out.nav_path.poses.size(), 1U);
  EXPECT_EQ(countLogged("contour_path_->poses is empty"), 1);
  // 3.5 m ahead: no replan; a stretch of less than 2 m from the robot.
  cache(line(1.0, 1.0, 4.5, 1.0));
  out = plan();
  EXPECT_EQ(replans(), 1);
  const auto& stretch = out.nav_path.poses;
  EXPECT_DOUBLE_EQ(stretch.front().pose.position.x, 1.0);
  EXPECT_NEAR(stretch.back().pose.position.x, 2.95, 1e-9);
  // Off the path too often.
  cache(line(1.0, 1.0, 4.5, 1.0));
  Access::offPathCount(*planner_) = 11;
  plan();
  EXPECT_EQ(replans(), 2);
  EXPECT_EQ(Access::offPathCount(*planner_), 0);
  // 2 m left, 5 cm left.
  cache(line(1.0, 1.0, 3.0, 1.0));
  plan();
  EXPECT_EQ(replans(), 3);
  cache(line(1.0, 1.0, 1.05, 1.0));
  plan();
  EXPECT_EQ(replans(), 4);
}

// The corner cut, the stored corner and the turn in place of a replan, the sets that back out
// first, and whether the robot can turn towards its path.
TEST_F(CycleTest, CutsAtCornersTurnsThereAndBacksOutByTheirRules) {
  start();
  // East along y = 1, north along x = 3, east along y = 2.5, south along x = 5: corners at (3, 1),
  // 1 m from the wall, and at (3, 2.5) and (5, 2.5), 0.45 m from it.
  Piece current;
  for (const auto& leg : {line(1.0, 1.0, 3.0, 1.0), line(3.0, 1.05, 3.0, 2.5),
                          line(3.05, 2.5, 5.0, 2.5), line(5.0, 2.45, 5.0, 1.0)}) {
    current.nav_path.poses.insert(current.nav_path.poses.end(), leg.poses.begin(), leg.poses.end());
  }
  ASSERT_TRUE(Access::cutAtCorner(*planner_, current));
  // 0.3 m past the first corner near the wall, although a later one is as near.
  EXPECT_NEAR(current.nav_path.poses.back().pose.position.x, 3.3, 1e-6);
  EXPECT_NEAR(current.nav_path.poses.back().pose.position.y, 2.5, 1e-6);

  Piece arriving;
  arriving.nav_path = line(2.0, 2.5, 3.25, 2.5);
  Piece short_of_it;
  short_of_it.nav_path = line(2.0, 2.5, 3.15, 2.5);
  EXPECT_TRUE(Access::endsAtStoredCorner(*planner_, arriving));
  EXPECT_FALSE(Access::endsAtStoredCorner(*planner_, short_of_it));

  // Running out the path at the stored corner turns there (east, along the leg after it) and
  // keeps the new path's end; a later replan within 0.5 m of that end turns again.
  const auto spin = Access::forcedSpin(*planner_, arriving, true, 0.05, false);
  ASSERT_TRUE(spin.has_value());
  EXPECT_NEAR(*spin, 0.0, 1e-6);
  EXPECT_DOUBLE_EQ(Access::zeltoPose(*planner_).pose.position.x, 3.25);
  EXPECT_FALSE(Access::forcedSpin(*planner_, arriving, true, 0.1, false));
  EXPECT_FALSE(Access::forcedSpin(*planner_, short_of_it, false, 2.0, true));
  placeRobot(3.0, 2.3);
  ASSERT_TRUE(planner_->updateRobotPose());
  EXPECT_TRUE(Access::forcedSpin(*planner_, short_of_it, false, 2.0, true));
  EXPECT_FALSE(Access::forcedSpin(*planner_, short_of_it, false, 2.0, false));

  // A set that backs out first: of two paths only the forward one is resampled; three pass as
  // they came.
  Piece back;
  back.nav_path = line(1.0, 1.0, 0.6, 1.0, 0.1);
  back.move_backward = true;
  Piece ahead;
  ahead.nav_path = line(1.0, 1.0, 2.0, 1.0, 0.1);
  MultiPaths two;
  two.paths = {back, ahead};
  const auto prepared = Access::workingSet(*planner_, two);
  ASSERT_EQ(prepared.paths.size(), 2U);
  EXPECT_EQ(prepared.paths[0], back);
  EXPECT_GT(prepared.paths[1].nav_path.poses.size(), ahead.nav_path.poses.size());
  MultiPaths three;
  three.paths = {back, ahead, ahead};
  EXPECT_EQ(Access::workingSet(*planner_, three), three);

  // Turning round towards a path behind needs room for the whole footprint.
  const struct {
    const char* name;
    double robot_y;
    double path_x;
    bool backward;
  } turns[] = {{"behind, in the open", 1.5, 0.5, false},
               {"behind, beside a wall", 0.3, 0.5, true},
               {"ahead, beside a wall", 0.3, 1.5, false}};
  for (const auto& c : turns) {
    SCOPED_TRACE(c.name);
    Piece path;
    path.nav_path = line(c.path_x, c.robot_y, c.path_x - 0.3, c.robot_y);
    EXPECT_EQ(planner_->checkContourDirection(path, pose(1.0, c.robot_y)), c.backward);
  }
}

TEST_F(CycleTest, JoinsAStretchStartingAtLeast30CentimetresAwayByAGridSearch) {
  start();
  cache(line(1.29, 1.0, 4.5, 1.0), 0.25F);
  Piece out = plan();
  EXPECT_EQ(AstarPlannerProbe::lastCall(*local_engine_).calls, 0U);
  EXPECT_DOUBLE_EQ(out.nav_path.poses.front().pose.position.x, 1.29);
  cache(line(1.3, 1.0, 4.5, 1.0), 0.25F);
  out = plan();
  const auto call = AstarPlannerProbe::lastCall(*local_engine_);
  ASSERT_EQ(call.calls, 1U);
  EXPECT_EQ(
      std::make_tuple(call.options.byte_0, call.options.fuzzy_range, call.options.goal_fuzzy_range,
                      call.options.tolerance, call.options.int_60),
      std::make_tuple(true, 0.5, 0.5, 0.25, 400));
  EXPECT_DOUBLE_EQ(call.goal.pose.position.x, 1.3);
  EXPECT_NEAR(out.nav_path.poses.front().pose.position.x, 1.0, kCell);
  EXPECT_FALSE(out.move_backward);
}

TEST_F(CycleTest, AnEmptyCurrentPathLeavesTheOutputToTheFinishedRule) {
  start();
  Piece out;
  EXPECT_TRUE(Access::finishCycle(*planner_, Piece(), out));
  EXPECT_TRUE(out.nav_path.poses.empty());
  Access::finished(*planner_) = true;
  EXPECT_TRUE(Access::finishCycle(*planner_, Piece(), out));
  ASSERT_EQ(out.nav_path.poses.size(), 1U);
  EXPECT_DOUBLE_EQ(out.nav_path.poses[0].pose.position.x, 1.0);
}

TEST_F(CycleTest, WaitsForADynamicObstacleByItsRulesAndCountsStaticOnes) {
  start({P("stop_dynamic_obstacle", true)});
  NavPath path = line(1.0, 1.0, 4.0, 1.0);
  markLocal({{40, 20}}, 0x4, false);  // someone walking at (2, 1)
  cv::Mat image;
  planner_->localCostmapMorphology(image);
  ControlState control;
  NavPath out;
  bool replan = true;
  // The first one after construction: the robot waits where it stands.
  EXPECT_TRUE(planner_->stopObstacle(image, replan, control, path, out));
  EXPECT_EQ(Probe::waitForDynamicObstacles().count(), 1U);
  EXPECT_EQ(Probe::waitForDynamicObstacles().kept()[0].data, 7);
  EXPECT_EQ(control.wait_state, 0);
  EXPECT_EQ(out.poses.size(), 1U);
  advance(5000ms);
  EXPECT_TRUE(planner_->waittingDynamicObstacles(out, control));
  advance(1ms);
  EXPECT_FALSE(planner_->waittingDynamicObstacles(out, control));
  // Within the interval after a wait: no new wait, and nothing static to count.
  EXPECT_FALSE(planner_->stopObstacle(image, replan, control, path, out));
  EXPECT_EQ(countLogged("未达到动态障碍物停障时间间隔"), 1);
  EXPECT_EQ(Access::obstacleCount(*planner_), 0);
  advance(10001ms);
  EXPECT_TRUE(planner_->stopObstacle(image, replan, control, path, out));
  EXPECT_EQ(Probe::waitForDynamicObstacles().count(), 2U);
  advance(5001ms);
  EXPECT_FALSE(planner_->waittingDynamicObstacles(out, control));

  // A box nearer than the walker: counted instead of waited for.
  markLocal({{6 + 20, 20}}, 0, true);
  planner_->localCostmapMorphology(image);
  advance(10001ms);
  for (const bool expected : {false, false, true}) {
    replan = !expected;
    EXPECT_FALSE(planner_->stopObstacle(image, replan, control, path, out));
    EXPECT_EQ(replan, expected);
  }
  EXPECT_EQ(countLogged("case 3: "), 3);
  EXPECT_EQ(Access::obstacleCount(*planner_), 0);
  EXPECT_EQ(Probe::waitForDynamicObstacles().count(), 2U);
}

TEST_F(CycleTest, AsksForARecordingOnACarpetAheadAtMostOncePerInterval) {
  start({}, {P("obstacle_recording_packet_interval_time", 5)});
  markLocal({{30, 20}, {31, 20}}, 32 | 512, false);  // a carpet with a hospital bed on it
  const NavPath ahead = line(1.0, 1.0, 2.0, 1.0);
  planner_->publishActiveTriggerRosbag(ahead, maps_.local);
  EXPECT_EQ(recordings("obstacle_type_carpet"), 1);
  EXPECT_EQ(recordings("obstacle_type_hospital_bed"), 0);
  EXPECT_GE(countLogged("There is an obstacle ahead obstacle_type_hospital_bed"), 1);
  planner_->publishActiveTriggerRosbag(ahead, maps_.local);
  EXPECT_EQ(recordings("obstacle_type_carpet"), 1);
  advance(5s);
  planner_->publishActiveTriggerRosbag(ahead, maps_.local);
  EXPECT_EQ(recordings("obstacle_type_carpet"), 2);
  // The carpet under the robot only: it is not ahead.
  advance(5s);
  planner_->publishActiveTriggerRosbag(line(1.5, 1.0, 1.5, 2.0), maps_.local);
  EXPECT_EQ(recordings("obstacle_type_carpet"), 2);
}

TEST_F(CycleTest, NeverSmoothsFromTheOriginAndGivesThePathAFrame) {
  start();
  // Two turns near the start: the smoother and the corner cut have work to do.
  NavPath path = line(1.0, 1.0, 2.0, 1.0);
  const NavPath up = line(2.0, 1.05, 2.0, 2.0);
  path.poses.insert(path.poses.end(), up.poses.begin(), up.poses.end());
  path.header.frame_id.clear();
  // A planner that never had a robot pose.
  build(room(140, 60));
  for (const auto& map : {maps_.global, maps_.local}) {
    gm::removeRobotPose(*map);
  }
  NavPath lost = path;
  EXPECT_FALSE(planner_->pathSmooter(lost));
  EXPECT_EQ(countLogged("DynamicCoveragePlanning::pathSmooter no robot pose"), 1);
  EXPECT_EQ(countLogged("DynamicCoveragePlanning path smooth failed !!!!!!"), 1);
  // Without a pose no corner is looked for: each try would ask for it again, and wait.
  EXPECT_EQ(countLogged("updateRobotPose , getRobotPose is failed"), 1);
  // Once it had one, from that pose.
  placeRobot(1.0, 1.0);
  ASSERT_TRUE(planner_->updateRobotPose());
  gm::removeRobotPose(*maps_.local);
  NavPath smoothed = path;
  EXPECT_TRUE(planner_->pathSmooter(smoothed));
  EXPECT_EQ(countLogged("smoothing from the last known pose"), 1);
  EXPECT_EQ(smoothed.header.frame_id, "map");
  NavPath single;
  single.poses.push_back(pose(1.0, 1.0));
  EXPECT_TRUE(planner_->pathSmooter(single));
  EXPECT_EQ(single.poses.size(), 1U);
  EXPECT_EQ(single.header.frame_id, "map");
}

TEST_F(CycleTest, OpensTheFreeSpaceWithAKernelOfAtLeastOneCell) {
  cv::Mat floor = room(40, 20);
  wall(floor, 20, 0, 20, 8);  // a wall across the room with a gap of three cells
  wall(floor, 20, 12, 20, 19);
  for (const auto& [size, gap] : {std::pair{0.25, 0}, {0.0, 255}}) {
    SCOPED_TRACE(size);
    build(floor, {P("morph_open_element_size", size)});
    cv::Mat image;
    planner_->localCostmapMorphology(image);
    EXPECT_EQ(image.at<uint8_t>(10, 20), gap);
    EXPECT_EQ(image.at<uint8_t>(10, 10), 255);
  }
  EXPECT_EQ(countLogged("morph_open_element_size 0 makes no kernel"), 1);
}

}  // namespace
}  // namespace dynamic_coverage_test
