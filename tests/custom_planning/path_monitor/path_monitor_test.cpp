#include "planning/custom_planning/path_monitor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "path_monitor_probe.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "support/log_capture.hpp"
#include "tf2_testing/transforms.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"

namespace {

using geometry_msgs::msg::Twist;
using nav_msgs::msg::Path;
using planning::custom_planning::PathMonitor;
using planning::custom_planning::testing::PathMonitorProbe;
using vantrell_communicator::testing::CommunicatorProbe;
using vantrell_protocol::msg::RosbagTrigger;

constexpr double kPi = 3.141592653589793;

class PathMonitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { rclcpp::init(0, nullptr); }
  static void TearDownTestSuite() { rclcpp::shutdown(); }

  void SetUp() override {
    log_ = test_support::captureLog();
    clock_ = std::make_unique<rclcpp_testing::ManualClock>(rclcpp::Time(1000, 0, RCL_ROS_TIME));
    CommunicatorProbe::reset();
    log_->clear();
  }

  void TearDown() override {
    if (node_) {
      executor_.remove_node(node_->get_node_base_interface());
    }
    probe_.reset();
    monitor_.reset();
    node_.reset();
    clock_.reset();
  }

  void start(const std::vector<rclcpp::Parameter>& overrides = {}) {
    rclcpp::NodeOptions options;
    options.parameter_overrides(overrides);
    auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("path_monitor_test", options);
    monitor_ = PathMonitor::create(node);
    probe_ = std::make_unique<PathMonitorProbe>(*monitor_);
    node_ = node;
    executor_.add_node(node_->get_node_base_interface());
  }

  void advance(double seconds) { clock_->advance(rclcpp::Duration::from_seconds(seconds)); }

  // Time moves on and whatever fell due (the one-second tick) runs.
  void pass(double seconds) {
    advance(seconds);
    executor_.spin_some();
  }

  void tick() { pass(1.0); }

  void runMode() { node_->set_parameter(rclcpp::Parameter("task_mode", 201)); }

  void command(double v, double w) {
    auto twist = std::make_shared<Twist>();
    twist->linear.x = v;
    twist->angular.z = w;
    monitor_->cmd_vel_callback(twist);
  }

  // Commands at 10 Hz; the tick keeps running in between.
  void commands(int count, double v, double w) {
    for (int i = 0; i < count; ++i) {
      pass(0.1);
      command(v, w);
    }
  }

  // A straight path of `poses` poses, 0.1 m apart, from (x, y) along `heading`.
  static std::shared_ptr<Path> path(double stamp, double x, double y, int poses = 20,
                                    double heading = 0.0) {
    auto p = std::make_shared<Path>();
    p->header.stamp = rclcpp::Time(static_cast<int64_t>(stamp * 1e9), RCL_ROS_TIME);
    for (int i = 0; i < poses; ++i) {
      geometry_msgs::msg::PoseStamped pose;
      pose.pose.position.x = x + 0.1 * i * std::cos(heading);
      pose.pose.position.y = y + 0.1 * i * std::sin(heading);
      p->poses.push_back(pose);
    }
    return p;
  }

  void placeRobot(double x, double y, double yaw = 0.0) {
    probe_->tfBuffer().setTransform(
        tf2_testing::makeTransform("map", "base_footprint", x, y, yaw, clock_->now().seconds()),
        "test");
  }

  int logged(const std::string& text) const {
    const auto texts = log_->texts();
    return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) {
      return t.find(text) != std::string::npos;
    }));
  }

  static std::vector<RosbagTrigger> recordings() {
    return CommunicatorProbe::rosbagTriggers().kept();
  }

  std::shared_ptr<test_support::CaptureSink> log_;
  std::unique_ptr<rclcpp_testing::ManualClock> clock_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<PathMonitor> monitor_;
  std::unique_ptr<PathMonitorProbe> probe_;
};

// ---------------------------------------------------------------- construction

