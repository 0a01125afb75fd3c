// The motion controller on drawn cases with known answers: what it does where the planner's path
// would bring the robot's outline onto an obstacle, and with a turn it was asked for.
#include "planning_sim/motion_controller.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "planning/geometry.hpp"
#include "sim_fixtures.hpp"

namespace sim_test {
namespace {

using planning_sim::FollowResult;
using Result = planning_sim::SimRobot::LocalPlanningResult;

// The corridor with the floor cells whose centres lie in each box made walls.
nav_msgs::msg::OccupancyGrid corridorWith(const std::vector<std::vector<double>>& boxes) {
  nav_msgs::msg::OccupancyGrid floor = corridorFloor();
  const auto& info = floor.info;
  for (uint32_t row = 0; row < info.height; ++row) {
    for (uint32_t column = 0; column < info.width; ++column) {
      const double x = (column + 0.5) * info.resolution;
      const double y = (row + 0.5) * info.resolution;
      for (const auto& b : boxes) {
        if (x > b[0] && x < b[2] && y > b[1] && y < b[3]) {
          floor.data[row * info.width + column] = 100;
        }
      }
    }
  }
  return floor;
}

Result pathResult(const nav_msgs::msg::Path& path) {
  Result result;
  result.local_path.nav_path = path;
  return result;
}

double furthestX(const planning_sim::SimRobot& robot) {
  double furthest = -1e9;
  for (const auto& pose : robot.track()) {
    furthest = std::max(furthest, pose.pose.position.x);
  }
  return furthest;
}

// Whether the robot faced `yaw` at some pose of its run.
bool facedOnTheWay(const planning_sim::SimRobot& robot, double yaw) {
  const auto track = robot.track();
  return std::any_of(track.begin(), track.end(), [yaw](const auto& pose) {
    return std::abs(planning::geometry::normalizeAngle(planning::geometry::yawOf(pose) - yaw)) <
           0.02;
  });
}

struct Case {
  std::string name;
  std::vector<std::vector<double>> boxes;
  geometry_msgs::msg::Pose2D start;
  Result result;
  // Then results with nothing to drive, one a control period, as a planner holding the robot.
  int empty_cycles;
  std::function<void(const planning_sim::SimRobot&, const planning_sim::MotionController&)> check;
  // How often the result is followed (each to its end, a recovery's or the path's), as a planner
  // handing out the same path again would.
  int follows{1};
};

TEST(MotionController, KeepsTheOutlineOffObstaclesAndTurnsRequestedSpinsToTheEnd) {
  const auto east = pathResult(polyline({point(0.8, 0.9), point(7.5, 0.9)}));
  Result spin;
  spin.spin_required = 1;
  spin.spin_angle = M_PI / 2.0;
  Result turn_in_pocket;
  turn_in_pocket.spin_required = 1;
  turn_in_pocket.spin_angle = M_PI;
  Result turn_out_of_pocket = pathResult(polyline({point(8.3, 0.9), point(5.0, 0.9)}));
  turn_out_of_pocket.spin_required = 1;
  turn_out_of_pocket.spin_angle = M_PI;
  Result spin_right = spin;
  spin_right.spin_angle = -M_PI / 2.0;
  // The same path each cycle, from where the robot stands, beginning with a spin to face along it.
  Result turn_in_wedge = pathResult(polyline({point(4.15, 0.94), point(4.373, 0.608)}));
  turn_in_wedge.spin_required = 1;
  turn_in_wedge.spin_angle = -0.98;
  const std::vector<Case> cases{
      {"stops short of a box on the path",
       {{3.0, 0.5, 3.5, 1.3}},
       pose2(0.8, 0.9),
       east,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         // Its front, 0.3 m ahead of its centre, came near the box and never reached it.
         EXPECT_LT(furthestX(robot) + 0.3, 3.0);
         EXPECT_GT(furthestX(robot) + 0.3, 2.8);
       }},
      {"steers round a chair leg beside the path",
       {{4.0, 1.1, 4.05, 1.15}},
       pose2(0.8, 0.9),
       east,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 7.5, 0.06);
         EXPECT_NEAR(robot.pose().y, 0.9, 0.06);
       }},
      {"drives on straight where any turn would swing its tail into the sides of a slot",
       {{0.0, 0.0, 1.9, 0.64}, {0.0, 1.21, 1.9, 1.8}},
       pose2(2.0, 0.92),
       pathResult(polyline({point(2.0, 0.92), point(2.3, 0.47), point(5.0, 0.47)})),
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 5.0, 0.06);
         EXPECT_NEAR(robot.pose().y, 0.47, 0.06);
       }},
      {"backs up out of a dead end too narrow to turn in",
       {{6.0, 0.0, 9.0, 0.55}, {6.0, 1.25, 9.0, 1.8}},
       pose2(8.3, 0.9),
       turn_in_pocket,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController& controller) {
         EXPECT_GE(controller.recoveries(), 1u);
         EXPECT_LT(robot.pose().x, 8.3 - 0.1);
       }},
      {"stands its progress allowance in steps made, period after period",
       {{6.0, 0.0, 9.0, 0.55}, {6.0, 1.25, 9.0, 1.8}},
       pose2(8.3, 0.9),
       turn_in_pocket,
       74,
       [](const planning_sim::SimRobot&, const planning_sim::MotionController& controller) {
         // 7.5 s of 8: the command each period ends on is never made, and counts for nothing.
         EXPECT_EQ(controller.recoveries(), 0u);
         EXPECT_EQ(controller.stops(), 150u);
       }},
      {"drives the path of a spin it cannot turn tail first, then turns it",
       {{6.0, 0.0, 9.0, 0.55}, {6.0, 1.25, 9.0, 1.8}},
       pose2(8.3, 0.9),
       turn_out_of_pocket,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 5.0, 0.1);
         EXPECT_NEAR(std::abs(robot.pose().theta), M_PI, 0.05);
       }},
      {"starts no turn it cannot turn to its end",
       {{2.0, 1.25, 2.05, 1.3}},
       pose2(2.0, 0.9),
       spin_right,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController& controller) {
         // A post beside it leaves room to turn a little either way, not a quarter turn.
         EXPECT_GT(controller.stops(), 0u);
         EXPECT_NEAR(robot.pose().theta, 0.0, 0.02);
       }},
      {"moves on when backing up is blocked too",
       {{4.0, 0.0, 4.64, 1.8}},
       pose2(5.0, 0.9),
       spin,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController& controller) {
         // A wall 5 cm behind: no room to turn or to back up; it moves away far enough to turn.
         EXPECT_GE(controller.recoveries(), 1u);
         EXPECT_GT(robot.pose().x, 5.02);
         EXPECT_NEAR(robot.pose().theta, M_PI / 2.0, 0.02);
       },
       2},
      {"drives a path behind it tail first where it cannot turn",
       {{6.0, 0.0, 9.0, 0.55}, {6.0, 1.25, 9.0, 1.8}},
       pose2(8.3, 0.9),
       pathResult(polyline({point(8.3, 0.9), point(7.0, 0.9)})),
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 7.0, 0.06);
         EXPECT_NEAR(robot.pose().theta, 0.0, 0.05) << "still facing the dead end";
       }},
      {"backs up on an arc to where it can turn, in a corner of walls too near to turn in",
       {{3.0, 0.0, 9.0, 1.8}},
       pose2(2.53, 0.40, 0.22),
       spin,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController& controller) {
         // Straight back along the wall it never has room to turn.
         EXPECT_GE(controller.recoveries(), 1u);
         EXPECT_NEAR(robot.pose().theta, M_PI / 2.0, 0.02);
       },
       2},
      {"turns towards the path on an arc where its tail has no room to turn on the spot",
       {},
       pose2(2.0, 0.38),
       pathResult(polyline({point(2.0, 0.38), point(2.1, 0.9), point(2.1, 1.35)})),
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 2.1, 0.06);
         EXPECT_NEAR(robot.pose().y, 1.35, 0.06);
       }},
      {"turns creeping forward where legs at its tail and ahead leave no room to turn or back up",
       {{1.65, 0.3, 1.85, 0.5}, {2.5, 0.3, 2.7, 0.5}, {1.45, 0.9, 1.7, 1.25}},
       pose2(2.033, 0.885, -1.164),
       pathResult(polyline({point(2.033, 0.885), point(2.6, 0.785), point(3.5, 0.785)})),
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().x, 3.5, 0.06);
         EXPECT_NEAR(robot.pose().y, 0.785, 0.06);
       },
       3},
      {"backs up until the spin clears where the same back-up again would only rock it",
       // A cabinet 3-9 cm off its left side, from 0.2 m behind its tail on; chair legs at its
       // right side by the front and off its right rear corner. The spin swings its tail into the
       // cabinet until a straight back-up of 0.55-0.6 m; a back-up of 0.15 m, then the path
       // driven back into the pocket, and the same again rocked it for good.
       {{3.6, 1.25, 5.0, 1.8}, {4.3, 0.65, 4.35, 0.7}, {3.7, 0.45, 3.75, 0.5}},
       pose2(4.15, 0.94, 0.1),
       turn_in_wedge,
       0,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_TRUE(facedOnTheWay(robot, -0.98));
       },
       3},
      {"turns a requested spin to the end",
       {},
       pose2(2.0, 0.9),
       spin,
       40,
       [](const planning_sim::SimRobot& robot, const planning_sim::MotionController&) {
         EXPECT_NEAR(robot.pose().theta, M_PI / 2.0, 0.02);
         EXPECT_NEAR(robot.pose().x, 2.0, 1e-9);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(corridorWith(c.boxes));
    planning_sim::MotionController controller(bench.robot, bench.maps.local);
    bench.robot.place(c.start);
    const rclcpp::Duration period = rclcpp::Duration::from_seconds(0.1);
    for (int i = 0; i < c.follows; ++i) {
      controller.follow(c.result, c.empty_cycles > 0 ? period : rclcpp::Duration(30, 0));
    }
    for (int i = 0; i < c.empty_cycles; ++i) {
      controller.follow(Result(), period);
    }
    EXPECT_FALSE(bench.robot.collision()) << "the world refused no step";
    c.check(bench.robot, controller);
  }
}

