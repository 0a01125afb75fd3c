// The local planner base: the rotate-in-place decision, the reachable part of a path and the
// backward move.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "local_fixtures.hpp"
#include "planning/planner_keys.hpp"

namespace local_base_test {
namespace {

constexpr double kQuarter = M_PI / 2.0;

class SpinJudgeTest : public LocalTest {
 protected:
  void SetUp() override {
    LocalTest::SetUp();
    maps_ = makeMaps({{2.0, -0.5, 2.5, 0.5}});
    planner_ = makePlanner(node_, maps_);
    planner_->setTraceLogger(trace_);
  }

  hooks::LocalNodeMaps maps_;
  std::shared_ptr<TestPlanner> planner_;
};

TEST_F(SpinJudgeTest, DecidesFromTheLookAheadTheZeltoCornerAndTheBackwardRule) {
  // Exactly a quarter turn: equal z and w leave no rounding in the yaw.
  PoseStamped north = pose(0, 0);
  north.pose.orientation.z = north.pose.orientation.w = std::sqrt(0.5);
  const NavPath metre = line(0, 0, 1, 0, 11);
  struct Case {
    const char* name;
    NavPath path;
    PoseStamped robot;
    bool backward, check_blocked, zelto;
    bool required;
    double angle;
    bool option;
  };
  const std::vector<Case> cases = {
      {"short of the look-ahead", line(0, 0, 0.3, 0, 2), pose(0, -0.3), 0, 0, 0, 0, M_PI / 4, 1},
      {"error at the threshold", metre, north, 0, 0, 0, 1, 0.0, 1},
      {"error below the threshold", metre, pose(0, 0, kQuarter - 0.01), 0, 0, 0, 0, 0.0, 1},
      {"shorter than the tolerance", line(0, 0, 0.1, 0, 2), pose(0, 0, M_PI), 0, 0, 0, 0, 0.0, 1},
      {"zelto, no far pose, backward", line(0, 0, 0.5, 0, 6), pose(0, 0), 1, 0, 1, 1, 1.0, 1},
      {"zelto with a far pose", line(0, 0, 1, 1, 11), pose(0, 0, 0.8), 0, 0, 1, 1, M_PI / 4, 1},
      {"backward, unchecked", metre, pose(0, 0), 1, 0, 0, 1, M_PI, 0},
      {"backward, tail first", metre, pose(0, 0, M_PI), 1, 1, 0, 0, M_PI, 1},
      {"one pose", line(1, 0, 1, 0, 1), pose(0, 0), 1, 0, 0, 0, 0.0, 1},
      {"no pose", NavPath(), pose(0, 0, 0.3), 0, 0, 0, 0, 0.3, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    planner_->zelto_need_rotation_ = c.zelto;
    planner_->zelto_rotation_angle_ = 1.0;
    Piece piece;
    piece.nav_path = c.path;
    piece.move_backward = c.backward;
    piece.check_blocked = c.check_blocked;
    planning::SpinState state;
    state.look_ahead_length = 0.5;
    state.start_spin_threshold = kQuarter;
    planner_->spinJudge(c.robot, piece, piece.nav_path, state, 0.2);
    EXPECT_EQ(state.spin_required, c.required);
    EXPECT_NEAR(state.spin_angle, c.angle, 1e-9);
    EXPECT_EQ(state.spin_option, c.option);
  }
  EXPECT_EQ(countLogged("WARN", "NavlocalPlanning::spinJudge, nav path too short, size is 1"), 1);
  EXPECT_EQ(countLogged("DEBUG", "!!!!!!!!!!!!zelto need rotation, rotation angle is: 1"), 1);
}

TEST_F(SpinJudgeTest, PrunesAfterTheLastCollisionFreePose) {
  planner_->setGoalPose(pose(2.3, 0), 0.0);
  const double unset = std::numeric_limits<double>::max();
  struct Case {
    const char* name;
    NavPath path;
    bool cut;
    size_t kept;
    double fuzzy;
  };
  const std::vector<Case> cases = {
      {"free end: measured, not cut", line(0, 0, 1, 0, 11), false, 11, 1.3},
      {"end in the wall", line(0, 0, 2.3, 0, 24), true, 19, 0.5},
      {"all in the wall", line(2.1, 0, 2.4, 0, 4), true, 0, unset},
      {"empty", NavPath(), true, 0, unset},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NavPath path = c.path;
    double fuzzy = unset;
    EXPECT_EQ(planner_->pruningReachablePath(pose(0, 0), path, fuzzy), c.cut);
    EXPECT_EQ(path.poses.size(), c.kept);
    EXPECT_NEAR(fuzzy, c.fuzzy, 1e-9);
  }
}

TEST_F(SpinJudgeTest, GoesBackwardOnlyWhenAllowedAndAskedOrFacingAway) {
  const int32_t forced = planning::local_keys::kForceBackwardMode;
  struct Case {
    const char* name;
    uint8_t allowed;
    int32_t mode;
    double robot_yaw;
    bool backward;
  };
  const std::vector<Case> cases = {
      {"forced, not allowed", 0, forced, M_PI, false},
      {"forced, facing along", 1, forced, 0.0, true},
      {"facing away", 1, 0, M_PI, true},
      {"facing along", 1, 0, 0.2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    planner_->setGoalFlags({1, c.allowed, 0});
    planner_->setPlanningMode(c.mode);
    Piece piece;
    piece.nav_path = line(0, 0, 1, 0, 11);
    EXPECT_EQ(planner_->backwardMovement(piece, pose(0, 0, c.robot_yaw)), c.backward);
    EXPECT_EQ(piece.move_backward, c.backward);
    for (const auto& p : piece.nav_path.poses) {
      EXPECT_NEAR(std::fabs(yawOf(p)), c.backward ? M_PI : 0.0, 1e-9);
    }
  }
  // Four poses, or a path back onto its start, give no heading to compare with.
  EXPECT_EQ(planner_->getRobotPathAngle(line(0, 0, 1, 0, 4), pose(0, 0, M_PI)), 0.0);
  EXPECT_EQ(planner_->getRobotPathAngle(line(1, 0, 0, 0, 3, line(0, 0, 1, 0, 3)), pose(0, 0, 2)),
            0.0);
}

}  // namespace
}  // namespace local_base_test
