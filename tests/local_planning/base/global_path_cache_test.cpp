// The local planner base: its parameters, the goal copy and the cached global path set.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "local_fixtures.hpp"

namespace local_base_test {
namespace {

class GlobalPathCacheTest : public LocalTest {
 protected:
  Piece piece(const NavPath& path, int32_t type = 0) {
    Piece made;
    made.nav_path = path;
    made.path_type = type;
    made.tolerance = 0.3f;
    return made;
  }
  std::shared_ptr<Goal> goal(const std::string& uuid, const std::vector<Piece>& pieces) {
    auto made = std::make_shared<Goal>();
    made->global_path_uuid = made->global_paths.uuid = uuid;
    made->global_paths.paths = pieces;
    return made;
  }

  hooks::LocalNodeMaps maps_ = makeMaps({});
};

TEST_F(GlobalPathCacheTest, DeclaresItsParametersOnlyWhenMissing) {
  node_->declare_parameter("near_obstacle_max_vel_x", 0.45);
  auto planner = makePlanner(node_, maps_);
  EXPECT_NO_THROW(makePlanner(node_, maps_));
  // The angular cap has no parameter of its own.
  EXPECT_DOUBLE_EQ(planner->near_obstacle_angular_cap_, 0.45);
  EXPECT_DOUBLE_EQ(node_->get_parameter("precise_goal_reach_fuzzy_distance").as_double(), 0.05);
  EXPECT_EQ(logged("INFO").at(8), " visualize_debug_ is :false");
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> gone;
  EXPECT_DOUBLE_EQ(TestPlanner(gone, maps_.global, maps_.local, nullptr).near_obstacle_angular_cap_,
                   0.3);
  EXPECT_THROW(TestPlanner(node_, maps_.global, nullptr, nullptr), std::invalid_argument);
}

TEST_F(GlobalPathCacheTest, ANewUuidResetsAndReplacesTheCacheTheSameUuidKeepsWhatIsLeft) {
  auto planner = makePlanner(node_, maps_);
  planner->setTraceLogger(trace_);
  hooks::placeRobot(maps_, 0.0, 0.0, 0.0);
  const Piece reached = piece(line(0, 0, 0, 0, 1), 2);
  const Piece next = piece(line(0, 0, 1, 0, 11));
  auto first = goal("set-1", {reached, next});
  first->extra_goals = {pose(1, 1)};
  planner->updateGoal(first);
  EXPECT_EQ(planner->resets, 1);
  EXPECT_TRUE(planner->new_request_);
  EXPECT_EQ(planner->extra_goals_.size(), 1u);
  EXPECT_EQ(countLogged("DEBUG",
                        "received new uuid ;cached global_path_uuid is ;received "
                        "global_path_uuid  is set-1"),
            1);
  Piece out;
  EXPECT_EQ(planner->getNextGlobalPath(out), 1);
  // The same uuid keeps the consumed cache whatever paths it brings, and resets nothing.
  planner->updateGoal(goal("set-1", {reached, reached, reached}));
  EXPECT_EQ(planner->resets, 1);
  EXPECT_EQ(countLogged("DEBUG", "cached gloab_paths size is 1"), 1);
  // A new uuid without paths empties the cache; the next goal refills it, even on that uuid.
  planner->updateGoal(goal("set-2", {}));
  EXPECT_EQ(planner->getNextGlobalPath(out), NavLocalPlanning::kNoGlobalPathLeft);
  planner->updateGoal(goal("set-2", {reached, next}));
  EXPECT_EQ(planner->resets, 2);
  EXPECT_EQ(planner->getGlobalPaths().paths.size(), 2u);
  EXPECT_EQ(planner->getGlobalPathUuid(), "set-2");
}

TEST_F(GlobalPathCacheTest, DropsAReachedFrontPathOnlyAndFailsTheCycleWithoutTheRobot) {
  const Piece far = piece(line(0, 0, 2, 0, 21));
  const Piece dot = piece(line(1, 0, 1, 0, 1), 2);
  // Ends 0.11 m from the robot at (0, 0.05) but turns back: 1.1 m left from the nearest pose.
  const Piece hook = piece(line(0.5, 0.15, 0.05, 0.15, 10, line(0, 0, 0.5, 0, 6)));
  struct Case {
    const char* name;
    std::vector<Piece> cache;
    double robot_x, robot_y;
    int count;
    size_t out_poses;  // 7: `out` untouched
  };
  const std::vector<Case> cases = {
      {"empty cache", {}, 0, 0, 0, 7},
      {"one path, robot unknown", {dot}, NAN, 0, 1, 1},
      {"edge piece", {piece(dot.nav_path, 3), far}, 1.0, 0.1, 2, 1},
      {"reached one-pose piece", {dot, far}, 1.0, 0.1, 1, 21},
      {"piece without poses", {piece(NavPath()), far}, 3, 2, 1, 21},
      {"robot 0.25 m from the end", {dot, far}, 1.0, 0.25, 2, 1},
      {"0.1 m left", {piece(line(0, 0, 1, 0, 11)), far}, 0.9, 0, 1, 21},
      {"1.1 m left", {hook, far}, 0, 0.05, 2, 15},
      {"robot unknown", {dot, far}, NAN, 0, NavLocalPlanning::kGlobalPathUnavailable, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto planner = makePlanner(node_, maps_);
    MultiPaths set;
    set.paths = c.cache;
    planner->updateGlobalPaths(set);
    hooks::placeRobot(maps_, c.robot_x, c.robot_y, 0.0);
    if (std::isnan(c.robot_x)) {
      hooks::removeRobotPose(*maps_.local);
    }
    Piece out = piece(line(9, 9, 9, 9, 7));
    Piece path;
    ControlState state;
    bool need_replan = false;
    EXPECT_EQ(planner->getNextGlobalPath(out), c.count);
    EXPECT_EQ(out.nav_path.poses.size(), c.out_poses);
    // A planner reading the answer as it must: -1 fails the cycle, only 0 finishes the task.
    EXPECT_EQ(planner->makePlan(path, state, need_replan), c.count >= 0);
    EXPECT_EQ(state.finished, c.count == 0);
    EXPECT_EQ(path.tolerance, c.count > 0 ? 0.3f : 0.0f);
  }
  EXPECT_EQ(countLogged("WARN", "NavLocalPlanning::getNextGlobalPath can not get the robot pose"),
            2);
}

TEST_F(GlobalPathCacheTest, ReworksOnlyACachedFrontPath) {
  auto planner = makePlanner(node_, maps_);
  planner->updateCurrentGlobalPath(piece(line(0, 0, 1, 0, 5)));
  EXPECT_TRUE(planner->getGlobalPaths().paths.empty());
  planner->updateGlobalPaths(goal("set", {piece(NavPath()), piece(NavPath())})->global_paths);
  planner->updateCurrentGlobalPath(piece(line(0, 0, 1, 0, 5)));
  EXPECT_EQ(planner->getGlobalPaths().paths.front().nav_path.poses.size(), 5u);
  EXPECT_TRUE(planner->getGlobalPaths().paths.back().nav_path.poses.empty());
}

}  // namespace
}  // namespace local_base_test
