#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"

namespace {

using vantrell_communicator::CommunicatorEngine;
using vantrell_communicator::testing::CommunicatorProbe;

geometry_msgs::msg::PoseStamped pose(double x, double y, const std::string& frame = "map") {
  geometry_msgs::msg::PoseStamped p;
  p.header.frame_id = frame;
  p.pose.position.x = x;
  p.pose.position.y = y;
  return p;
}

vantrell_nav2_protocol::msg::MultiPaths pathSet(const std::string& uuid) {
  vantrell_nav2_protocol::msg::MultiPaths paths;
  paths.header.frame_id = "map";
  paths.uuid = uuid;
  paths.paths.resize(1);
  paths.paths[0].nav_path.poses = {pose(0, 0), pose(1, 0)};
  return paths;
}

// Must run first in this executable: the engine is made by whichever of the
// racing threads gets there first, and only once.
TEST(CommunicatorEngineCreation, ConcurrentFirstCallsMakeOneEngine) {
  constexpr int kThreads = 8;
  std::promise<void> start;
  std::shared_future<void> go = start.get_future().share();
  std::vector<std::future<CommunicatorEngine*>> seen;
  for (int i = 0; i < kThreads; ++i) {
    seen.push_back(std::async(std::launch::async, [go] {
      go.wait();
      return CommunicatorEngine::GetInstance().get();
    }));
  }
  start.set_value();
  std::set<CommunicatorEngine*> engines;
  for (auto& f : seen) {
    engines.insert(f.get());
  }
  ASSERT_EQ(engines.size(), 1u);
  EXPECT_EQ(*engines.begin(), CommunicatorEngine::GetInstance().get());
  EXPECT_GE(CommunicatorEngine::GetInstance().use_count(), 2);
}

class CommunicatorTest : public ::testing::Test {
 protected:
  void SetUp() override { CommunicatorProbe::reset(); }
  void TearDown() override { CommunicatorProbe::reset(); }

