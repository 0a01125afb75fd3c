// The waypoint planner as the local node drives it (updateGoal, makePlan), on drawn maps with the
// real grid search: the strategy per cycle, the retry counters, the controller's stretch, the
// covered points and the cycles that must fail. The finished rule is pinned through the node.
#include "planning/local_planning/local_way_points.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "local_planning/base/local_fixtures.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace local_base_test {
namespace {

using planning::LocalWayPoints;
using vantrell_nav2_planner::astar2::AstarPlanner;
using EngineProbe = vantrell_nav2_planner::astar2::AstarPlannerProbe;
namespace keys = planning::local_keys;

// `count` poses `step` apart along x from (x0, y), at exact multiples of the step.
NavPath straight(double x0, double y, double step, int count) {
  NavPath path;
  path.header.frame_id = "map";
  for (int i = 0; i < count; ++i) {
    path.poses.push_back(pose(x0 + step * i, y));
  }
  return path;
}

class LocalWayPointsTest : public LocalTest {
 protected:
  void SetUp() override {
    LocalTest::SetUp();
    buildPlanner();
  }

  // A planner on the node's parameters as they are now, with fresh engines.
  void buildPlanner() {
    planner_ = std::make_shared<LocalWayPoints>(node_, maps_.global, maps_.local, maps_.zone);
    local_engine_ = std::make_shared<AstarPlanner>("local", maps_.local);
    planner_->setLocalPlanner(local_engine_);
    global_engine_ = std::make_shared<AstarPlanner>("local_global", maps_.global);
    planner_->setGlobalPlanner(global_engine_);
    planner_->setTraceLogger(trace_);
  }

  void give(const std::vector<NavPath>& pieces, const std::string& uuid = "set", int action = 1,
            int task_centre_points = 0) {
    auto goal = std::make_shared<Goal>();
    goal->global_path_uuid = goal->global_paths.uuid = uuid;
    for (const auto& path : pieces) {
      goal->global_paths.paths.emplace_back().nav_path = path;
    }
    goal->action_id = action;
    goal->covered_points_frm_taskcenter.resize(static_cast<size_t>(task_centre_points));
    planner_->updateGoal(goal);
  }

  // One cycle with the node's start values; the working path holds an old stretch.
  bool cycle(double robot_x) {
    hooks::placeRobot(maps_, robot_x, 1.0, 0.0);
    out_.nav_path = straight(9.0, 9.0, 0.1, 3);
    state_ = ControlState();
    replan_ = false;
    return planner_->makePlan(out_, state_, replan_);
  }

  // Cells of the local map only: an obstacle the global map has not seen.
  void blockLocally(unsigned x, unsigned y0, unsigned y1) {
    hooks::Cells cells;
    for (unsigned y = y0; y <= y1; ++y) cells.push_back({x, y});
    hooks::markObstacleCells(*maps_.local, cells);
    maps_.local->getMultiGridMap()->updateMap();
  }

  static size_t calls(const AstarPlanner& engine) { return EngineProbe::lastCall(engine).calls; }

  static std::string lastCutType() {
    const auto lines = logged("DEBUG");
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      if (it->rfind("cut_type is ", 0) == 0) return it->substr(12);
    }
    return "";
  }

  // Walls at y 1.5 .. 2.5 from x 4.0 and along the bottom wall, so that short paths can end
  // near them; y = 1 stays 0.5 m or more from every wall.
  hooks::LocalNodeMaps maps_ = makeMaps({{4.0, 1.5, 4.2, 2.5}});
  std::shared_ptr<LocalWayPoints> planner_;
  std::shared_ptr<AstarPlanner> local_engine_;
  std::shared_ptr<AstarPlanner> global_engine_;
  Piece out_;
  ControlState state_;
  bool replan_ = false;
};

// The dynamic coverage planner builds its own on the node's parameters.
TEST_F(LocalWayPointsTest, BuildsBesideAnotherOnTheSameNode) {
  EXPECT_NO_THROW(LocalWayPoints(node_, maps_.global, maps_.local, maps_.zone));
}

