// What the four point-to-point planners ask of the grid search and make of its answer, their
// smoothing failures and the reset of a new task; when the goal zone is reached; how far into a
// lift car the robot drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "planners_fixture.hpp"
#include "planning/codes.hpp"

namespace planners_test {
namespace {

using local_base_test::Probe;

TEST_F(PointToPoint, EachPlannerSearchesFromTheRobotWithItsOwnOptionsAndMarksItsPath) {
  struct Case {
    const char* key;
    uint8_t precise;
    bool cost_aware;
    double goal_fuzzy_range, tolerance;
    bool reference, backward, checked;
  };
  const std::vector<Case> cases{{keys::kDijkstra, 0, true, 0.5, 0.2, true, false, true},
                                {keys::kDijkstra, 1, true, 0.0, 0.2, true, false, true},
                                {keys::kDijkstraGoalZone, 1, true, 0.5, 0.2, true, false, true},
                                {keys::kForceBackward, 1, false, 0.0, 0.0, false, true, false},
                                {keys::kLiftIn, 1, false, 0.1, 0.1, false, false, false}};
  startInRoom();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + (c.precise != 0 ? " precise" : ""));
    auto goal = goalAlong(c.key, std::string(c.key) + std::to_string(c.precise));
    goal.goal_flags = {c.precise, 0, 0};
    const size_t triggers = Probe::cleanCoverageTriggers().count();
    const Reply first = plan(goal);
    ASSERT_TRUE(first.succeeded());
    // A new task stops the cleaning devices; the next goal of the task resets nothing and hands
    // the first goal's local path back as the search's reference.
    ASSERT_EQ(Probe::cleanCoverageTriggers().count(), triggers + 1);
    EXPECT_EQ(Probe::cleanCoverageTriggers().kept().back(),
              vantrell_protocol::msg::CleanCoverageTrigger());
    const Reply second = plan(goal);
    ASSERT_TRUE(second.succeeded());
    EXPECT_EQ(Probe::cleanCoverageTriggers().count(), triggers + 1);

    const AstarCall call = lastSearch();
    EXPECT_EQ(call.start.pose.position, pose(0.4, 1.0).pose.position);
    const auto& options = call.options;
    EXPECT_EQ(options.byte_0, c.cost_aware);
    EXPECT_TRUE(!options.byte_1 && options.byte_2 && !options.byte_3);
    EXPECT_EQ(options.fuzzy_range, 0.5);
    EXPECT_EQ(options.goal_fuzzy_range, c.goal_fuzzy_range);
    EXPECT_NEAR(options.tolerance, c.tolerance, 1e-6);
    EXPECT_EQ(options.int_60, 400);
    EXPECT_EQ(options.offset_cells, 0);
    EXPECT_EQ(options.use_reference_path, c.reference);
    ASSERT_EQ(call.reference_path.has_value(), c.reference);
    if (c.reference) {
      EXPECT_EQ(call.reference_path->path.poses, first.result->local_path.nav_path.poses);
      EXPECT_EQ(call.reference_path->path_cost, 100.0);
      EXPECT_EQ(call.reference_path->distance, 2.0);
      EXPECT_EQ(call.reference_path->range, 0.0001);
    }
    EXPECT_EQ(second.result->local_path.move_backward, c.backward);
    EXPECT_EQ(second.result->local_path.check_blocked, c.checked);
  }
}

TEST_F(PointToPoint, GridSearchCutsASingleForwardPathItStandsOnAndSearchesOtherwise) {
  struct Case {
    const char* name;
    std::vector<NavPath> paths;
    bool backward, searched;
  };
  const NavPath east = line(0.4, 1.0, 4.0, 1.0, 37);
  const std::vector<Case> cases{
      {"one forward path under the robot", {east}, false, false},
      {"one backward path", {east}, true, true},
      {"one path 0.5 m beside the robot", {line(0.4, 1.5, 4.0, 1.5, 37)}, false, true},
      {"a first piece of two poses", {line(0.4, 1.0, 0.9, 1.0, 2), east}, false, false}};
  startInRoom();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto goal = goalAlong(keys::kDijkstra, c.name, c.paths);
    goal.global_paths.paths.front().move_backward = c.backward;
    const size_t calls = lastSearch().calls;
    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    EXPECT_EQ(lastSearch().calls, calls + (c.searched ? 1U : 0U));
  }
}

