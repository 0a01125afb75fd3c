// The speed-limit value: the judge's verdicts as one value, the big-turn prompt and the milk
// hold, driven without a node.
#include "planning/local_planning/speed_limit_value.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local_fixtures.hpp"
#include "planning/codes.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace local_base_test {
namespace {

namespace keys = planning::local_keys;
using planning::SpeedLimitValue;

class SpeedLimitValueTest : public LocalTest {
 protected:
  void SetUp() override {
    LocalTest::SetUp();
    // The wall y = -0.4 (x 0 .. 1.6) closes a narrow passage below it; milk lies at (1, 1.6).
    maps_ = makeMaps({{0.0, -0.4, 1.6, -0.4}});
    hooks::markObstacleCells(*maps_.local, {{20, 26}}, vantrell_nav2_gridmap::ObsTypeBitMap::MILK,
                             false);
    maps_.local->getMultiGridMap()->updateMap();
    judge_ = std::make_shared<planning::PathJudge>(maps_.global, maps_.local, node_, trace_);
    // Bends never exceed this: only isBigTurn answers for the turns below.
    params_.max_angle_tolerance = 181.0;
  }

  // The value of `path` with the robot on its pose 1.
  double cycle(SpeedLimitValue& value, const NavPath& path, const std::string& key,
               bool backward = false, bool* near = nullptr) {
    const auto& at = path.poses.at(1).pose.position;
    hooks::placeRobot(maps_, at.x, at.y, backward ? M_PI : 0.0);
    bool near_obstacle = false;
    const double result = value.getSpeedLimitPercent(path, key, near_obstacle, backward, params_);
    if (near != nullptr) {
      *near = near_obstacle;
    }
    return result;
  }
  SpeedLimitValue value(const SpeedLimitValue::Settings& settings = {}) {
    return SpeedLimitValue(judge_, trace_, settings);
  }

