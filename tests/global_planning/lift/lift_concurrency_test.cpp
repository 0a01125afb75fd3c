// The lift actions share the lift planners, the grid maps and the stored lift frame with each
// other and with "global_planning"; all four run their goals at the same time.
#include <gtest/gtest.h>

#include <string>

#include "lift_node_fixture.hpp"

namespace lift_node_test {
namespace {

class LiftConcurrency : public LiftNodeTest {
 protected:
  void SetUp() override {
    LiftNodeTest::SetUp();
    startNode();
    placeRobot("hall_centre", M_PI / 2.0);
  }
};

TEST_F(LiftConcurrency, PlanningIntoTheCarWhileTheCarIsChecked) {
  const auto car = hall_.placeInWorld("car_centre");
  GlobalPlanning::Goal into_car;
  into_car.current_planning_id = keys::kLift;
  into_car.goal_mode = 100;
  into_car.goal_poses = {poseAt(car.x, car.y, M_PI / 2.0)};

  for (int round = 0; round < 4; ++round) {
    auto planned = task_manager_->send<GlobalPlanning>("global_planning", into_car);
    auto checked = task_manager_->send<FuzzyLiftFree>("is_fuzzy_global_free",
                                                      liftGoal(keys::kLift, carFrame()));
    const auto plan_reply = task_manager_->waitFor(planned);
    const auto check_reply = task_manager_->waitFor(checked);
    ASSERT_TRUE(plan_reply.succeeded()) << "round " << round;
    ASSERT_TRUE(check_reply.succeeded()) << "round " << round;
    EXPECT_FALSE(plan_reply.result->multi_paths.paths.empty());
    EXPECT_TRUE(check_reply.result->is_free);
  }
  EXPECT_TRUE(robotEvents().empty());
}

TEST_F(LiftConcurrency, TheStoredFrameChangesWhileItIsRead) {
  LiftFree::Goal is_free;
  is_free.target_pose = doorPose(0.0);
  for (int round = 0; round < 4; ++round) {
    // In and out in turn: the stored frame is the car, then the waiting area.
    const std::string planner = round % 2 == 0 ? keys::kLift : keys::kLiftOut;
    auto checked = task_manager_->send<FuzzyLiftFree>(
        "is_fuzzy_global_free", liftGoal(planner, round % 2 == 0 ? carFrame() : Polygon()));
    auto contained = task_manager_->send<LiftFree>("is_global_free", is_free);
    auto forced =
        task_manager_->send<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal());
    ASSERT_TRUE(task_manager_->waitFor(checked).succeeded()) << "round " << round;
    const auto contained_reply = task_manager_->waitFor(contained);
    ASSERT_TRUE(contained_reply.succeeded()) << "round " << round;
    EXPECT_TRUE(contained_reply.result->is_free);
    const auto forced_reply = task_manager_->waitFor(forced);
    ASSERT_TRUE(forced_reply.succeeded()) << "round " << round;
    if (round > 0) {
      // Whichever frame it read, it was a whole one.
      EXPECT_TRUE(forced_reply.result->success);
      EXPECT_EQ(forced_reply.result->multi_paths.paths.size(), 1u);
    }
  }
}

}  // namespace
}  // namespace lift_node_test