// Every failing goal follows one that succeeded, so the working path handed to the planner holds
// that goal's local path: it must never come back as this goal's.
TEST_F(PointToPoint, OnlyWhatThisCyclesSearchLeftCountsAndABlockedSearchAsksForANewPlan) {
  struct Case {
    const char* key;
    bool found, blocked, leaves_poses, replan;
    std::string error;  // empty: the goal succeeds
  };
  const std::string code = std::to_string(planning::codes::kLocalPlanFailed);
  const std::string astar = "astar local planner failed, error code is " + code;
  const std::string local = "local planner failed, error code is " + code;
  const std::string empty = "local planning failed, path is empty! error code is " + code;
  const std::string lift = "LocalForceEnterLift::makePlan local planner failed.";
  const std::vector<Case> cases{{keys::kDijkstra, true, false, false, false, astar},
                                {keys::kDijkstra, false, true, false, true, astar},
                                {keys::kDijkstraGoalZone, false, true, false, false, local},
                                {keys::kDijkstraGoalZone, false, false, true, false, ""},
                                {keys::kForceBackward, true, false, false, false, empty},
                                {keys::kForceBackward, false, true, false, true, local},
                                {keys::kLiftIn, true, false, false, false, empty},
                                {keys::kLiftIn, false, true, false, false, lift}};
  startInRoom();
  int task = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " case " + std::to_string(task));
    AstarPlannerProbe::script(*planner().localEngine(), nullptr);
    const auto goal = goalAlong(c.key, "task-" + std::to_string(++task));
    ASSERT_TRUE(plan(goal).succeeded());
    planning::NavLocalPlanning::Path left;
    left.check_blocked = c.blocked;
    if (c.leaves_poses) {
      left.nav_path = line(0.4, 1.0, 1.4, 1.0, 11);
    }
    scriptSearches(c.found, left);
    test_support::captureLog()->clear();

    const Reply reply = plan(goal);
    if (c.error.empty()) {
      ASSERT_TRUE(reply.succeeded());
      EXPECT_NEAR(reply.result->local_path.nav_path.poses.back().pose.position.x, 1.4, 1e-6);
      continue;
    }
    ASSERT_TRUE(reply.aborted());
    EXPECT_EQ(reply.result->need_replan, c.replan);
    ASSERT_FALSE(logged("ERROR").empty());
    EXPECT_EQ(logged("ERROR").front(), c.error);
  }
}

TEST_F(PointToPoint, ASmoothingFailureEndsTheGoalWithTheSmoothersLineFromThePlannersSource) {
  startInRoom();
  for (const std::string key :
       {keys::kDijkstra, keys::kLiftIn, keys::kForceBackward, keys::kDijkstraGoalZone}) {
    SCOPED_TRACE(key);
    test_support::captureLog()->clear();
    Faults::failNext(1);
    ASSERT_TRUE(plan(goalAlong(key, key)).aborted());
    EXPECT_EQ(logged("ERROR"),
              (std::vector<std::string>{"a star path smooth failed !!!!!!",
                                        "smooth failed, error code is 101100008"}));
    const auto records = test_support::captureLog()->records();
    const auto smoother = std::find_if(records.begin(), records.end(), [](const auto& record) {
      return record.text.find("a star path smooth failed") != std::string::npos;
    });
    ASSERT_NE(smoother, records.end());
    EXPECT_EQ(smoother->function, "pathSmooter");
    EXPECT_NE(smoother->file.find("/planners/local_"), std::string::npos) << smoother->file;
  }
}

geometry_msgs::msg::Polygon zone(const std::vector<std::pair<double, double>>& corners) {
  geometry_msgs::msg::Polygon polygon;
  for (const auto& [x, y] : corners) {
    polygon.points.emplace_back().x = static_cast<float>(x);
    polygon.points.back().y = static_cast<float>(y);
  }
  return polygon;
}

