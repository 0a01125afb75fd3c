// The path judge's predicates with their speed scales, on a drawn floor.
#include "planning/local_planning/path_judge.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "local_fixtures.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace local_base_test {
namespace {

using Predicate = std::function<bool(const NavPath&, double&)>;
// What a predicate leaves in a scale it does not write.
constexpr double kKept = 1.2;

class PathJudgeTest : public LocalTest {
 protected:
  void SetUp() override {
    LocalTest::SetUp();
    // A wall 0.4 m beside the path y = 0 for x 0 .. 1.6; below it a 0.5 m wide passage.
    maps_ = makeMaps({{0.0, -0.4, 1.6, -0.4}});
    judge_ = std::make_shared<planning::PathJudge>(maps_.global, maps_.local, node_, trace_);
    params_.path_near_obstacle_cut_dis = 0.3;
  }

  struct Case {
    const char* name;
    NavPath path;
    std::function<void()> setup;
    bool fires;
    double scale;
  };

  // Each case with the robot at the origin facing +x, unless its setup moves it.
  void run(const std::vector<Case>& cases, const Predicate& predicate) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      hooks::placeRobot(maps_, 0.0, 0.0, 0.0);
      if (c.setup) {
        c.setup();
      }
      double scale = kKept;
      EXPECT_EQ(predicate(c.path, scale), c.fires);
      EXPECT_NEAR(scale, c.scale, 1e-9);
    }
  }
  std::function<void()> robotAt(double x, double y, double yaw = 0.0) {
    return [this, x, y, yaw] { hooks::placeRobot(maps_, x, y, yaw); };
  }
  std::function<void()> noRobot() {
    return [this] { hooks::removeRobotPose(*maps_.global); };
  }

  hooks::LocalNodeMaps maps_;
  std::shared_ptr<planning::PathJudge> judge_;
  planning::SpeedLimitParams params_;
};

TEST_F(PathJudgeTest, NearObstacleTellsAnEdgeFollowedFromAnObstacleAhead) {
  // Poses 0 and 1 lie within the cut distance; of the 10 others the first 8 are near the wall.
  const NavPath along = line(0, 0, 2.2, 0, 12);
  bool welt = false;
  const Predicate near = [&](const NavPath& path, double& scale) {
    return judge_->isPathNearObstacle(path, scale, welt, params_);
  };
  // clang-format off
  run({{"empty", NavPath(), nullptr, false, kKept},
       {"clear", line(0, 1.5, 2.2, 1.5, 12), nullptr, false, kKept},
       {"off the grid", line(6, 0, 2.2, 0, 12), nullptr, false, 0.4},
       {"first near pose 1.5 m away", along, robotAt(0.4, 1.5), true, 0.4},
       {"first near pose 2.5 m away", along, robotAt(0.4, 2.5), true, 0.5},
       {"no robot", along, noRobot(), true, 0.4}}, near);
  // clang-format on
  EXPECT_FALSE(welt);
  run({{"edge followed", along, robotAt(0.4, 0.99), true, 0.5}}, near);
  EXPECT_TRUE(welt);
}

TEST_F(PathJudgeTest, ShapePredicatesJudgeElevenPosesAndMore) {
  const NavPath straight = line(0, 0, 2, 0, 11);
  const NavPath ten = line(0, 0, 2, 0, 10);
  NavPath collapsed = line(0, 0, 0, 0, 10);
  collapsed.poses.push_back(pose(1, 0));
  // clang-format off
  run({{"too short", ten, robotAt(3, 3), false, kKept},
       {"on the path", straight, robotAt(0.2, 0, 0.35), false, kKept},
       {"0.3 m off", straight, robotAt(0.2, 0.3), true, 0.4},
       {"facing 30 degrees off", straight, robotAt(0.2, 0, 0.52), true, 0.4},
       {"less than 1 m", line(0, 0, 0.5, 0, 11), nullptr, true, 0.4},
       {"no robot", straight, noRobot(), true, 0.4}},
      [this](const NavPath& path, double& scale) {
        return judge_->isAwayFromPath(path, scale, params_); });
  run({{"too short", ten, nullptr, false, kKept},
       {"straight", straight, nullptr, false, kKept},
       {"right angle", line(1, 0, 1, 1, 6, line(0, 0, 1, 0, 6)), nullptr, true, 0.4},
       {"on the first pose", collapsed, nullptr, false, kKept}},
      [this](const NavPath& path, double& scale) {
        return judge_->isCurvLarge(path, scale, params_); });
  run({{"too short", ten, nullptr, false, kKept},
       {"straight", straight, nullptr, false, kKept},
       {"u-turn", line(1, 0.5, 0, 0.5, 6, line(0, 0, 1, 0, 6)), nullptr, true, 0.7 * 0.4}},
      [this](const NavPath& path, double& scale) {
        return judge_->isBigTurn(path, scale, params_); });
  // clang-format on
  EXPECT_EQ(countLogged("WARN", "Can not get the robot current pose !!!!!!!!!!!!"), 1);
  EXPECT_EQ(countLogged("DEBUG", "Attention: Thear is a big turn in the front!"), 1);
}