  std::shared_ptr<CommunicatorEngine> engine_ = CommunicatorEngine::GetInstance();
};

TEST_F(CommunicatorTest, UnitsAreTheSameObjectsForEveryCaller) {
  auto other = CommunicatorEngine::GetInstance();
  EXPECT_EQ(engine_, other);
  EXPECT_EQ(engine_->getPlanningUnit(), other->getPlanningUnit());
  EXPECT_EQ(engine_->getOdomUnit(), other->getOdomUnit());
  EXPECT_NE(engine_->getPlanningUnit(), nullptr);
  EXPECT_NE(engine_->getRobotEventUnit(), nullptr);
  EXPECT_NE(engine_->getErrCodeUnit(), nullptr);
  EXPECT_NE(engine_->getDynamicObstacleUnit(), nullptr);
  EXPECT_NE(engine_->getPeopleInfoUnit(), nullptr);
}

TEST_F(CommunicatorTest, PublishedPathSetReachesASubscriber) {
  auto listener = std::make_shared<rclcpp::Node>("global_path_listener");
  std::promise<vantrell_nav2_protocol::msg::MultiPaths> received;
  auto subscription = listener->create_subscription<vantrell_nav2_protocol::msg::MultiPaths>(
      "/communicator/global_path", 10,
      [&received](vantrell_nav2_protocol::msg::MultiPaths::SharedPtr msg) {
        received.set_value(*msg);
      });
  engine_->getPlanningUnit()->publishGlobalPath(pathSet("set-1"));

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  auto future = received.get_future();
  ASSERT_EQ(executor.spin_until_future_complete(future, std::chrono::seconds(10)),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(future.get(), pathSet("set-1"));
}

TEST_F(CommunicatorTest, EveryPlanningCallIsSentAsGiven) {
  auto planning = engine_->getPlanningUnit();
  planning->publishGlobalPath(pathSet("global"));
  planning->publishCroppedGlobalPath(pathSet("cropped"));
  planning->publishDynamicGlobalPath(pathSet("dynamic"));
  nav_msgs::msg::Path local;
  local.header.frame_id = "odom";
  local.poses = {pose(2, 3, "odom")};
  planning->publishLocalPath(local);
  nav_msgs::msg::Path contour_path;
  contour_path.poses = {pose(5, 5)};
  planning->publishContourPath(contour_path);
  visualization_msgs::msg::Marker marker;
  marker.ns = "searched_point";
  marker.type = visualization_msgs::msg::Marker::POINTS;
  planning->publishConnectiveArea(marker);
  geometry_msgs::msg::Polygon zone;
  zone.points.resize(3);
  zone.points[1].x = 1.0f;
  planning->publishContour(zone);
  planning->triggerCleanCoverage(true, 5, 60);
  planning->triggerCleanCoverage(false, 0, 0);
  std_msgs::msg::Int8 wait;
  wait.data = 7;
  planning->publishWaitForDynamicObstacle(wait);
  vantrell_protocol::msg::CoveredPoints covered;
  covered.covered_points.resize(6);
  planning->publishCoveredPoints(covered);
  planning->publishCoveredPath({pose(1, 1, "map"), pose(2, 1, "map")});
  planning->publishCoveredPath({});

  EXPECT_EQ(CommunicatorProbe::globalPaths().kept().at(0).uuid, "global");
  EXPECT_EQ(CommunicatorProbe::croppedGlobalPaths().kept().at(0).uuid, "cropped");
  EXPECT_EQ(CommunicatorProbe::dynamicGlobalPaths().kept().at(0).uuid, "dynamic");
  EXPECT_EQ(CommunicatorProbe::localPaths().kept().at(0), local);
  EXPECT_EQ(CommunicatorProbe::contourPaths().kept().at(0), contour_path);
  EXPECT_EQ(CommunicatorProbe::connectiveAreas().kept().at(0), marker);
  EXPECT_EQ(CommunicatorProbe::contours().kept().at(0), zone);
  const auto triggers = CommunicatorProbe::cleanCoverageTriggers().kept();
  ASSERT_EQ(triggers.size(), 2u);
  EXPECT_TRUE(triggers[0].start);
  EXPECT_EQ(triggers[0].path_overlap, 5);
  EXPECT_EQ(triggers[0].coverage_width, 60);
  EXPECT_FALSE(triggers[1].start);
  EXPECT_EQ(CommunicatorProbe::waitForDynamicObstacles().kept().at(0).data, 7);
  EXPECT_EQ(CommunicatorProbe::coveredPoints().kept().at(0), covered);
  const auto covered_paths = CommunicatorProbe::coveredPaths().kept();
  ASSERT_EQ(covered_paths.size(), 2u);
  EXPECT_EQ(covered_paths[0].header.frame_id, "map");
  ASSERT_EQ(covered_paths[0].poses.size(), 2u);
  EXPECT_DOUBLE_EQ(covered_paths[0].poses[1].pose.position.x, 2.0);
  EXPECT_TRUE(covered_paths[1].poses.empty());
}

TEST_F(CommunicatorTest, RobotEventsAndRecordingRequests) {
  vantrell_protocol::msg::RobotEvent event;
  event.event_type = 6;
  event.event_code = 70001;
  engine_->getRobotEventUnit()->publishRobotEvent(event);
  engine_->getErrCodeUnit()->publishActiveTriggerRosbag("vantrell_nav2_planning", "task_finished");

  ASSERT_EQ(CommunicatorProbe::robotEvents().count(), 1u);
  EXPECT_EQ(CommunicatorProbe::robotEvents().kept()[0], event);
  const auto requests = CommunicatorProbe::rosbagTriggers().kept();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].module, "vantrell_nav2_planning");
  EXPECT_EQ(requests[0].event, "task_finished");
}