TEST_F(PointToPoint, GoalZoneEndsOnlyWithTheRobotStrictlyInsideTheFirstZone) {
  // The robot stands at (0.4, 1.0), in cell (14, 20) of the global map.
  const auto around = zone({{0.0, 0.6}, {0.8, 0.6}, {0.8, 1.4}, {0.0, 1.4}});
  const auto far = zone({{3.0, 0.0}, {4.0, 0.0}, {4.0, 1.0}, {3.0, 1.0}});
  struct Case {
    const char* name;
    std::vector<geometry_msgs::msg::Polygon> zones;
    bool inside;
  };
  const std::vector<Case> cases{
      {"inside", {around}, true},
      {"on the edge", {zone({{0.4, 0.6}, {1.2, 0.6}, {1.2, 1.4}, {0.4, 1.4}})}, false},
      {"inside the second zone only", {far, around}, false},
      {"no zone", {}, false},
      // A corner that is no number refuses the whole goal before any planner sees it.
      {"corners off the map are skipped",
       {zone({{0.0, 0.6}, {9.0, 1.0}, {0.8, 0.6}, {0.4, 1.6}})},
       true},
      {"fewer than three corners left",
       {zone({{0.0, 0.6}, {0.8, 0.6}, {9.0, 1.6}, {-9.0, 1.6}})},
       false}};
  startInRoom();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto goal = goalAlong(keys::kDijkstraGoalZone, c.name);
    goal.zone_polygons = c.zones;
    const size_t calls = lastSearch().calls;

    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    const auto& poses = reply.result->local_path.nav_path.poses;
    EXPECT_EQ(lastSearch().calls, calls + (c.inside ? 0U : 1U));
    ASSERT_EQ(poses.size() == 1U, c.inside) << poses.size();
    if (c.inside) {
      EXPECT_EQ(poses.front().pose.position, pose(0.4, 1.0).pose.position);
      EXPECT_EQ(reply.result->finished, 1);
    }
  }
}

TEST_F(PointToPoint, LiftEntryDrivesForwardToThePoseBeforeTheEndOfTheFreeStretch) {
  // The drawn lift hall (0.05 m cells) with a bed across the back of the car, and the default
  // robot of 0.6 m x 0.5 m with its inflation, in the hall 1.4 m south of the car's door.
  test_support::DrawnMap hall = test_support::drawLiftHall();
  cv::rectangle(hall.image, cv::Point(66, 136), cv::Point(93, 158), cv::Scalar(test_support::kWall),
                cv::FILLED);
  auto maps = hooks::makeLocalNodeMaps(hooks::occupancyGridFromDrawing(hall.image, 0.05),
                                       cv::Rect(0, 0, hall.image.cols, hall.image.rows));
  hooks::placeRobot(maps, 4.025, 4.025, M_PI / 2.0);
  startOn(maps);
  const auto grid = maps_.local->getMultiGridMap();
  const auto in_danger = [&grid](const geometry_msgs::msg::PoseStamped& p) {
    unsigned int mx = 0;
    unsigned int my = 0;
    return !grid->getCostmap()->worldToMap(p.pose.position.x, p.pose.position.y, mx, my) ||
           grid->inDanger(mx, my, 0);
  };
  // Into the car and on through the bed to the back wall.
  const NavPath into_car = line(4.025, 4.025, 4.025, 7.825, 77);

  const Reply reply = plan(goalAlong(keys::kLiftIn, "lift", {into_car}));
  ASSERT_TRUE(reply.succeeded());
  const auto goal = lastSearch().goal.pose.position;
  const auto& poses = into_car.poses;
  const auto at = std::find_if(poses.begin(), poses.end(),
                               [&goal](const auto& p) { return p.pose.position == goal; });
  ASSERT_LT(at + 2, poses.end()) << "the goal is a pose of the path short of its end";
  EXPECT_TRUE(!in_danger(*at) && !in_danger(*(at + 1)) && in_danger(*(at + 2)));
  EXPECT_GT(goal.y, 5.5) << "the goal lies inside the car";
  for (const auto& p : reply.result->local_path.nav_path.poses) {
    EXPECT_FALSE(in_danger(p)) << p.pose.position.x << " " << p.pose.position.y;
  }

  // Beside the bed, past the free stretch: its end lies behind the robot and is refused.
  hooks::placeRobot(maps_, 3.35, 6.8, M_PI / 2.0);
  test_support::captureLog()->clear();
  EXPECT_TRUE(plan(goalAlong(keys::kLiftIn, "lift", {into_car})).aborted());
  EXPECT_EQ(countLogged("INFO", "LocalForceEnterLift getNearestFreePose failed."), 1);
  // An empty piece has nothing to enter by.
  EXPECT_TRUE(plan(goalAlong(keys::kLiftIn, "empty", {NavPath()})).aborted());
  EXPECT_EQ(countLogged("ERROR", "LocalForceEnterLift::getNearestFreePose global_path is empty!"),
            1);
}

}  // namespace
}  // namespace planners_test
