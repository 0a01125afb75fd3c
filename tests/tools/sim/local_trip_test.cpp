// Trips through the local planning node on simulated time: the node plans from where the robot's
// transform puts it, the robot drives each local path for a control period, and the next goal
// starts from there. The corridor trips use a planner of this test in the node's table, which
// hands out the next 1.5 m of the global path and sees no obstacle; the coverage task uses the
// node's own static coverage planner.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <string>
#include <utility>
#include <vector>

#include "planning/local_planning/nav_local_planning.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/task_centre.hpp"
#include "planning_sim/zone_cleaner.hpp"
#include "planning_sim/zone_run.hpp"
#include "sim_fixtures.hpp"
#include "support/shapes.hpp"

namespace sim_test {
namespace {

using planning_sim::TripEnd;

class PathAheadPlanner final : public planning::NavLocalPlanning {
 public:
  using NavLocalPlanning::NavLocalPlanning;

  bool makePlan(Path& path, ControlState& state, bool& need_replan) override {
    PoseStamped robot;
    if (!getLocalRobotPose(robot) || getGlobalPaths().paths.empty()) {
      return false;
    }
    const auto& poses = getGlobalPaths().paths.back().nav_path.poses;
    size_t nearest = 0;
    for (size_t i = 0; i < poses.size(); ++i) {
      if (distance(poses[i], robot) < distance(poses[nearest], robot)) {
        nearest = i;
      }
    }
    path.nav_path.poses.clear();
    for (size_t i = nearest; i < poses.size() && distance(poses[i], poses[nearest]) <= 1.5; ++i) {
      path.nav_path.poses.push_back(poses[i]);
    }
    state.finished = path.nav_path.poses.back() == poses.back();
    need_replan = false;
    return true;
  }
  bool pathSmooter(nav_msgs::msg::Path& /*path*/) override { return true; }

 private:
  static double distance(const PoseStamped& a, const PoseStamped& b) {
    return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
  }
};

class TripNode : public planning::NavLocalPlanningServer {
 public:
  using NavLocalPlanningServer::NavLocalPlanningServer;