// The coverage and recording triggers are protocol messages like the rest, so a subscriber on
// another node hears them.
TEST_F(CommunicatorTest, TriggersReachSubscribersAsProtocolMessages) {
  using vantrell_protocol::msg::CleanCoverageTrigger;
  using vantrell_protocol::msg::RosbagTrigger;
  auto listener = std::make_shared<rclcpp::Node>("trigger_listener");
  std::vector<CleanCoverageTrigger> coverage;
  std::vector<RosbagTrigger> recordings;
  auto coverage_sub = listener->create_subscription<CleanCoverageTrigger>(
      "/communicator/clean_coverage", 10,
      [&coverage](CleanCoverageTrigger::ConstSharedPtr msg) { coverage.push_back(*msg); });
  auto recording_sub = listener->create_subscription<RosbagTrigger>(
      "/communicator/active_trigger_rosbag", 10,
      [&recordings](RosbagTrigger::ConstSharedPtr msg) { recordings.push_back(*msg); });

  engine_->getPlanningUnit()->triggerCleanCoverage(true, 5, 60);
  engine_->getErrCodeUnit()->publishActiveTriggerRosbag("vantrell_nav2_planning", "task_finished");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  for (int pass = 0; pass < 100 && (coverage.empty() || recordings.empty()); ++pass) {
    executor.spin_some();
  }

  CleanCoverageTrigger started;
  started.start = true;
  started.path_overlap = 5;
  started.coverage_width = 60;
  EXPECT_EQ(coverage, std::vector<CleanCoverageTrigger>{started});
  RosbagTrigger finished;
  finished.module = "vantrell_nav2_planning";
  finished.event = "task_finished";
  EXPECT_EQ(recordings, std::vector<RosbagTrigger>{finished});
}

TEST_F(CommunicatorTest, KeepsTheLatestMessagesAndCountsAll) {
  auto planning = engine_->getPlanningUnit();
  for (int i = 0; i < 300; ++i) {
    planning->publishGlobalPath(pathSet(std::to_string(i)));
  }
  const auto kept = CommunicatorProbe::globalPaths().kept();
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 300u);
  ASSERT_EQ(kept.size(), 256u);
  EXPECT_EQ(kept.front().uuid, "44");
  EXPECT_EQ(kept.back().uuid, "299");
}

TEST_F(CommunicatorTest, ReportsFromTheRobotAreReadBack) {
  EXPECT_EQ(engine_->getOdomUnit()->getOdom(), geometry_msgs::msg::TwistStamped());
  EXPECT_TRUE(engine_->getDynamicObstacleUnit()->getDynamicObstacle().empty());
  EXPECT_TRUE(engine_->getPeopleInfoUnit()->getPeopleInfo().empty());

  geometry_msgs::msg::TwistStamped odom;
  odom.header.frame_id = "base_footprint";
  odom.twist.linear.x = 0.4;
  odom.twist.angular.z = -0.2;
  CommunicatorProbe::setOdom(odom);
  EXPECT_EQ(engine_->getOdomUnit()->getOdom(), odom);

  nav_msgs::msg::Path trajectory;
  trajectory.header.stamp.sec = 12;
  trajectory.poses = {pose(1, 0), pose(1, 1)};
  CommunicatorProbe::setDynamicObstacle({trajectory, trajectory});
  EXPECT_EQ(engine_->getDynamicObstacleUnit()->getDynamicObstacle().size(), 2u);

  vantrell_communicator::PeopleInfo camera;
  camera.header.stamp.sec = 3;
  camera.people = {{1.5, 0.2}, {3.0, -1.0}};
  vantrell_communicator::PeopleInfo lidar;
  lidar.people = {{0.5, 0.0}};
  CommunicatorProbe::setPeopleInfo("lidar", lidar);
  CommunicatorProbe::setPeopleInfo("camera", camera);
  const auto people = engine_->getPeopleInfoUnit()->getPeopleInfo();
  ASSERT_EQ(people.size(), 2u);
  EXPECT_EQ(people.begin()->first, "camera");
  EXPECT_EQ(people.at("camera"), camera);
  // A newer report of a source replaces the older one.
  lidar.people.clear();
  CommunicatorProbe::setPeopleInfo("lidar", lidar);
  EXPECT_TRUE(engine_->getPeopleInfoUnit()->getPeopleInfo().at("lidar").people.empty());
}

