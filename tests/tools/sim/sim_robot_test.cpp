// The simulated robot drives what it is handed on a drawn corridor: within its speed limits,
// turning in place and tail first when told, seen by every costmap, heard by the communicator,
// sweeping its cleaning width, and stopping short of obstacles.
#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "planning_sim/node_host.hpp"
#include "planning_sim/task_centre.hpp"
#include "sim_fixtures.hpp"
#include "tf2/utils.h"
#include "vantrell_communicator/communicator_engine.hpp"

namespace sim_test {
namespace {

using planning_sim::FollowResult;
using planning_sim::ObstacleInjection;

double yawOf(const geometry_msgs::msg::PoseStamped& pose) {
  return tf2::getYaw(pose.pose.orientation);
}

// Speeds between consecutive track poses never exceed the robot's limits.
void expectWithinLimits(const std::vector<geometry_msgs::msg::PoseStamped>& track,
                        const planning_sim::SimRobotParams& params) {
  for (size_t i = 1; i < track.size(); ++i) {
    const double dt =
        (rclcpp::Time(track[i].header.stamp) - rclcpp::Time(track[i - 1].header.stamp)).seconds();
    ASSERT_NEAR(dt, params.step, 1e-9) << "pose " << i;
    const auto& a = track[i - 1].pose.position;
    const auto& b = track[i].pose.position;
    EXPECT_LE(std::hypot(b.x - a.x, b.y - a.y) / dt, params.max_linear_speed + 1e-9) << i;
    const double turn = std::atan2(std::sin(yawOf(track[i]) - yawOf(track[i - 1])),
                                   std::cos(yawOf(track[i]) - yawOf(track[i - 1])));
    EXPECT_LE(std::abs(turn) / dt, params.max_angular_speed + 1e-9) << i;
  }
}

TEST(SimRobot, DrivesADrawnCorridorPathToItsEndWithinItsLimits) {
  Bench bench(corridorFloor());
  bench.robot.place(pose2(0.8, 0.9));
  const rclcpp::Time start = bench.clock.now();
  // East along the corridor, a dog-leg across it, and on.
  const auto path = polyline({point(0.8, 0.9), point(3.0, 0.9), point(3.6, 1.2), point(7.5, 1.2)});
  const FollowResult driven = bench.robot.follow(path);

  ASSERT_EQ(driven.ending, FollowResult::Ending::kReachedEnd);
  const auto end = bench.robot.pose();
  EXPECT_NEAR(end.x, 7.5, bench.robot.params().arrival_tolerance);
  EXPECT_NEAR(end.y, 1.2, bench.robot.params().arrival_tolerance);
  EXPECT_FALSE(bench.robot.collision());
  EXPECT_EQ(bench.clock.now(), start + driven.elapsed);
  EXPECT_GE(driven.elapsed.seconds() + 1e-9, driven.distance / 0.3);
  EXPECT_GT(driven.distance, 6.7);
  const auto track = bench.robot.track();
  expectWithinLimits(track, bench.robot.params());
  for (const auto& pose : track) {
    EXPECT_NEAR(pose.pose.position.y, 1.05, 0.2) << "the robot keeps to the path";
  }

  // Every costmap reads the robot where it stopped.
  bench.robot.settle();
  for (const auto& map : bench.maps.list()) {
    SCOPED_TRACE(map->get_name());
    geometry_msgs::msg::PoseStamped seen;
    ASSERT_TRUE(map->getCostmapROS()->getRobotPose(seen));
    EXPECT_DOUBLE_EQ(seen.pose.position.x, end.x);
    EXPECT_DOUBLE_EQ(seen.pose.position.y, end.y);
  }
}

TEST(SimRobot, StopsShortOfAnInjectedObstacleAndReportsTheCollisionItAvoided) {
  // A block across the corridor at x 4.5 .. 4.8, appearing at 5 s of the trip or once the robot
  // comes within 0.3 m of x = 3.
  const auto block = box(4.5, 0.0, 4.8, 1.8);
  struct Case {
    std::string name;
    bool by_time;
  };
  for (const Case& c : {Case{"at a time", true}, Case{"at a position", false}}) {
    SCOPED_TRACE(c.name);
    Bench bench(corridorFloor());
    bench.robot.place(pose2(0.8, 0.9));
    bench.world.schedule(
        c.by_time ? ObstacleInjection::atTime(block, bench.clock.now() + rclcpp::Duration(5, 0))
                  : ObstacleInjection::whenRobotNear(block, 3.0, 0.9, 0.3));
    const FollowResult driven = bench.robot.follow(polyline({point(0.8, 0.9), point(7.5, 0.9)}));

    ASSERT_EQ(driven.ending, FollowResult::Ending::kCollision);
    ASSERT_TRUE(bench.robot.collision());
    const auto collision = *bench.robot.collision();
    EXPECT_EQ(bench.world.appeared(), 1u);
    EXPECT_EQ(collision.at.x, bench.robot.pose().x);
    EXPECT_GT(collision.blocked.x, collision.at.x);
    EXPECT_GE(collision.cell.x, 90) << "a cell of the block";
    EXPECT_LE(collision.cell.x, 96);
    // The robot's front (0.3 m ahead of its centre) stopped within a cell of the block.
    EXPECT_LT(bench.robot.pose().x + 0.3, 4.5);
    EXPECT_GT(bench.robot.pose().x + 0.3, 4.4);

    // The local map saw the block at its next update; the global map did not.
    const auto cost = [](const planning_sim::GridMapROS& map) {
      map.getMultiGridMap()->updateMap();
      return map.getCostmapROS()->getCostmap()->getCost(93, 18);
    };
    EXPECT_EQ(cost(*bench.maps.local), nav2_costmap_2d::LETHAL_OBSTACLE);
    EXPECT_NE(cost(*bench.maps.global), nav2_costmap_2d::LETHAL_OBSTACLE);
  }
}

// As a LocalPlanning result asks: turn in place to the spin angle first, or drive tail first
// along a backward path; the communicator hears the odometry of each.
TEST(SimRobot, TurnsInPlaceAndDrivesTailFirstAsResultsSay) {
  Bench bench(corridorFloor());
  const auto odometry = vantrell_communicator::CommunicatorEngine::GetInstance()->getOdomUnit();
  planning_sim::SimRobot::LocalPlanningResult turn_then_drive;
  turn_then_drive.spin_required = 1;
  turn_then_drive.spin_angle = 0.0;
  turn_then_drive.local_path.nav_path = polyline({point(1.0, 0.9), point(3.0, 0.9)});
  planning_sim::SimRobot::LocalPlanningResult backward;
  backward.local_path.move_backward = true;
  backward.local_path.nav_path = polyline({point(3.0, 0.9), point(1.5, 0.9)});

  bench.robot.place(pose2(1.0, 0.9, M_PI / 2.0));
  const FollowResult turned = bench.robot.follow(turn_then_drive, rclcpp::Duration(2, 0));
  EXPECT_EQ(turned.ending, FollowResult::Ending::kTimeUp);
  const auto track = bench.robot.track();
  for (const auto& pose : track) {
    EXPECT_DOUBLE_EQ(pose.pose.position.x, 1.0) << "still turning on the spot";
  }
  EXPECT_NEAR(yawOf(track.back()), M_PI / 2.0 - 0.52 * 2.0, 1e-6);
  bench.robot.settle();
  EXPECT_NEAR(odometry->getOdom().twist.angular.z, -0.52, 1e-9);
  EXPECT_EQ(odometry->getOdom().twist.linear.x, 0.0);

  ASSERT_TRUE(bench.robot.follow(turn_then_drive).reachedEnd());
  EXPECT_NEAR(bench.robot.pose().x, 3.0, 0.05);
  EXPECT_NEAR(bench.robot.pose().theta, 0.0, 0.05);

  const double before = bench.robot.pose().x;
  const FollowResult reversed = bench.robot.follow(backward, rclcpp::Duration(2, 0));
  EXPECT_EQ(reversed.ending, FollowResult::Ending::kTimeUp);
  bench.robot.settle();
  EXPECT_NEAR(bench.robot.pose().x, before - 0.6, 0.01) << "two seconds at full speed";
  EXPECT_NEAR(bench.robot.pose().theta, 0.0, 0.05) << "facing away from where it goes";
  EXPECT_NEAR(odometry->getOdom().twist.linear.x, -0.3, 1e-9);
  EXPECT_EQ(odometry->getOdom().header.frame_id, "base_footprint");
  EXPECT_EQ(rclcpp::Time(odometry->getOdom().header.stamp), bench.clock.now());
  ASSERT_TRUE(bench.robot.follow(backward).reachedEnd());
  EXPECT_NEAR(bench.robot.pose().x, 1.5, 0.05);
}

TEST(SimRobot, SweepsItsCleaningWidthAndTheTaskCentreAnswersWithItsTrack) {
  Bench bench(corridorFloor());
  bench.robot.place(pose2(1.0, 0.9));
  ASSERT_TRUE(bench.robot.follow(polyline({point(1.0, 0.9), point(3.0, 0.9)})).reachedEnd());

  // 2 m of a 0.5 m wide sweep, with round ends.
  EXPECT_NEAR(bench.robot.coveredArea(), 2.0 * 0.5 + M_PI * 0.25 * 0.25, 0.1);
  const cv::Mat covered = bench.robot.coveredCells();
  EXPECT_EQ(covered.at<uint8_t>(18, 40), 255) << "on the way";
  EXPECT_EQ(covered.at<uint8_t>(13, 40), 255) << "0.25 m aside";
  EXPECT_EQ(covered.at<uint8_t>(10, 40), 0) << "0.4 m aside";
  EXPECT_EQ(covered.at<uint8_t>(18, 70), 0) << "beyond the end";

  planning_sim::TaskCentre centre([&bench]() { return bench.robot.track(); });
  planning_sim::NodeHost host;
  host.spin(centre.node());
  auto asker = std::make_shared<rclcpp::Node>("coverage_asker");
  auto client =
      asker->create_client<planning_sim::TaskCentre::GetCoveredPoints>("/get_coverage_point");
  ASSERT_TRUE(client->wait_for_service(std::chrono::seconds(10)));
  for (const uint8_t flag : {1, 0}) {
    SCOPED_TRACE(static_cast<int>(flag));
    auto request = std::make_shared<planning_sim::TaskCentre::GetCoveredPoints::Request>();
    request->request_flag = flag;
    auto pending = client->async_send_request(request);
    ASSERT_EQ(rclcpp::spin_until_future_complete(asker, pending.future, std::chrono::seconds(10)),
              rclcpp::FutureReturnCode::SUCCESS);
    const auto response = pending.future.get();
    EXPECT_EQ(response->success, flag == 1);
    EXPECT_EQ(response->covered_poses,
              flag == 1 ? bench.robot.track() : std::vector<geometry_msgs::msg::PoseStamped>());
  }
  EXPECT_EQ(centre.requests(), 2u);
  EXPECT_GT(bench.robot.track().size(), 100u);
}

}  // namespace
}  // namespace sim_test
