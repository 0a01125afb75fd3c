// Whole tasks and their end: a robot that drives what the planner plans, cycle after cycle as
// the local planning node runs it, and a task centre that serves the covered points from
// another thread.
#include <limits>

#include "local_planning/coverage/coverage_fixtures.hpp"
#include "planning/planner_keys.hpp"

namespace static_coverage_test {
namespace {

using Kind = StaticCoveragePlanning;

struct TaskRun {
  int cycles{0};
  int failures{0};
  int smooth_failures{0};
  bool finished{false};
  // What the robot followed, cycle by cycle, repeats folded: 'E' edge paths, 'R' rows.
  std::string stages;
};

// updateGoal, makePlan and pathSmooter per cycle, the robot moving 5 cm along each local path,
// until the task has ended.
TaskRun runTask(StaticCoveragePlanning& planner, const std::shared_ptr<const Goal>& goal,
                SimulatedRobot& robot) {
  constexpr int kCycleLimit = 20000;
  // Five cycles a second on the planner's clock.
  auto now = std::chrono::system_clock::time_point(std::chrono::hours(1000));
  Access::clock(planner) = [&now]() { return now; };
  TaskRun run;
  while (run.cycles < kCycleLimit) {
    ++run.cycles;
    now += std::chrono::milliseconds(200);
    planner.updateGoal(goal);
    Piece out;
    ControlState state;
    bool replan = false;
    if (!planner.makePlan(out, state, replan)) {
      ++run.failures;
      continue;
    }
    run.smooth_failures += planner.pathSmooter(out.nav_path) ? 0 : 1;
    if (state.finished && Access::taskFinished(planner)) {
      run.finished = true;
      return run;
    }
    const auto& cache = Access::cache(planner).paths;
    const char stage = cache.empty()                                         ? run.stages.back()
                       : cache.front().path_type >= Kind::kFirstEdgeApproach ? 'E'
                                                                             : 'R';
    if (run.stages.empty() || run.stages.back() != stage) {
      run.stages.push_back(stage);
    }
    robot.drive(out.nav_path, 0.05);
  }
  return run;
}

// The least obstacle distance the robot's centre came to.
double closestApproach(const gm::LocalNodeMaps& maps, const std::vector<PoseStamped>& track) {
  double closest = std::numeric_limits<double>::max();
  const auto grid = maps.local->getMultiGridMap();
  for (const auto& p : track) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (grid->getCostmap()->worldToMap(p.pose.position.x, p.pose.position.y, mx, my)) {
      closest = std::min(closest, grid->getDistance(mx, my));
    }
  }
  return closest;
}

TEST_F(PlannerFixture, CleansARoomWithFurnitureEndToEnd) {
  cv::Mat floor = room(100, 80);
  wall(floor, 40, 30, 55, 45);  // A table in the middle of the room.
  // The room's zone, or one drawn past the map's west and south edges, as a task manager may.
  for (const auto& zone : {box(0.1, 0.1, 4.85, 3.85), box(-3.0, -2.0, 4.85, 3.85)}) {
    SCOPED_TRACE(zone.points[0].x);
    build(floor);
    test_support::captureLog()->clear();
    Probe::reset();
    SimulatedRobot robot(maps_, 1.0, 1.0, 0.0, 0.25);
    TaskCentre centre(node_, [&robot]() { return robot.track(); });
    const TaskRun run = runTask(*planner_, coverageGoal("room", {zone}), robot);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.failures, 0);
    EXPECT_EQ(run.smooth_failures, 0);
    // Round the room first, then the rows across it, round the table.
    EXPECT_EQ(run.stages, "ER");
    EXPECT_GT(closestApproach(maps_, robot.track()), 0.2);
    const double share = coveredShare(floor, robot.track(), 0.25, cv::Rect(0, 0, 100, 80));
    std::cout << "covered share of the room: " << share << std::endl;
    EXPECT_GT(share, 0.85);
    // The end of the task once: the covered poses give the cleaned area and the efficiency.
    EXPECT_EQ(centre.requests(), 1);
    EXPECT_EQ(centre.lastFlag(), 1);
    EXPECT_EQ(countLogged("cleaning efficiency is "), 1);
    EXPECT_GT(planner_->getCleanedArea(), 14.0);
    EXPECT_EQ(Probe::cleanCoverageTriggers().count(), 1U);
  }
}

TEST_F(PlannerFixture, CleansTwoZonesOneAfterTheOther) {
  const cv::Mat floor = test_support::drawRoomWithDoor(120, 80, 16, kCell).image;
  build(floor);
  SimulatedRobot robot(maps_, 1.0, 1.0, 0.0, 0.25);
  TaskCentre centre(node_, [&robot]() { return robot.track(); });
  const auto goal = coverageGoal("two", {box(0.1, 0.1, 2.85, 3.85), box(3.1, 0.1, 5.85, 3.85)});
  const TaskRun run = runTask(*planner_, goal, robot);
  ASSERT_TRUE(run.finished);
  // Each zone: edge paths first, then rows.
  EXPECT_EQ(run.stages, "ERER");
  EXPECT_GT(coveredShare(floor, robot.track(), 0.25, cv::Rect(0, 0, 59, 80)), 0.8);
  EXPECT_GT(coveredShare(floor, robot.track(), 0.25, cv::Rect(61, 0, 59, 80)), 0.8);
  EXPECT_EQ(centre.requests(), 1);
  EXPECT_EQ(countLogged("cleaning efficiency is "), 1);
}

// A long thin floor on which 1000 covered cells lie in one row.
class EndOfTaskFixture : public PlannerFixture {
 protected:
  void SetUp() override {
    PlannerFixture::SetUp();
    build(room(1000, 10));
    placeRobot(1.0, 0.25);
    Access::clock(*planner_) = [this]() { return now_; };
    for (int i = 0; i < 1000; ++i) {
      covered_.push_back(pose(0.05 * i, 0.25));
    }
  }

