#include "planning/finite_goal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "planning/local_planning/local_goal_check.hpp"
#include "support/shapes.hpp"

namespace {

using test_support::point32;
using test_support::pose;
using GlobalGoal = vantrell_nav2_protocol::action::GlobalPlanning::Goal;
using LocalGoal = vantrell_nav2_protocol::action::LocalPlanning::Goal;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FiniteGoal, GlobalGoalWithAnyBrokenPositionIsRefused) {
  const std::vector<std::pair<std::string, std::function<void(GlobalGoal&)>>> cases{
      {"goal pose x", [](GlobalGoal& g) { g.goal_poses.push_back(pose(kNaN, 1.0)); }},
      {"goal pose yaw", [](GlobalGoal& g) { g.goal_poses[0].pose.orientation.z = kInf; }},
      {"goal zone", [](GlobalGoal& g) { g.goal_zone.push_back(point32(1.0F, NAN)); }},
      {"covered point",
       [](GlobalGoal& g) { g.covered_points_frm_taskcenter.push_back(point32(INFINITY, 0.0F)); }},
  };
  GlobalGoal good;
  good.goal_poses = {pose(1.0, 2.0)};
  good.goal_zone = {point32(0.0F, 0.0F), point32(1.0F, 0.0F), point32(1.0F, 1.0F)};
  EXPECT_TRUE(planning::isFiniteGoal(good));
  for (const auto& [what, breakIt] : cases) {
    SCOPED_TRACE(what);
    GlobalGoal goal = good;
    breakIt(goal);
    EXPECT_FALSE(planning::isFiniteGoal(goal));
  }
}

// The local node's own goal check refuses the same, and names the field.
TEST(FiniteGoal, LocalGoalWithAnyBrokenPositionIsRefused) {
  const std::vector<std::pair<std::string, std::function<void(LocalGoal&)>>> cases{
      {"global path pose",
       [](LocalGoal& g) { g.global_paths.paths[0].nav_path.poses[1].pose.position.y = kNaN; }},
      {"path tolerance", [](LocalGoal& g) { g.global_paths.paths[0].tolerance = NAN; }},
      {"zone", [](LocalGoal& g) { g.zone_polygons[0].points[2].x = -INFINITY; }},
      {"goal pose", [](LocalGoal& g) { g.goal_pose.pose.position.x = kNaN; }},
      {"extra goal", [](LocalGoal& g) { g.extra_goals.push_back(pose(0.0, kInf)); }},
      {"fuzzy distance", [](LocalGoal& g) { g.fuzzy_distance = NAN; }},
      {"covered point",
       [](LocalGoal& g) { g.covered_points_frm_taskcenter.push_back(point32(NAN, 0.0F)); }},
  };
  LocalGoal good;
  good.global_paths.paths.resize(1);
  good.global_paths.paths[0].nav_path.poses = {pose(0.0, 0.0), pose(1.0, 0.0)};
  good.zone_polygons.resize(1);
  good.zone_polygons[0].points = {point32(0.0F, 0.0F), point32(1.0F, 0.0F), point32(1.0F, 1.0F)};
  EXPECT_TRUE(planning::checkLocalGoal(good));
  for (const auto& [what, breakIt] : cases) {
    SCOPED_TRACE(what);
    LocalGoal goal = good;
    breakIt(goal);
    EXPECT_FALSE(planning::checkLocalGoal(goal));
  }
}

}  // namespace