// A robot that stalls at the start gets a fresh start after two cycles; once it advances the
// path is followed again; an obstacle ahead is avoided, stalled or not.
TEST_F(LocalWayPointsTest, ChoosesTheStrategyEachCycle) {
  give({straight(0.0, 1.0, 0.1, 41)});
  const struct {
    double robot_x;
    bool wall;
    const char* cut_type;
  } steps[] = {{0.0, false, keys::kFollowPath},
               {0.0, false, keys::kSharpAngle},
               {1.0, false, keys::kFollowPath},
               {1.0, true, keys::kAvoidObstacle},
               {1.0, true, keys::kAvoidObstacle}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.cut_type);
    if (step.wall) blockLocally(30, 1, 38);
    ASSERT_TRUE(cycle(step.robot_x));
    EXPECT_EQ(lastCutType(), step.cut_type);
    EXPECT_FALSE(out_.nav_path.poses.empty());
    // The cache keeps what is left ahead of the robot.
    const auto& cached = planner_->getGlobalPaths().paths.front().nav_path.poses;
    EXPECT_LT(std::abs(cached.front().pose.position.x - step.robot_x), 0.11);
  }
  EXPECT_GT(calls(*local_engine_), 1u);
}

// A failed detour waits three cycles before the global map is tried. The global map has not
// seen the block, so its detour runs through it and is refused each time: the count goes on. The
// global retries try poses beyond the detour goal, here 1.5 m ("max_goal_dis") along the path.
TEST_F(LocalWayPointsTest, KeepsTheRetryCountersAcrossCyclesUntilAPathIsMade) {
  node_->set_parameter(rclcpp::Parameter("max_goal_dis", 1.5));
  buildPlanner();
  EngineProbe::script(*local_engine_,
                      [](const auto&, const auto&, const auto&, auto&) { return false; });
  blockLocally(30, 18, 22);
  give({straight(0.0, 1.0, 0.1, 41)});
  const std::vector<size_t> global_calls = {0, 0, 0, 1, 2};
  for (size_t i = 0; i < global_calls.size(); ++i) {
    ASSERT_TRUE(cycle(1.0));
    EXPECT_EQ(lastCutType(), keys::kAvoidObstacle) << "cycle " << i;
    EXPECT_EQ(calls(*global_engine_), global_calls[i]) << "cycle " << i;
  }
}