  void startTask(const std::string& uuid, int32_t coverage_width = 1) {
    planner_->updateGoal(coverageGoal(uuid, {box(0.1, 0.1, 49.0, 0.4)}, coverage_width));
    planner_->updateRobotPose();
    // The zone has been planned: its end is the task's end.
    Access::zoneIndex(*planner_) = 0;
  }

  // One end-of-task check with nothing cached: the end of the task.
  NavPath endOfTask() {
    Piece path;
    NavPath local = line(1.0, 0.25, 2.0, 0.25);
    ControlState state;
    planner_->calculateCleaningEfficiency(path, local, state);
    EXPECT_TRUE(state.finished);
    return local;
  }

  std::chrono::system_clock::time_point now_{std::chrono::hours(1000)};
  std::vector<PoseStamped> covered_;
};

TEST_F(EndOfTaskFixture, ComputesTheCleanedAreaAndEfficiencyOncePerTask) {
  TaskCentre centre(node_, [this]() {
    // Off the map on both sides: these cannot be drawn and are skipped.
    auto poses = covered_;
    poses.insert(poses.begin(), pose(-1.0, -1.0));
    poses.push_back(pose(60.0, 0.25));
    return poses;
  });
  startTask("efficiency");
  now_ += std::chrono::seconds(1800);
  const NavPath local = endOfTask();
  // The robot stops where it stands.
  ASSERT_EQ(local.poses.size(), 1U);
  EXPECT_DOUBLE_EQ(local.poses[0].pose.position.x, 1.0);
  // 1000 cells of 0.05 m (a 32-bit float) in 30 minutes.
  EXPECT_NEAR(planner_->getCleanedArea(), 2.5, 1e-6);
  EXPECT_EQ(cv::countNonZero(Access::coveredMask(*planner_)), 1000);
  EXPECT_EQ(countLogged("cleaning efficiency is 5.00000014"), 1);
  EXPECT_EQ(countLogged(" square_meter/hour, cleaned area is 2.50000007"), 1);
  EXPECT_EQ(countLogged(" use time 30 min"), 1);
  EXPECT_EQ(countLogged("2 covered points off the map"), 1);

  // Later ends of the same task ask nothing.
  endOfTask();
  EXPECT_EQ(centre.requests(), 1);

  // A new task asks again; shorter than a second it stores the area and logs no efficiency.
  startTask("quick", 0);
  endOfTask();
  EXPECT_EQ(centre.requests(), 2);
  EXPECT_NEAR(planner_->getCleanedArea(), 2.5, 1e-6);
  EXPECT_EQ(countLogged("cleaning efficiency is "), 1);
  // A width that is no line thickness is drawn one cell wide.
  EXPECT_EQ(countLogged("coverage width 0 drawn as 1"), 1);
  planner_->reset();
  EXPECT_DOUBLE_EQ(planner_->getCleanedArea(), 0.0);
}

TEST_F(EndOfTaskFixture, GivesUpOnAMissingSlowOrEmptyAnswerWithoutRetrying) {
  startTask("nobody");
  // A done path while the robot pose is lost does not end the task.
  MultiPaths set;
  set.paths.resize(2);
  planner_->updateGlobalPaths(set);
  gm::removeRobotPose(*maps_.local);
  endOfTask();
  EXPECT_FALSE(Access::taskFinished(*planner_));
  EXPECT_EQ(Access::cache(*planner_).paths.size(), 2U);
  planner_->updateGlobalPaths(MultiPaths());
  endOfTask();
  EXPECT_EQ(countLogged("get_coverage_points server not exist"), 1);

  // A centre whose node nobody spins never answers.
  auto mute = std::make_shared<rclcpp::Node>("mute_centre");
  auto service = mute->create_service<GetCoveredPoints>(
      "/get_coverage_point", [](const std::shared_ptr<GetCoveredPoints::Request>,
                                std::shared_ptr<GetCoveredPoints::Response>) {});
  startTask("slow");
  endOfTask();
  EXPECT_EQ(countLogged("SyncCallService get_coverage_points server timeout"), 1);
  endOfTask();
  EXPECT_EQ(countLogged("SyncCallService get_coverage_points server timeout"), 1);
  service.reset();

  TaskCentre empty(node_, []() { return std::vector<PoseStamped>(); });
  startTask("empty");
  endOfTask();
  EXPECT_EQ(empty.requests(), 1);
  EXPECT_EQ(countLogged("covered_points is empty."), 1);
  EXPECT_DOUBLE_EQ(planner_->getCleanedArea(), 0.0);
}

TEST(StaticCoverageThroughTheNode, CleansARoomGoalAfterGoal) {
  Probe::reset();
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  NodeUnderTest under_test(room(60, 50), 0.6, 0.6);
  ASSERT_TRUE(under_test.configured());
  auto goal = *coverageGoal("through-node", {box(0.1, 0.1, 2.85, 2.35)});
  goal.current_planning_id = planning::local_keys::kStaticCoverage;
  float cleaned = 0.0F;
  for (int goals = 0; goals < 3000 && cleaned == 0.0F; ++goals) {
    const auto reply = under_test.send(goal);
    ASSERT_TRUE(reply.succeeded());
    cleaned = reply.result->cleaned_area;
    under_test.robot().drive(reply.result->local_path.nav_path, 0.05);
  }
  EXPECT_GT(cleaned, 3.0F);
  EXPECT_EQ(under_test.centre().requests(), 1);
  EXPECT_GT(Probe::localPaths().count(), 100U);
}

}  // namespace
}  // namespace static_coverage_test