TEST_F(PathJudgeTest, NarrowPassagesAndMilkOnTheFirstStretch) {
  EXPECT_TRUE(judge_->inNarrowPassage(line(0.2, -0.7, 1.2, -0.7, 6)));
  EXPECT_FALSE(judge_->inNarrowPassage(line(0.2, 0, 1.2, 0, 6)));
  EXPECT_FALSE(judge_->inNarrowPassage(line(6, -0.7, 1.2, -0.7, 6)));

  const NavPath ahead = line(0, 0, 3, 0, 16);
  const auto milk = [this](unsigned int x, unsigned int y) {
    return [this, x, y] {
      hooks::markObstacleCells(*maps_.local, {{x, y}}, vantrell_nav2_gridmap::ObsTypeBitMap::MILK,
                               false);
      maps_.local->getMultiGridMap()->updateMap();
    };
  };
  // clang-format off
  run({{"no milk", ahead, nullptr, false, kKept},
       {"off the grid", line(6, 0, 3, 0, 16), nullptr, true, 0.32},
       {"milk beyond the judged 2.5 m", ahead, milk(40, 12), false, kKept},
       {"milk 0.2 m beside", ahead, milk(20, 12), true, 0.32}},
      [this](const NavPath& path, double& scale) {
        return judge_->isNearMilk(path, false, scale, params_); });
  // clang-format on
  double scale = kKept;
  EXPECT_FALSE(judge_->isNearMilk(ahead, true, scale, params_));
}

TEST_F(PathJudgeTest, CountsRecentPeopleAheadOnly) {
  const auto report = [this](const std::vector<vantrell_communicator::PersonInfo>& people,
                             double age_s) {
    vantrell_communicator::PeopleInfo info;
    info.header.stamp = node_->now() - rclcpp::Duration::from_seconds(age_s);
    info.people = people;
    return info;
  };
  const auto people =
      [&](std::vector<std::pair<const char*, vantrell_communicator::PeopleInfo>> sources) {
        return [sources] {
          Probe::clearPeopleInfo();
          for (const auto& source : sources) {
            Probe::setPeopleInfo(source.first, source.second);
          }
        };
      };
  const std::vector<vantrell_communicator::PersonInfo> five = {
      {1, 0}, {2, 1}, {3, -1}, {4, 2}, {4.9, -2.4}};
  auto six = five;
  six.push_back({0.5, 0});
  // clang-format off
  run({{"no reports", NavPath(), people({}), false, kKept},
       {"five ahead", NavPath(), people({{"lidar", report(five, 0)}}), true, 0.5},
       {"six ahead", NavPath(), people({{"lidar", report(six, 0)}}), true, 0.3},
       {"on the limits", NavPath(), people({{"lidar", report({{5, 0}, {1, 2.5}, {0, 0}}, 0)}}),
        false, kKept},
       {"a stale source", NavPath(),
        people({{"camera", report(six, 2)}, {"lidar", report({{1, 0}}, 0)}}), true, 0.5}},
      [this](const NavPath& path, double& scale) {
        return judge_->isPathNearPeople(path, false, scale, params_); });
  // clang-format on
  EXPECT_EQ(countLogged("DEBUG", "Attention: there is 6 people in the front !!!!!!!!!!!!"), 1);
}

TEST_F(PathJudgeTest, ATrajectoryCrossingThePathSlowsByItsDistance) {
  const auto crossing = [this](double x, double y_end, double age_s) {
    return [this, x, y_end, age_s] {
      NavPath trajectory = line(x, -1, x, y_end, 3);
      trajectory.header.stamp = node_->now() - rclcpp::Duration::from_seconds(age_s);
      Probe::setDynamicObstacle({trajectory});
    };
  };
  const auto predicted = [this](NavPath trajectory) {
    return [this, trajectory]() mutable {
      trajectory.header.stamp = node_->now();
      Probe::setDynamicObstacle({trajectory});
    };
  };
  NavPath no_number = line(2.2, -1, 2.2, 1, 3);
  no_number.poses[1].pose.position.y = std::numeric_limits<double>::quiet_NaN();
  const NavPath ahead = line(0, 0, 4, 0, 9);
  // clang-format off
  run({{"none", ahead, nullptr, false, kKept},
       {"on the path's line 20 m ahead", ahead, predicted(line(20, 0, 24, 0, 3)), false, kKept},
       {"on the path's line behind the robot", ahead, predicted(line(-5, 0, -3, 0, 3)), false,
        kKept},
       {"on the path's line from 2 m on", ahead, predicted(line(2, 0, 6, 0, 3)), true, 0.25},
       {"a coordinate that is no number", ahead, predicted(no_number), false, kKept},
       {"0.5 m ahead", ahead, crossing(0.7, 1, 0), true, 0.0},
       {"1 m ahead", ahead, crossing(1.2, 1, 0), true, 0.0},
       {"2 m ahead", ahead, crossing(2.2, 1, 0), true, 0.5},
       {"3 m ahead", ahead, crossing(3.2, 1, 0), true, 1.0},
       {"touching the pose 2 m ahead", ahead, crossing(2.0, 0, 0), true, 0.25},
       {"stale", ahead, crossing(2.2, 1, 2), false, kKept},
       {"no robot", ahead, [&] { crossing(2.2, 1, 0)(); noRobot()(); }, false, kKept}},
      [this](const NavPath& path, double& scale) {
        const bool fires = judge_->isFeatureCollision(path, scale, params_);
        Probe::setDynamicObstacle({});
        return fires; });
  // clang-format on
  EXPECT_EQ(countLogged("DEBUG",
                        "Attention: there is dynamic obstacle in the path, distance is 2, velocity "
                        "scale is: 0.5"),
            1);
  EXPECT_EQ(countLogged("WARN",
                        "isFeatureCollision skips a predicted trajectory with a coordinate that is "
                        "not a finite number"),
            1);
}

}  // namespace
}  // namespace local_base_test