// Scanning 1.0 m of path: the cut goes to the pose nearest the robot, or to the end of the
// stretch when every scanned pose lies within 0.6 m; a robot 1.0 m from every pose is far.
TEST_F(LocalWayPointsTest, CutsThePathAtTheRobotOrJumpsAlongIt) {
  node_->set_parameter(rclcpp::Parameter("cut_path_tolerance_max_dis", 0.6));
  LocalWayPoints planner(node_, maps_.global, maps_.local, maps_.zone);
  const struct {
    const char* name;
    double robot_y;
    double front_x;
    bool far;
  } cases[] = {{"on the path", 1.0, 0.75, false},
               {"0.9 m beside it", 1.9, 0.5, false},
               {"1.0 m beside it", 2.0, 0.5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    Piece local;
    local.nav_path = straight(0.0, 1.0, 0.25, 17);
    auto robot = pose(0.5, c.robot_y);
    bool far = false;
    bool sharp = false;
    planner.cutPath(local, robot, far, sharp);
    EXPECT_DOUBLE_EQ(local.nav_path.poses.front().pose.position.x, c.front_x);
    EXPECT_EQ(far, c.far);
    EXPECT_EQ(countLogged("WARN", "The robot is far away from the path !!!!!!!!!"), c.far ? 1 : 0);
  }
}

TEST_F(LocalWayPointsTest, CutsTheControllersStretch) {
  const struct {
    const char* name;
    NavPath local;
    double robot_x;
    size_t kept;  // poses left in the local path
    size_t out;
    double out_last_x;
    int pops, errors;
  } cases[] = {
      {"long path: shorter than path_to_dwb_dis", straight(0.0, 1.0, 0.25, 21), 0.0, 21, 12, 2.75,
       0, 0},
      {"robot near its end: shortened to min_dis_path_to_dwb", straight(0.0, 1.0, 0.25, 21), 2.5,
       21, 8, 1.75, 0, 0},
      {"short path ending at a wall", straight(2.25, 2.0, 0.25, 7), 2.25, 5, 5, 3.25, 2, 0},
      {"short path along a wall", straight(0.0, -0.75, 0.25, 5), 0.0, 0, 0, 0.0, 5, 1},
      {"short path ending off the map", straight(4.5, 1.0, 0.25, 5), 4.5, 5, 0, 0.0, 0, 1},
      {"empty path", NavPath(), 0.0, 0, 0, 0.0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    Piece local;
    local.nav_path = c.local;
    Piece out;
    out.nav_path = straight(9.0, 9.0, 0.1, 3);
    auto robot = pose(c.robot_x, c.local.poses.empty() ? 0.0 : c.local.poses[0].pose.position.y);
    planner_->cutPathToDwb(local, out, robot);
    EXPECT_EQ(local.nav_path.poses.size(), c.kept);
    ASSERT_EQ(out.nav_path.poses.size(), c.out);
    EXPECT_EQ(countLogged("WARN", "path vec pop, remained path size is: "), c.pops);
    EXPECT_EQ(logged("ERROR").size(), static_cast<size_t>(c.errors));
    if (c.out > 0) {
      EXPECT_EQ(out.nav_path.header.frame_id, "map");
      EXPECT_DOUBLE_EQ(out.nav_path.poses.back().pose.position.x, c.out_last_x);
    }
  }
}

TEST_F(LocalWayPointsTest, PublishesCoveredPointsPastFiveAndRestartsThemPerAction) {
  give({straight(0.0, 1.0, 0.1, 41)}, "set", 7, 3);
  const std::vector<size_t> published_after = {0, 0, 1};
  for (size_t i = 0; i < published_after.size(); ++i) {
    ASSERT_TRUE(cycle(0.1 * static_cast<double>(i)));
    EXPECT_EQ(Probe::coveredPoints().count(), published_after[i]) << "cycle " << i;
  }
  const auto sent = Probe::coveredPoints().kept().back();
  EXPECT_EQ(sent.action_id, 7);
  ASSERT_EQ(sent.covered_points.size(), 6u);
  EXPECT_FLOAT_EQ(sent.covered_points.back().x, 0.2F);
  // A new action on the same path set: the task centre's points and this cycle's position only.
  give({}, "set", 8, 4);
  ASSERT_TRUE(cycle(0.3));
  EXPECT_EQ(Probe::coveredPoints().count(), 1u);
  ASSERT_TRUE(cycle(0.4));
  EXPECT_EQ(Probe::coveredPoints().kept().back().covered_points.size(), 6u);
  EXPECT_EQ(Probe::coveredPoints().kept().back().action_id, 8);
}

// What the node must see as a failed or finished cycle, never as the old stretch anew.
TEST_F(LocalWayPointsTest, FailsOrFinishesCyclesWithoutAUsablePiece) {
  give({});
  const auto old = straight(9.0, 9.0, 0.1, 3).poses;
  EXPECT_TRUE(cycle(0.0));
  EXPECT_TRUE(state_.finished);
  EXPECT_EQ(out_.nav_path.poses, old);

  give({NavPath()}, "empty piece");
  EXPECT_FALSE(cycle(0.0));
  EXPECT_TRUE(replan_);

  give({straight(0.0, 1.0, 0.1, 41)}, "no robot");
  hooks::removeRobotPose(*maps_.global);
  out_ = Piece();
  EXPECT_FALSE(planner_->makePlan(out_, state_, replan_));
}

TEST_F(LocalWayPointsTest, TunesAnIndexWindowOutwards) {
  Piece path;
  path.nav_path = straight(0.0, 1.0, 0.25, 9);
  const std::vector<std::array<int, 4>> cases = {{6, 6, 4, 7}, {1, 8, 0, 8}, {-3, 20, 0, 8}};
  for (const auto& c : cases) {
    std::array<int, 2> window = {c[0], c[1]};
    planner_->tuneIndexPoint(path, window[0], window[1]);
    EXPECT_EQ(window, (std::array<int, 2>{c[2], c[3]})) << c[0] << ", " << c[1];
  }
}

}  // namespace
}  // namespace local_base_test