TEST_F(PathMonitorTest, DeclaresItsParametersWithTheirDefaults) {
  start();
  EXPECT_EQ(node_->get_parameter("path_monitor_server.event_publish_interval").as_double(), 30.0);
  EXPECT_EQ(node_->get_parameter("path_monitor_server.vel_history_size").as_int(), 80);
  EXPECT_EQ(node_->get_parameter("path_monitor_server.trigger_delay_time").as_int(), 1);
  EXPECT_EQ(node_->get_parameter("path_monitor_server.trigger_pkg_record").as_bool(), true);
  EXPECT_EQ(node_->get_parameter("path_monitor_server.rotate_inverse_tolerance_scale").as_double(),
            0.33);
  EXPECT_EQ(node_->get_parameter("task_mode").as_int(), -1);
  EXPECT_FALSE(node_->has_parameter("path_monitor_server.task_mode"));
  EXPECT_EQ(node_->get_parameter("path_monitor_server.run_mode_desired").as_integer_array(),
            std::vector<int64_t>{201});
}

TEST_F(PathMonitorTest, ParametersOfTheWrongTypeFailConstruction) {
  EXPECT_THROW(
      start({rclcpp::Parameter("path_monitor_server.run_mode_desired", std::string("201"))}),
      rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(start({rclcpp::Parameter("path_monitor_server.vel_history_size", 2.5)}),
               rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(PathMonitorTest, KeepsRunModesAndTaskModeGivenFromOutside) {
  start({rclcpp::Parameter("path_monitor_server.run_mode_desired", std::vector<int64_t>{7, 9}),
         rclcpp::Parameter("task_mode", 9)});
  placeRobot(1.0, 1.0);
  tick();
  EXPECT_EQ(probe_->poses().size(), 1u);
  node_->set_parameter(rclcpp::Parameter("task_mode", 201));
  tick();
  EXPECT_EQ(probe_->poses().size(), 1u);
}

TEST_F(PathMonitorTest, SubscribesToCommandsAndLocalPaths) {
  start();
  auto sender = rclcpp::Node::make_shared("path_monitor_sender");
  auto twist_pub = sender->create_publisher<Twist>("/cmd_vel", rclcpp::QoS(1));
  auto path_pub =
      sender->create_publisher<Path>("/vantrell_nav2_planning/local_planning_path", rclcpp::QoS(1));
  Twist twist;
  twist.linear.x = 0.4;
  twist.angular.z = -0.2;
  twist_pub->publish(twist);
  path_pub->publish(*path(1000.0, 0.0, 0.0));
  executor_.spin_some();
  executor_.spin_some();
  ASSERT_EQ(probe_->linear().size(), 1u);
  EXPECT_EQ(probe_->linear().front(), 0.4);
  EXPECT_EQ(probe_->angular().front(), -0.2);
  EXPECT_EQ(probe_->localPaths().size(), 1u);
}

// ---------------------------------------------------------------- velocity history

TEST_F(PathMonitorTest, VelocityHistoryIsBoundedAndRestartsAfterAPause) {
  start();
  commands(100, 0.3, 0.1);
  EXPECT_EQ(probe_->linear().size(), 80u);
  EXPECT_EQ(probe_->angular().size(), 80u);

  advance(0.99);
  command(0.2, 0.0);
  EXPECT_EQ(probe_->linear().size(), 80u);
  EXPECT_EQ(probe_->linear().back(), 0.2);

  advance(1.0);
  command(-0.1, 0.5);
  ASSERT_EQ(probe_->linear().size(), 1u);
  EXPECT_EQ(probe_->linear().front(), -0.1);
  EXPECT_EQ(probe_->angular().front(), 0.5);
}

TEST_F(PathMonitorTest, ClearVelHistoryDropsTheOldestSamples) {
  start({rclcpp::Parameter("path_monitor_server.vel_history_size", 200)});
  for (int i = 0; i < 150; ++i) {
    advance(0.1);
    command(i, -i);
  }
  monitor_->clear_vel_history(100);
  ASSERT_EQ(probe_->linear().size(), 50u);
  EXPECT_EQ(probe_->linear().front(), 100.0);
  EXPECT_EQ(probe_->angular().front(), -100.0);
  monitor_->clear_vel_history(0);
  monitor_->clear_vel_history(-3);
  EXPECT_EQ(probe_->linear().size(), 50u);
  monitor_->clear_vel_history(100);
  EXPECT_TRUE(probe_->linear().empty());
  EXPECT_TRUE(probe_->angular().empty());
}

// ---------------------------------------------------------------- path histories

TEST_F(PathMonitorTest, ShortPathsAreIgnored) {
  start();
  monitor_->local_path_callback(path(1000.0, 0, 0, 0));
  monitor_->local_path_callback(path(1000.0, 0, 0, 1));
  EXPECT_TRUE(probe_->localPaths().empty());
}

TEST_F(PathMonitorTest, TheThirdPathMakesTheFirstComparison) {
  start();
  monitor_->local_path_callback(path(1000.0, 0, 0));
  monitor_->local_path_callback(path(1000.1, 0, 0));
  EXPECT_TRUE(probe_->pathDiffs().empty());
  monitor_->local_path_callback(path(1000.2, 0, 0.3));
  ASSERT_EQ(probe_->pathDiffs().size(), 1u);
  EXPECT_NEAR(probe_->pathDiffs().front(), 0.3, 1e-9);
  EXPECT_EQ(probe_->pathAngles().size(), 1u);
  EXPECT_EQ(probe_->pathSpeeds().size(), 1u);

  for (int i = 0; i < 10; ++i) {
    monitor_->local_path_callback(path(1000.3 + 0.1 * i, 0, 0));
  }
  EXPECT_EQ(probe_->localPaths().size(), 3u);
  EXPECT_EQ(probe_->pathDiffs().size(), 5u);
  EXPECT_EQ(probe_->pathAngles().size(), 5u);
  EXPECT_EQ(probe_->pathSpeeds().size(), 5u);
}

TEST_F(PathMonitorTest, StampJumpsRestartThePathHistories) {
  start();
  double base = 1000.0;
  for (double jump : {2.0, -2.0, 1.6}) {
    base += 100.0;
    monitor_->local_path_callback(path(base, 0, 0));
    monitor_->local_path_callback(path(base + 0.1, 0, 0));
    monitor_->local_path_callback(path(base + 0.2, 0, 0));
    ASSERT_EQ(probe_->pathDiffs().size(), 1u);
    monitor_->local_path_callback(path(base + 0.2 + jump, 0, 0));
    EXPECT_EQ(probe_->localPaths().size(), 1u) << jump;
    EXPECT_TRUE(probe_->pathDiffs().empty());
    EXPECT_TRUE(probe_->pathAngles().empty());
    EXPECT_TRUE(probe_->pathSpeeds().empty());
    // The next comparison comes two paths later.
    monitor_->local_path_callback(path(base + 0.3 + jump, 0, 0));
    EXPECT_TRUE(probe_->pathDiffs().empty());
    monitor_->local_path_callback(path(base + 0.4 + jump, 0, 0));
    EXPECT_EQ(probe_->pathDiffs().size(), 1u);
  }
  // A gap within the time-out keeps the histories.
  monitor_->local_path_callback(path(base + 0.4 + 1.6 + 1.4, 0, 0));
  EXPECT_EQ(probe_->pathDiffs().size(), 2u);
}

TEST_F(PathMonitorTest, StampsBeforeTheEpochAreTakenAsTheyCome) {
  start();
  monitor_->local_path_callback(path(1000.0, 0, 0));
  auto odd = path(1000.0, 0, 0);
  odd->header.stamp.sec = -5;
  monitor_->local_path_callback(odd);
  EXPECT_EQ(probe_->localPaths().size(), 1u);
}

TEST_F(PathMonitorTest, PathDirectionUsesThePoseFiveAhead) {
  start();
  monitor_->local_path_callback(path(1000.0, 0, 0));
  monitor_->local_path_callback(path(1000.1, 0, 0));

  // Two poses: towards pose 1.
  auto two = path(1000.2, 0, 0, 2, 0.5);
  monitor_->local_path_callback(two);
  EXPECT_NEAR(probe_->pathAngles().back(), 0.5, 1e-9);

  // Four poses bending away after the second: towards pose 3.
  auto four = path(1000.3, 0, 0, 4, 0.0);
  four->poses[3].pose.position.y = 0.3;
  monitor_->local_path_callback(four);
  EXPECT_NEAR(probe_->pathAngles().back(), std::atan2(0.3, 0.3), 1e-9);

  // Seven poses: towards pose 5, not the last.
  auto seven = path(1000.4, 0, 0, 7, 0.0);
  seven->poses[5].pose.position.y = 0.5;
  seven->poses[6].pose.position.y = -3.0;
  monitor_->local_path_callback(seven);
  EXPECT_NEAR(probe_->pathAngles().back(), std::atan2(0.5, 0.5), 1e-9);
}

TEST_F(PathMonitorTest, PathAngleIsWrappedAgainstTheRobotYaw) {
  start();
  runMode();
  placeRobot(0.0, 0.0, -170.0 * kPi / 180.0);
  tick();
  const auto& q = probe_->robotPose().pose.orientation;
  ASSERT_NEAR(std::atan2(2.0 * q.z * q.w, 1.0 - 2.0 * q.z * q.z), -170.0 * kPi / 180.0, 1e-9);

  monitor_->local_path_callback(path(1000.0, 0, 0));
  monitor_->local_path_callback(path(1000.1, 0, 0));
  monitor_->local_path_callback(path(1000.2, 0, 0, 10, 170.0 * kPi / 180.0));
  EXPECT_NEAR(probe_->pathAngles().back(), -20.0 * kPi / 180.0, 1e-9);
}

TEST_F(PathMonitorTest, PathSpeedIsTheLatestCommand) {
  start();
  command(0.35, 0.0);
  monitor_->local_path_callback(path(1000.0, 0, 0));
  monitor_->local_path_callback(path(1000.1, 0, 0));
  monitor_->local_path_callback(path(1000.2, 0, 0));
  EXPECT_EQ(probe_->pathSpeeds().back(), 0.35);
}

// ---------------------------------------------------------------- motion check

class MotionCheckTest : public PathMonitorTest {
 protected:
  // Fills the velocity history with exactly these samples (10 Hz, no pause).
  void fill(const std::vector<std::pair<double, double>>& samples) {
    for (const auto& [v, w] : samples) {
      advance(0.1);
      command(v, w);
    }
  }

  static std::vector<std::pair<double, double>> blocks(
      std::initializer_list<std::tuple<int, double, double>> parts) {
    std::vector<std::pair<double, double>> samples;
    for (const auto& [n, v, w] : parts) {
      for (int i = 0; i < n; ++i) {
        samples.emplace_back(v, w);
      }
    }
    return samples;
  }
};

TEST_F(MotionCheckTest, NeedsAFullHistory) {
  start();
  fill(blocks({{79, -0.2, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
  EXPECT_EQ(monitor_->check_dir_change_time(), 0);
  EXPECT_EQ(probe_->linear().size(), 79u);
}

TEST_F(MotionCheckTest, RepeatedDirectionFlipsAreCode4) {
  start({rclcpp::Parameter("path_monitor_server.debug_flag", true)});
  fill(blocks({{20, 0.0, 0.5}, {20, 0.0, -0.5}, {20, 0.0, 0.5}, {20, 0.0, -0.5}}));
  EXPECT_EQ(monitor_->check_dir_change_time(), 3);
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 4);
  EXPECT_TRUE(probe_->linear().empty());
  EXPECT_TRUE(probe_->angular().empty());
  EXPECT_EQ(logged("Abnormal robot motion, rotate dir change time: 3"), 1);
}

TEST_F(MotionCheckTest, OneFlipWithLongTurnsBothWaysIsARotationOscillation) {
  start();
  fill(blocks({{40, 0.0, 0.5}, {40, 0.0, -0.5}}));
  EXPECT_EQ(monitor_->check_dir_change_time(), 1);
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 1);
  EXPECT_TRUE(probe_->linear().empty());
  // Without debug_flag the check says nothing itself.
  EXPECT_EQ(logged("Abnormal robot motion"), 0);
}

TEST_F(MotionCheckTest, RotationCountsNeedAThirdOfTheHistoryEachWay) {
  start();
  // 26 each way is below 0.33 x 80 = 26.4; the steady groups flip only once.
  fill(blocks({{26, 0.0, 0.5}, {28, 0.0, 0.0}, {26, 0.0, -0.5}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
  EXPECT_EQ(probe_->linear().size(), 80u);
  fill(blocks({{27, 0.0, 0.5}, {26, 0.0, 0.0}, {27, 0.0, -0.5}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 1);
}

TEST_F(MotionCheckTest, ForwardOscillationIsCode2) {
  start({rclcpp::Parameter("path_monitor_server.debug_flag", true)});
  fill(blocks({{20, -0.2, 0.0}, {20, 0.2, 0.0}, {40, 0.0, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 2);
  EXPECT_EQ(logged("Abnormal robot motion, back count: 20, forward count: 20"), 1);
  EXPECT_TRUE(probe_->linear().empty());

  fill(blocks({{19, -0.2, 0.0}, {20, 0.2, 0.0}, {41, 0.0, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
  EXPECT_EQ(probe_->linear().size(), 80u);
}

TEST_F(MotionCheckTest, LongBackwardMotionIsCode3) {
  start();
  fill(blocks({{56, -0.2, 0.0}, {24, 0.0, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 3);
  fill(blocks({{55, -0.2, 0.0}, {25, 0.0, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
}

TEST_F(MotionCheckTest, DeadBandsAreStrict) {
  start();
  // |v| = 0.05 is neither forward nor backward.
  fill(blocks({{40, -0.05, 0.0}, {40, 0.05, 0.0}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
  // Turning at 0.3 exactly, or while driving at 0.15, is no rotation sample.
  fill(blocks({{40, 0.0, 0.3}, {40, 0.15, -0.5}}));
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
}

TEST_F(MotionCheckTest, ADirectionlessShortRunEndsTheFlipCount) {
  start();
  // A fast sample, then a slow run of 3 different turn rates (no direction),
  // a fast sample, then a slow run that flips three times.
  std::vector<std::pair<double, double>> samples{
      {0.5, 0.0}, {0.0, 0.1}, {0.0, 0.2}, {0.0, 0.4}, {0.5, 0.0}};
  const auto flips =
      blocks({{15, 0.0, 0.5}, {15, 0.0, -0.5}, {15, 0.0, 0.5}, {15, 0.0, -0.5}, {15, 0.0, 0.0}});
  samples.insert(samples.end(), flips.begin(), flips.end());
  ASSERT_EQ(samples.size(), 80u);
  fill(samples);
  EXPECT_EQ(monitor_->check_dir_change_time(), 0);

  // The same flipping run alone counts its three flips.
  fill(blocks({{5, 0.5, 0.0}}));
  fill(flips);
  EXPECT_EQ(monitor_->check_dir_change_time(), 3);
}

TEST_F(MotionCheckTest, FlipsAcrossRunsDoNotCount) {
  start();
  fill(blocks({{20, 0.0, 0.5},
               {1, 0.5, 0.0},
               {19, 0.0, -0.5},
               {1, 0.5, 0.0},
               {19, 0.0, 0.5},
               {1, 0.5, 0.0},
               {19, 0.0, -0.5}}));
  EXPECT_EQ(monitor_->check_dir_change_time(), 0);
}

TEST_F(MotionCheckTest, HistorySizesBelowOneAreTakenAsOne) {
  start({rclcpp::Parameter("path_monitor_server.vel_history_size", 0),
         rclcpp::Parameter("path_monitor_server.pose_history_size", -5),
         rclcpp::Parameter("path_monitor_server.dir_dif_history_size", 0)});
  EXPECT_EQ(logged("vel_history_size is 0, taken as 1"), 1);
  // An empty history is no rotation oscillation.
  EXPECT_EQ(monitor_->check_robot_motion_anomaly(), 0);
  EXPECT_EQ(monitor_->check_pose_stable(), 0);
  EXPECT_EQ(monitor_->check_path_anomaly(), 0);
  command(0.0, 0.0);
  EXPECT_EQ(probe_->linear().size(), 1u);
}

// ---------------------------------------------------------------- path check

class PathCheckTest : public PathMonitorTest {
 protected:
  // Seeds two kept paths, then sends paths alternating sideways by `offsets`.
  void send(const std::vector<double>& offsets, double heading = 0.0) {
    // A stamp jump first, so that each call starts with empty histories.
    monitor_->local_path_callback(path(stamp_ += 10.0, 0, 0, 20, heading));
    monitor_->local_path_callback(path(stamp_ += 0.1, 0, 0, 20, heading));
    double y = 0.0;
    for (double offset : offsets) {
      y += offset;
      monitor_->local_path_callback(path(stamp_ += 0.1, 0, y, 20, heading));
    }
  }

  double stamp_{1000.0};
};

TEST_F(PathCheckTest, ThreePathChangesInFiveAreCode5) {
  start({rclcpp::Parameter("path_monitor_server.debug_flag", true)});
  send({0.6, 0.0, 0.6, 0.0, 0.6});
  ASSERT_EQ(probe_->pathDiffs().size(), 5u);
  EXPECT_EQ(monitor_->check_path_anomaly(), 5);
  EXPECT_EQ(logged("Abnormal path change, path change time: 3, dir change time: 0"), 1);
  EXPECT_TRUE(probe_->pathDiffs().empty());
  EXPECT_TRUE(probe_->pathAngles().empty());
  EXPECT_TRUE(probe_->pathSpeeds().empty());
  // The kept paths stay, so the next path is compared at once.
  EXPECT_EQ(probe_->localPaths().size(), 3u);
  monitor_->local_path_callback(path(stamp_ += 0.1, 0, 0));
  EXPECT_EQ(probe_->pathDiffs().size(), 1u);
}

TEST_F(PathCheckTest, TwoChangesOrAShortHistoryAreNormal) {
  start();
  send({0.6, 0.0, 0.6});
  EXPECT_EQ(monitor_->check_path_anomaly(), 0);  // only 3 entries of 5
  send({0.6, 0.0, 0.0, 0.0, 0.6});
  EXPECT_EQ(monitor_->check_path_anomaly(), 0);
  send({0.5, 0.0, 0.5, 0.0, 0.5});  // at the tolerance, not above
  EXPECT_EQ(monitor_->check_path_anomaly(), 0);
}

TEST_F(PathCheckTest, DirectionChangesCountOnlyWhileMoving) {
  start();
  // Paths heading 2.0 rad away from the robot's yaw of 0.
  command(0.05, 0.0);
  send({0.0, 0.0, 0.0, 0.0, 0.0}, 2.0);
  EXPECT_EQ(monitor_->check_path_anomaly(), 0);

  command(0.2, 0.0);
  send({0.0, 0.0, 0.0, 0.0, 0.0}, 2.0);
  EXPECT_EQ(monitor_->check_path_anomaly(), 5);
}

// ---------------------------------------------------------------- pose history and check

TEST_F(PathMonitorTest, TickDoesNothingOutsideTheWantedRunModes) {
  start({rclcpp::Parameter("path_monitor_server.debug_flag", true)});
  placeRobot(1.0, 2.0);
  tick();
  tick();
  EXPECT_TRUE(probe_->poses().empty());
  EXPECT_EQ(probe_->robotPose().header.frame_id, "");

  runMode();
  tick();
  ASSERT_EQ(probe_->poses().size(), 1u);
  EXPECT_EQ(probe_->poses().front(), std::make_pair(1.0, 2.0));
  EXPECT_EQ(probe_->robotPose().header.frame_id, "map");
}

TEST_F(PathMonitorTest, PoseHistoryFillsOncePerSecondAndRestartsAfterAGap) {
  start();
  runMode();
  for (int i = 0; i < 70; ++i) {
    placeRobot(0.1 * i, 0.0);
    tick();
  }
  EXPECT_EQ(probe_->poses().size(), 60u);
  EXPECT_NEAR(probe_->poses().back().first, 6.9, 1e-9);

  // Called again within the second: the pose is refreshed but not sampled.
  placeRobot(9.0, 9.0);
  monitor_->update_robot_pose();
  EXPECT_EQ(probe_->robotPose().pose.position.x, 9.0);
  EXPECT_NEAR(probe_->poses().back().first, 6.9, 1e-9);

  advance(10.0);
  placeRobot(3.0, 3.0);
  monitor_->update_robot_pose();
  ASSERT_EQ(probe_->poses().size(), 1u);
  EXPECT_EQ(probe_->poses().front(), std::make_pair(3.0, 3.0));
}

TEST_F(PathMonitorTest, NoTransformLeavesThePoseAlone) {
  start();
  advance(2.0);
  monitor_->update_robot_pose();
  EXPECT_TRUE(probe_->poses().empty());
  EXPECT_EQ(probe_->robotPose().pose.orientation.w, 1.0);
  EXPECT_EQ(probe_->robotPose().pose.position.x, 0.0);
}

TEST_F(PathMonitorTest, AStableRobotIsNoticedButNotReported) {
  start({rclcpp::Parameter("path_monitor_server.debug_flag", true)});
  runMode();
  for (int i = 0; i < 60; ++i) {
    placeRobot(5.0 + 0.01 * (i % 7), 5.0);
    tick();
  }
  EXPECT_EQ(logged("Abnormal motion, the robot is stable in one pose !"), 1);
  EXPECT_TRUE(probe_->poses().empty());
  EXPECT_EQ(logged("detect abnormal path"), 0);
  EXPECT_TRUE(recordings().empty());
}

TEST_F(PathMonitorTest, AMovingRobotIsNotStable) {
  start();
  runMode();
  for (int i = 0; i < 59; ++i) {
    placeRobot(5.0, 5.0);
    tick();
  }
  placeRobot(6.5, 5.0);
  monitor_->update_robot_pose();
  advance(1.0);
  monitor_->update_robot_pose();
  ASSERT_EQ(probe_->poses().size(), 60u);
  EXPECT_EQ(monitor_->check_pose_stable(), 0);
  EXPECT_EQ(probe_->poses().size(), 60u);
}

// ---------------------------------------------------------------- reports

TEST_F(PathMonitorTest, StyleNames) {
  EXPECT_EQ(PathMonitor::styleName(0), "motion_normal");
  EXPECT_EQ(PathMonitor::styleName(1), "rotation_oscillation");
  EXPECT_EQ(PathMonitor::styleName(2), "forward_oscillation");
  EXPECT_EQ(PathMonitor::styleName(3), "long_backward");
  EXPECT_EQ(PathMonitor::styleName(4), "dir_multiple_change");
  EXPECT_EQ(PathMonitor::styleName(5), "path_multiple_change");
  EXPECT_EQ(PathMonitor::styleName(6), "pose_stable");
  EXPECT_EQ(PathMonitor::styleName(42), "motion_normal");
}

class ReportTest : public PathMonitorTest {
 protected:
  // 56 backward samples within one tick period's worth of history: code 3 at the next tick.
  void backUp() {
    for (int i = 0; i < 80; ++i) {
      advance(0.01);
      command(i < 56 ? -0.2 : 0.0, 0.0);
    }
  }

  void changePaths() {
    double y = 0.0;
    for (int i = 0; i < 7; ++i) {
      y += i % 2 == 0 ? 0.6 : 0.0;
      monitor_->local_path_callback(path(stamp_ += 0.1, 0, y));
    }
  }

  double stamp_{1000.0};
};

TEST_F(ReportTest, AnomalyWithinTheFirstIntervalOnlyWarns) {
  start({rclcpp::Parameter("path_monitor_server.trigger_delay_time", 0)});
  runMode();
  backUp();
  tick();
  EXPECT_EQ(logged("Path monitor detect path, it has been triggered recently!"), 1);
  EXPECT_EQ(logged("detect abnormal path"), 0);
  // The histories were emptied all the same: nothing is reported later.
  EXPECT_TRUE(probe_->linear().empty());
  pass(40.0);
  EXPECT_TRUE(recordings().empty());
}

TEST_F(ReportTest, ReportedAnomalyIsRecordedAtOnceWithoutDelay) {
  start({rclcpp::Parameter("path_monitor_server.trigger_delay_time", 0)});
  runMode();
  pass(31.0);
  changePaths();
  tick();
  EXPECT_EQ(logged("ErrorCode: 101100034, [PathMonitor] detect abnormal path, Error style is "
                   "path_multiple_change"),
            1);
  EXPECT_EQ(logged("Trigger delay time is 0. Executing ros bag record immediately."), 1);
  const auto sent = recordings();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].module, "vantrell_nav2_planning");
  EXPECT_EQ(sent[0].event, "abnormal_path_path_multiple_change");
}

TEST_F(ReportTest, MotionStyleWinsOverPathStyle) {
  start({rclcpp::Parameter("path_monitor_server.trigger_delay_time", 0)});
  runMode();
  pass(31.0);
  backUp();
  changePaths();
  tick();
  EXPECT_EQ(logged("Error style is long_backward"), 1);
  ASSERT_EQ(recordings().size(), 1u);
  EXPECT_EQ(recordings()[0].event, "abnormal_path_long_backward");
  // Both checks emptied their histories.
  EXPECT_TRUE(probe_->linear().empty());
  EXPECT_TRUE(probe_->pathDiffs().empty());
}

TEST_F(ReportTest, ReportsArePacedByTheEventInterval) {
  start({rclcpp::Parameter("path_monitor_server.trigger_delay_time", 0)});
  runMode();
  pass(31.0);
  backUp();
  tick();
  EXPECT_EQ(logged("detect abnormal path"), 1);
  pass(10.0);
  backUp();
  tick();
  EXPECT_EQ(logged("detect abnormal path"), 1);
  EXPECT_EQ(logged("it has been triggered recently!"), 1);
  EXPECT_EQ(recordings().size(), 1u);
  // The interval runs from the report, not from the warning.
  pass(20.0);
  backUp();
  tick();
  EXPECT_EQ(logged("detect abnormal path"), 2);
  EXPECT_EQ(recordings().size(), 2u);
}

TEST_F(ReportTest, NoRecordingWhenSwitchedOff) {
  start({rclcpp::Parameter("path_monitor_server.trigger_pkg_record", false)});
  runMode();
  pass(31.0);
  backUp();
  tick();
  EXPECT_EQ(logged("detect abnormal path"), 1);
  pass(200.0);
  EXPECT_TRUE(recordings().empty());
}

TEST_F(ReportTest, DelayedRecordingFiresOnceAfterTheDelay) {
  start({rclcpp::Parameter("path_monitor_server.trigger_delay_time", 2)});
  runMode();
  pass(31.0);
  backUp();
  tick();
  EXPECT_TRUE(probe_->triggerWaiting());
  for (int i = 0; i < 118; ++i) {
    tick();
  }
  EXPECT_TRUE(recordings().empty());
  tick();
  tick();
  ASSERT_EQ(recordings().size(), 1u);
  EXPECT_EQ(recordings()[0].event, "abnormal_path_long_backward");
  EXPECT_EQ(logged("Communicator called after 1-minute delay."), 1);
  EXPECT_FALSE(probe_->triggerWaiting());
  for (int i = 0; i < 150; ++i) {
    tick();
  }
  EXPECT_EQ(recordings().size(), 1u);
}

TEST_F(ReportTest, ARequestWhileOneIsWaitingIsDropped) {
  start();  // delay 1 minute, interval 30 s
  runMode();
  pass(31.0);
  backUp();
  tick();
  pass(31.0);
  backUp();
  tick();
  EXPECT_EQ(logged("detect abnormal path"), 2);
  EXPECT_EQ(logged("Communicator timer is already active. Skipping new timer creation."), 1);
  for (int i = 0; i < 40; ++i) {
    tick();
  }
  EXPECT_EQ(recordings().size(), 1u);

  // Once the first has fired, a new request schedules a new timer.
  backUp();
  tick();
  EXPECT_TRUE(probe_->triggerWaiting());
  for (int i = 0; i < 61; ++i) {
    tick();
  }
  EXPECT_EQ(recordings().size(), 2u);
}

TEST_F(ReportTest, EmptyStyleIsRefused) {
  start();
  monitor_->pub_trigger_msg("");
  EXPECT_EQ(logged("Error string is empty. Skipping timer creation."), 1);
  EXPECT_FALSE(probe_->triggerWaiting());
}

}  // namespace