 protected:
  void buildPlanners() override {
    NavLocalPlanningServer::buildPlanners();
    addPlanner<PathAheadPlanner>("path_ahead");
  }
};

// What the task centre answers a planner that asks for the covered poses now.
std::vector<geometry_msgs::msg::PoseStamped> coveredPosesAnswered() {
  using GetCoveredPoints = planning_sim::TaskCentre::GetCoveredPoints;
  auto asker = std::make_shared<rclcpp::Node>("coverage_asker");
  auto client = asker->create_client<GetCoveredPoints>("/get_coverage_point");
  auto request = std::make_shared<GetCoveredPoints::Request>();
  request->request_flag = 1;
  auto pending = client->async_send_request(request);
  if (rclcpp::spin_until_future_complete(asker, pending.future, std::chrono::seconds(10)) !=
      rclcpp::FutureReturnCode::SUCCESS) {
    ADD_FAILURE() << "the task centre did not answer";
    return {};
  }
  return pending.future.get()->covered_poses;
}

planning_sim::LocalTrip::LocalPlanning::Goal corridorGoal() {
  planning_sim::LocalTrip::LocalPlanning::Goal goal;
  goal.current_planning_id = "path_ahead";
  goal.global_path_uuid = "corridor";
  goal.global_paths.uuid = "corridor";
  goal.global_paths.paths.resize(1);
  goal.global_paths.paths[0].nav_path = polyline({point(0.8, 0.9), point(7.5, 0.9)});
  return goal;
}

TEST(LocalTrip, TheRobotArrivesDrivingThePathsTheLocalNodeHandsOut) {
  planning_sim::LocalPlanningSim sim(corridorFloor());
  auto node = sim.startLocalNode<TripNode>();
  sim.robot().place(pose2(0.8, 0.9));
  const auto report = sim.trip().run(corridorGoal());

  EXPECT_EQ(report.end, TripEnd::kArrived);
  EXPECT_EQ(report.failures, 0u);
  EXPECT_FALSE(report.collision);
  EXPECT_NEAR(sim.robot().pose().x, 7.5, 0.1);
  // 6.7 m at 0.3 m/s, a 0.5 s control period each.
  EXPECT_NEAR(report.elapsed.seconds(), 6.7 / 0.3, 1.0);
  ASSERT_GE(report.cycles.size(), 40u);
  for (const auto& cycle : report.cycles) {
    SCOPED_TRACE(cycle.robot.x);
    ASSERT_TRUE(cycle.reply.succeeded);
    // Each plan started where the robot stood when it was asked.
    const auto& first = cycle.reply.result.local_path.nav_path.poses.front().pose.position;
    EXPECT_NEAR(first.x, cycle.robot.x, 0.06);
  }
  // The node's clock is the simulation's.
  sim.robot().settle();
  EXPECT_EQ(node->now(), sim.clock().now());
}

TEST(LocalTrip, TheRobotStopsShortOfAnObstacleThePlannerDrivesInto) {
  // The blind follower drives the planner's path as it is, so that the world refuses the step.
  planning_sim::LocalPlanningSimOptions options;
  options.controller.footprint_aware = false;
  planning_sim::LocalPlanningSim sim(corridorFloor(), options);
  auto node = sim.startLocalNode<TripNode>();
  sim.robot().place(pose2(0.8, 0.9));
  sim.world().schedule(
      planning_sim::ObstacleInjection::whenRobotNear(box(4.5, 0.0, 4.8, 1.8), 3.0, 0.9, 0.3));
  const auto report = sim.trip().run(corridorGoal());

  EXPECT_EQ(report.end, TripEnd::kCollision);
  ASSERT_TRUE(report.collision);
  EXPECT_LT(sim.robot().pose().x + 0.3, 4.5);
  EXPECT_GT(sim.robot().pose().x + 0.3, 4.4);
}

// A static coverage task of the node's own table cleans a room with a round robot; at its end
// the planner asks the task centre for the covered poses, the robot's track, and reports the
// cleaned area.
TEST(LocalTrip, ACoverageTaskEndsWithTheTaskCentreAskedForTheCoveredPoses) {
  const test_support::DrawnMap room = test_support::drawEmptyRoom(60, 50, 0.05);
  planning_sim::LocalPlanningSimOptions options;
  options.trip.finishes = planning_sim::reportsCleanedArea;
  // A round robot of 0.2 m radius.
  options.map_params.footprint.clear();
  for (int corner = 0; corner < 8; ++corner) {
    options.map_params.footprint.push_back(
        point(0.2 * std::cos(corner * M_PI / 4.0), 0.2 * std::sin(corner * M_PI / 4.0)));
  }
  planning_sim::LocalPlanningSim sim(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(room.image, room.resolution),
      options);
  auto node = sim.startLocalNode();
  sim.robot().place(pose2(0.6, 0.6));
  planning_sim::LocalTrip::LocalPlanning::Goal goal;
  goal.current_planning_id = planning::local_keys::kStaticCoverage;
  goal.global_path_uuid = "room";
  goal.zone_polygons = {test_support::box(0.1, 0.1, 2.85, 2.35)};
  goal.coverage_width = 10;
  goal.path_overlap_distance = 3;
  const auto report = sim.trip().run(goal);

  EXPECT_EQ(report.end, TripEnd::kFinished);
  EXPECT_FALSE(report.collision);
  EXPECT_EQ(sim.taskCentre().requests(), 1u);
  ASSERT_FALSE(report.cycles.empty());
  // The planner's cleaned area is drawn from the track it was given: what the robot swept.
  EXPECT_NEAR(report.cycles.back().reply.result.cleaned_area, sim.robot().coveredArea(),
              0.05 * sim.robot().coveredArea());
  EXPECT_GT(sim.robot().coveredArea(), 0.95 * 2.75 * 2.25) << "the zone and a little more";
}

// Two zones of a room cleaned in a row, as a task manager hands them out: the task centre answers
// each task with what the robot covered after that task started (the static planner asks once,
// as the task ends), not with the robot's whole run.
TEST(LocalTrip, TheTaskCentreAnswersEachTaskWithItsOwnCoveredPoses) {
  const test_support::DrawnMap room = test_support::drawEmptyRoom(60, 50, 0.05);
  planning_sim::LocalPlanningSimOptions options;
  options.map_params.footprint = planning_sim::roundFootprint(0.2);
  planning_sim::LocalPlanningSim sim(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(room.image, room.resolution),
      options);
  auto node = sim.startLocalNode();
  sim.robot().place(pose2(0.6, 0.6));
  planning_sim::ZoneCleaner cleaner(sim);
  for (const auto& [task, zone] : {std::pair("west", test_support::box(0.1, 0.1, 1.4, 2.35)),
                                   std::pair("east", test_support::box(1.6, 0.1, 2.85, 2.35))}) {
    SCOPED_TRACE(task);
    const auto report = cleaner.clean(
        planning_sim::coverageGoal(planning::local_keys::kStaticCoverage, task, zone, 10, 3), 2.9);
    ASSERT_TRUE(report.finished()) << planning_sim::cleaningEndName(report.end);
    EXPECT_EQ(report.covered_points_answers, 1U);
    // The robot has stood since: the task's track, but for the pose it started from.
    const auto answered = coveredPosesAnswered();
    EXPECT_EQ(answered.size() + 1, report.track.size());
    ASSERT_FALSE(answered.empty());
    EXPECT_EQ(answered.front().pose.position.x, report.track[1].x);
    EXPECT_EQ(answered.front().pose.position.y, report.track[1].y);
  }
}

// A zone drawn inside a wall holds no floor: either coverage planner fails the task's goals at
// once, and the task manager gives the zone up as refused, long before the stall limit.
TEST(LocalTrip, AZoneWithoutFloorIsRefusedByEitherCoveragePlanner) {
  test_support::DrawnMap room = test_support::drawEmptyRoom(60, 50, 0.05);
  cv::rectangle(room.image, cv::Rect(30, 10, 20, 20), cv::Scalar(test_support::kWall), cv::FILLED);
  const geometry_msgs::msg::Polygon in_the_wall = test_support::box(1.6, 0.6, 2.4, 1.4);
  for (const char* planner :
       {planning::local_keys::kStaticCoverage, planning::local_keys::kDynamicCoverage}) {
    SCOPED_TRACE(planner);
    planning_sim::LocalPlanningSim sim(
        vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(room.image, room.resolution));
    auto node = sim.startLocalNode();
    sim.robot().place(pose2(0.6, 0.6));
    planning_sim::ZoneCleaner cleaner(sim);
    const auto report =
        cleaner.clean(planning_sim::coverageGoal(planner, "wall", in_the_wall, 12, 0), 0.64);
    EXPECT_EQ(report.end, planning_sim::CleaningEnd::kRefused)
        << planning_sim::cleaningEndName(report.end);
    EXPECT_EQ(report.failures, 50U);
    EXPECT_LT(report.elapsed.seconds(), 10.0);
  }
}

// A room narrower than the static planner's clearance leaves under its minimum cleaning area:
// the planner finds nothing to clean and holds the robot where it stands with `finished`, its
// path the robot pose twice over. The task manager takes that for the end of the task rather
// than waiting for the stall limit.
TEST(LocalTrip, AStaticTaskWithNothingItCanCleanEndsFinished) {
  test_support::DrawnMap room = test_support::drawEmptyRoom(22, 34, 0.05);
  planning_sim::LocalPlanningSim sim(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(room.image, room.resolution));
  auto node = sim.startLocalNode();
  sim.robot().place(pose2(0.55, 0.85, M_PI / 2.0));
  planning_sim::ZoneCleaner cleaner(sim);
  const auto report =
      cleaner.clean(planning_sim::coverageGoal(planning::local_keys::kStaticCoverage, "narrow",
                                               test_support::box(0.05, 0.05, 1.05, 1.65), 12, 0),
                    1.6);
  EXPECT_EQ(report.end, planning_sim::CleaningEnd::kFinished)
      << planning_sim::cleaningEndName(report.end);
  EXPECT_EQ(report.failures, 0U);
  EXPECT_LT(report.elapsed.seconds(), 10.0);
}

}  // namespace
}  // namespace sim_test