// A robot that crept a little tail first and stands facing a post 9 cm ahead, where it cannot turn:
// backing up against its last motion would drive it into the post. With no escapes left to try,
// only a back-up the other way gives it room to turn.
TEST(MotionController, BacksUpAwayFromThePostAheadAfterCreepingTailFirst) {
  Bench bench(corridorWith({{2.43, 0.8, 2.63, 1.0}}));
  planning_sim::ControllerParams params;
  params.escapes_in_place = 0;
  planning_sim::MotionController controller(bench.robot, bench.maps.local, params);
  bench.robot.place(pose2(2.10, 0.9));
  Result creep = pathResult(polyline({point(2.10, 0.9), point(2.04, 0.9)}));
  creep.local_path.move_backward = true;
  controller.follow(creep, rclcpp::Duration(5, 0));
  Result spin;
  spin.spin_required = 1;
  spin.spin_angle = M_PI / 2.0;
  // The first follow ends with the back-up; the planner then asks again.
  for (int i = 0; i < 2; ++i) {
    controller.follow(spin, rclcpp::Duration(30, 0));
  }

  EXPECT_FALSE(bench.robot.collision());
  EXPECT_GE(controller.recoveries(), 1u);
  EXPECT_LT(bench.robot.pose().x, 1.95);
  EXPECT_NEAR(bench.robot.pose().theta, M_PI / 2.0, 0.02);
}

}  // namespace
}  // namespace sim_test