  hooks::LocalNodeMaps maps_;
  std::shared_ptr<planning::PathJudge> judge_;
  planning::SpeedLimitParams params_;
  const NavPath clear_ = line(0, 1, 2.4, 1, 13);
  const NavPath u_turn_ = line(1, 2.3, 0, 2.3, 6, line(0, 2, 1, 2, 6));
  // Out along the wall and back: an edge followed through a big turn.
  const NavPath edge_turn_ = line(1.6, 0, 0.8, 0, 5, line(0, 0, 1.6, 0, 9));
};

TEST_F(SpeedLimitValueTest, TakesTheLowestCapThatAppliesOnEachRoad) {
  const NavPath ten = line(0, 1, 1.8, 1, 10);
  const NavPath narrow = line(0, -0.7, 1.4, -0.7, 11);
  struct Case {
    const char* name;
    NavPath path;
    std::string key;
    bool backward;
    double value;
    bool near;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"too short", ten, keys::kDijkstra, false, 0.4, false},
      {"too short, backward", ten, keys::kForceBackward, true, 0.4, false},
      {"backward out of a lift, narrow", narrow, keys::kForceBackward, true, 0.1, true},
      {"backward elsewhere", clear_, keys::kDijkstra, true, 0.2, false},
      {"grid search", clear_, keys::kDijkstra, false, 1.0, false},
      {"cleaning", clear_, keys::kStaticCoverage, false, 0.8, false},
      {"unknown key", clear_, "no such planner", false, 0.8, false},
      {"narrow, forward", narrow, keys::kDijkstraGoalZone, false, 0.1, true},
      {"milk alone", line(0, 1.4, 2.4, 1.4, 13), keys::kLocalWayPoints, false, 0.8, false},
      {"big turn alone", u_turn_, keys::kDijkstra, false, 1.0, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool near = false;
    auto fresh = value();
    EXPECT_NEAR(cycle(fresh, c.path, c.key, c.backward, &near), c.value, 1e-9);
    EXPECT_EQ(near, c.near);
  }
  EXPECT_EQ(countLogged("DEBUG", "The path is too short, max speed is 0.4!!!!"), 2);
  EXPECT_EQ(countLogged("DEBUG",
                        "[getSpeedLimitPercent] move_backward in narrow passage, speed limited "
                        "to 0.1"),
            1);

  // A trajectory crossing 2 m ahead, unless the trajectory test is off.
  NavPath crossing = line(2.3, 0, 2.3, 2, 3);
  crossing.header.stamp = node_->now();
  Probe::setDynamicObstacle({crossing});
  auto with = value();
  EXPECT_DOUBLE_EQ(cycle(with, clear_, keys::kDijkstra), 0.5);
  SpeedLimitValue::Settings off;
  off.is_use_trajectory_collision = false;
  auto without = value(off);
  EXPECT_DOUBLE_EQ(cycle(without, clear_, keys::kDijkstra), 1.0);
}

TEST_F(SpeedLimitValueTest, TracesEveryVerdictOfAForwardCycle) {
  auto speed = value();
  cycle(speed, clear_, keys::kDijkstra);
  const std::vector<std::string> expected = {
      "[getSpeedLimitPercent]robot_away_from_path:false, path_near_obstacle:false, "
      "path_curve_large:false",
      "[getSpeedLimitPercent]path_near_milk:false, path_is_big_turn:false, "
      "path_is_near_people:false",
      "[getSpeedLimitPercent]is feature collision: false, feature collision scale: 1.2",
      "[getSpeedLimitPercent]path_point_num:13, plannning id: dijkstra, speed value: 1",
      "[getSpeedLimitPercent]in_narrow_passage is false,speed value: 1"};
  EXPECT_EQ(logged("DEBUG"), expected);
}

TEST_F(SpeedLimitValueTest, SpeaksABigTurnAtMostOnceEverySixCyclesAcrossGoals) {
  auto speed = value();
  const NavPath ten = line(0, 2, 1, 2, 10);
  const std::vector<int32_t> countdowns = {5, 4, 3, 2, 1, 0, 5, 4};
  for (size_t i = 0; i < countdowns.size(); ++i) {
    SCOPED_TRACE(i);
    cycle(speed, u_turn_, keys::kDijkstra);
    // Short and backward paths leave the count where it is.
    cycle(speed, ten, keys::kDijkstra);
    cycle(speed, u_turn_, keys::kDijkstra, true);
    EXPECT_EQ(speed.getTurnSpeakCountdown(), countdowns[i]);
  }
  const auto events = Probe::robotEvents().kept();
  ASSERT_EQ(events.size(), 2u);
  for (const auto& event : events) {
    EXPECT_EQ(event.event_type, planning::codes::kPromptEventType);
    EXPECT_EQ(event.event_code, planning::codes::kBigTurnEvent);
    EXPECT_TRUE(event.message.empty() && event.params.empty());
    EXPECT_GT(event.stamp.sec, 0);
  }
  EXPECT_EQ(countLogged("DEBUG", "Attention please, there is a big turn !!!!!!!!!!!"), 2);
  EXPECT_EQ(countLogged("DEBUG", "Speaked the turn last time, this time is not speak !"), 6);
  cycle(speed, clear_, keys::kDijkstra);
  EXPECT_EQ(speed.getTurnSpeakCountdown(), 3);
}

TEST_F(SpeedLimitValueTest, CleaningPlannersSpeakOnlyWhenAskedAndAlongAnEdgeOnlyWhenAskedTwice) {
  struct Case {
    bool clean_audio, welt_audio;
    const NavPath& path;
    size_t events;
  };
  const std::vector<Case> cases = {{false, true, u_turn_, 0},
                                   {true, false, u_turn_, 1},
                                   {true, false, edge_turn_, 0},
                                   {true, true, edge_turn_, 1}};
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    Probe::reset();
    SpeedLimitValue::Settings settings;
    settings.clean_mode_need_audio = cases[i].clean_audio;
    settings.welt_mode_need_audio = cases[i].welt_audio;
    auto speed = value(settings);
    cycle(speed, cases[i].path, keys::kDynamicCoverage);
    EXPECT_EQ(Probe::robotEvents().count(), cases[i].events);
  }
}

TEST_F(SpeedLimitValueTest, HoldsTheMilkLatchForFourCyclesAfterTheLastMilk) {
  auto speed = value();
  cycle(speed, line(0, 1.4, 2.4, 1.4, 13), keys::kStaticCoverage);
  EXPECT_TRUE(speed.isMilkLimitActive());
  for (int32_t i = 1; i <= 5; ++i) {
    SCOPED_TRACE(i);
    cycle(speed, clear_, keys::kStaticCoverage);
    EXPECT_EQ(speed.isMilkLimitActive(), i < 5);
    EXPECT_EQ(speed.getMilkLimitCount(), i < 5 ? i : 0);
  }
}

}  // namespace
}  // namespace local_base_test