// The robot's base reports odometry on "odom"; the engine's own executor thread takes it in, so
// nothing the host spins is needed.
TEST_F(CommunicatorTest, OdometryReportedOnTheTopicIsTheLatestRecord) {
  auto base = std::make_shared<rclcpp::Node>("robot_base");
  auto odometry = base->create_publisher<nav_msgs::msg::Odometry>("odom", rclcpp::QoS(10));
  nav_msgs::msg::Odometry report;
  report.header.frame_id = "odom";
  report.child_frame_id = "base_footprint";
  report.twist.twist.linear.x = -0.3;
  report.twist.twist.angular.z = 0.52;
  for (int32_t second = 1; second <= 3; ++second) {
    report.header.stamp.sec = second;
    odometry->publish(report);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (engine_->getOdomUnit()->getOdom().header.stamp.sec != 3 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto odom = engine_->getOdomUnit()->getOdom();
  EXPECT_EQ(odom.header.stamp.sec, 3);
  EXPECT_EQ(odom.header.frame_id, "base_footprint");
  EXPECT_EQ(odom.twist, report.twist.twist);
}

TEST_F(CommunicatorTest, ResetForgetsEverythingButKeepsTheEngine) {
  auto planning = engine_->getPlanningUnit();
  planning->publishLocalPath(nav_msgs::msg::Path());
  geometry_msgs::msg::TwistStamped odom;
  odom.twist.linear.x = 1.0;
  CommunicatorProbe::setOdom(odom);
  CommunicatorProbe::setPeopleInfo("camera", {});

  CommunicatorProbe::reset();
  EXPECT_EQ(CommunicatorProbe::localPaths().count(), 0u);
  EXPECT_TRUE(CommunicatorProbe::localPaths().kept().empty());
  EXPECT_DOUBLE_EQ(engine_->getOdomUnit()->getOdom().twist.linear.x, 0.0);
  EXPECT_TRUE(engine_->getPeopleInfoUnit()->getPeopleInfo().empty());
  EXPECT_EQ(CommunicatorEngine::GetInstance(), engine_);
  EXPECT_EQ(engine_->getPlanningUnit(), planning);
  planning->publishLocalPath(nav_msgs::msg::Path());
  EXPECT_EQ(CommunicatorProbe::localPaths().count(), 1u);
}

TEST_F(CommunicatorTest, ConcurrentCallersLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 50;
  std::promise<void> start;
  std::shared_future<void> go = start.get_future().share();
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([go, t] {
      auto engine = CommunicatorEngine::GetInstance();
      go.wait();
      for (int i = 0; i < kCalls; ++i) {
        engine->getPlanningUnit()->publishGlobalPath(
            pathSet(std::to_string(t) + ":" + std::to_string(i)));
        vantrell_protocol::msg::RobotEvent event;
        event.event_code = t;
        engine->getRobotEventUnit()->publishRobotEvent(event);
        engine->getErrCodeUnit()->publishActiveTriggerRosbag("m", std::to_string(i));
        geometry_msgs::msg::TwistStamped odom;
        odom.twist.linear.x = i;
        odom.twist.angular.z = i;
        CommunicatorProbe::setOdom(odom);
        const auto read = engine->getOdomUnit()->getOdom();
        // Never half of one record and half of another.
        EXPECT_EQ(read.twist.linear.x, read.twist.angular.z);
      }
    });
  }
  start.set_value();
  for (auto& w : workers) {
    w.join();
  }
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), static_cast<size_t>(kThreads * kCalls));
  EXPECT_EQ(CommunicatorProbe::robotEvents().count(), static_cast<size_t>(kThreads * kCalls));
  EXPECT_EQ(CommunicatorProbe::rosbagTriggers().count(), static_cast<size_t>(kThreads * kCalls));
  // Each thread's messages keep their order.
  std::vector<int> next(kThreads, 0);
  for (const auto& paths : CommunicatorProbe::globalPaths().kept()) {
    const auto colon = paths.uuid.find(':');
    const int t = std::stoi(paths.uuid.substr(0, colon));
    const int i = std::stoi(paths.uuid.substr(colon + 1));
    EXPECT_GE(i, next[t]);
    next[t] = i + 1;
  }
}

}  // namespace
