#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <string>

#include "geometry_msgs/msg/point_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/utilities.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2/exceptions.h"
#include "tf2/utils.h"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/create_timer_ros.h"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"
#include "tf2_testing/transforms.hpp"

namespace {

using tf2_testing::makeTransform;

constexpr double kEps = 1e-9;
constexpr double kPi = 3.14159265358979323846;
// Generous: a correct run never waits this long, it only bounds a broken one.
const tf2::Duration kPatience = tf2::durationFromSec(30.0);

class Tf2RosTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { rclcpp::init(0, nullptr); }
  static void TearDownTestSuite() { rclcpp::shutdown(); }

  rclcpp::Clock::SharedPtr clock_ = std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME);
};

}  // namespace

TEST_F(Tf2RosTest, LookupWaitsForATransformFromAnotherThread) {
  tf2_ros::Buffer buffer(clock_);
  auto lookup = std::async(std::launch::async, [&buffer] {
    return buffer.lookupTransform("wait_map", "wait_base", tf2::TimePointZero, kPatience);
  });
  ASSERT_TRUE(buffer.setTransform(makeTransform("wait_map", "wait_base", 1.5, 0.0, 0.0), "test"));
  EXPECT_NEAR(lookup.get().transform.translation.x, 1.5, kEps);
}

TEST_F(Tf2RosTest, TimedOutLookupsReportWhyTheyFailed) {
  tf2_ros::Buffer buffer(clock_);
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("world", "dock", 0.0, 0.0, 0.0), "test"));
  const auto short_wait = tf2::durationFromSec(0.02);
  EXPECT_THROW(buffer.lookupTransform("map", "unknown", tf2::TimePointZero, short_wait),
               tf2::LookupException);
  EXPECT_THROW(buffer.lookupTransform("map", "dock", tf2::TimePointZero, short_wait),
               tf2::ConnectivityException);
  std::string error;
  EXPECT_FALSE(buffer.canTransform("map", "dock", tf2::TimePointZero, short_wait, &error));
  EXPECT_NE(error.find("not part of the same tree"), std::string::npos);
  // The forms without a timeout answer at once.
  EXPECT_TRUE(buffer.canTransform("base", "map", tf2::TimePointZero));
  error.clear();
  EXPECT_FALSE(buffer.canTransform("map", "unknown", tf2::TimePointZero, &error));
  EXPECT_NE(error.find("unknown"), std::string::npos);
  EXPECT_THROW(buffer.lookupTransform("map", "unknown", tf2::TimePointZero), tf2::LookupException);
  EXPECT_NO_THROW(buffer.lookupTransform("map", "base", tf2::TimePointZero));
}

TEST_F(Tf2RosTest, RclcppTimeOverloadsMeanTheSameInstants) {
  tf2_ros::Buffer buffer(clock_, tf2::durationFromSec(10.0));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0, 100.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 2.0, 0.0, 0.0, 102.0), "test"));
  const auto latest = buffer.lookupTransform("map", "base", rclcpp::Time(0));
  EXPECT_NEAR(latest.transform.translation.x, 2.0, kEps);
  const auto middle = buffer.lookupTransform("map", "base", rclcpp::Time(101, 0),
                                             rclcpp::Duration::from_nanoseconds(0));
  EXPECT_NEAR(middle.transform.translation.x, 1.0, kEps);
  EXPECT_FALSE(buffer.canTransform("map", "base", rclcpp::Time(200, 0)));
  EXPECT_EQ(tf2_ros::fromMsg(tf2_ros::toMsg(tf2::timeFromSec(-1.25))), tf2::timeFromSec(-1.25));
  EXPECT_EQ(tf2_ros::fromRclcpp(tf2_ros::toRclcpp(tf2::timeFromSec(3.5))), tf2::timeFromSec(3.5));
}

TEST_F(Tf2RosTest, TransformsStampedMessagesIntoAnotherFrame) {
  tf2_ros::Buffer buffer(clock_);
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "odom", 10.0, 0.0, kPi / 2), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("odom", "base_link", 1.0, 0.0, 0.0), "test"));

  geometry_msgs::msg::PoseStamped robot;
  robot.header.frame_id = "base_link";
  const auto in_map = buffer.transform(robot, "map", tf2::durationFromSec(1.0));
  EXPECT_EQ(in_map.header.frame_id, "map");
  EXPECT_NEAR(in_map.pose.position.x, 10.0, kEps);
  EXPECT_NEAR(in_map.pose.position.y, 1.0, kEps);
  EXPECT_NEAR(tf2::getYaw(in_map.pose.orientation), kPi / 2, kEps);

  geometry_msgs::msg::PointStamped point;
  point.header.frame_id = "map";
  point.point.x = 10.0;
  point.point.y = 3.0;
  geometry_msgs::msg::PointStamped in_base;
  buffer.transform(point, in_base, "base_link");
  EXPECT_NEAR(in_base.point.x, 2.0, kEps);
  EXPECT_NEAR(in_base.point.y, 0.0, kEps);

  robot.header.frame_id = "elsewhere";
  EXPECT_THROW(buffer.transform(robot, "map"), tf2::LookupException);
}

TEST_F(Tf2RosTest, BroadcasterReachesAListenerWithItsOwnThread) {
  auto node = rclcpp::Node::make_shared("tf_test_broadcaster");
  tf2_ros::TransformBroadcaster broadcaster(node);
  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer);

  broadcaster.sendTransform(makeTransform("bc_map", "bc_odom", 1.0, 2.0, 0.0));
  broadcaster.sendTransform({makeTransform("bc_odom", "bc_base", 0.5, 0.0, 0.3)});
  const auto t = buffer.lookupTransform("bc_map", "bc_base", tf2::TimePointZero, kPatience);
  EXPECT_NEAR(t.transform.translation.x, 1.5, kEps);
  EXPECT_NEAR(t.transform.translation.y, 2.0, kEps);
  EXPECT_NEAR(tf2::getYaw(t.transform.rotation), 0.3, kEps);

  // A newer pose replaces the older one.
  broadcaster.sendTransform(makeTransform("bc_odom", "bc_base", 0.5, 0.0, 0.3, 5.0));
  broadcaster.sendTransform(makeTransform("bc_map", "bc_odom", 3.0, 2.0, 0.0, 5.0));
  EXPECT_TRUE(buffer.canTransform("bc_map", "bc_base", tf2::timeFromSec(5.0), kPatience));
  EXPECT_NEAR(
      buffer.lookupTransform("bc_map", "bc_base", tf2::TimePointZero).transform.translation.x, 3.5,
      kEps);
}

TEST_F(Tf2RosTest, StaticTransformsReachALateListener) {
  auto node = rclcpp::Node::make_shared("tf_test_static_broadcaster");
  tf2_ros::StaticTransformBroadcaster broadcaster(node);
  broadcaster.sendTransform(makeTransform("st_base", "st_laser", 0.2, 0.0, 0.0));
  broadcaster.sendTransform(makeTransform("st_base", "st_camera", 0.0, 0.1, 0.0));
  // The same child again: its value is replaced, not added twice.
  broadcaster.sendTransform(makeTransform("st_base", "st_laser", 0.25, 0.0, 0.0));

  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer);
  const auto laser = buffer.lookupTransform("st_base", "st_laser", tf2::TimePointZero, kPatience);
  EXPECT_NEAR(laser.transform.translation.x, 0.25, kEps);
  const auto camera =
      buffer.lookupTransform("st_laser", "st_camera", tf2::TimePointZero, kPatience);
  EXPECT_NEAR(camera.transform.translation.x, -0.25, kEps);
  EXPECT_NEAR(camera.transform.translation.y, 0.1, kEps);
  // Static: any time will do.
  EXPECT_TRUE(buffer.canTransform("st_base", "st_laser", tf2::timeFromSec(1e6)));
}

TEST_F(Tf2RosTest, ListenerOnANodeWithoutThreadIsServedByThatNodesExecutor) {
  auto node = rclcpp::Node::make_shared("tf_test_plain_listener");
  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer, node, false);
  tf2_ros::TransformBroadcaster broadcaster(node);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);

  broadcaster.sendTransform(makeTransform("pl_map", "pl_base", 4.0, 0.0, 0.0));
  // Nothing else feeds the buffer: the executor must run the subscription.
  for (int i = 0; i < 300 && !buffer.canTransform("pl_map", "pl_base", tf2::TimePointZero); ++i) {
    executor.spin_once(std::chrono::milliseconds(100));
  }
  EXPECT_NEAR(
      buffer.lookupTransform("pl_map", "pl_base", tf2::TimePointZero).transform.translation.x, 4.0,
      kEps);
}

TEST_F(Tf2RosTest, ListenerOnALifecycleNodeWithItsOwnThread) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("tf_test_lifecycle_listener");
  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer, node, true);
  auto sender = rclcpp::Node::make_shared("tf_test_lifecycle_sender");
  tf2_ros::TransformBroadcaster broadcaster(sender);
  broadcaster.sendTransform(makeTransform("lc_map", "lc_base", 0.0, -1.0, 0.0));
  const auto t = buffer.lookupTransform("lc_map", "lc_base", tf2::TimePointZero, kPatience);
  EXPECT_NEAR(t.transform.translation.y, -1.0, kEps);
}

TEST_F(Tf2RosTest, ABadTransformDoesNotSpoilTheRestOfItsMessage) {
  auto node = rclcpp::Node::make_shared("tf_test_raw_sender");
  auto publisher = node->create_publisher<tf2_msgs::msg::TFMessage>("/tf", 100);
  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer);

  tf2_msgs::msg::TFMessage message;
  message.transforms.push_back(makeTransform("bad_map", "bad_base", std::nan(""), 0.0, 0.0));
  message.transforms.push_back(makeTransform("bad_map", "good_base", 1.0, 0.0, 0.0));
  publisher->publish(message);
  EXPECT_TRUE(buffer.canTransform("bad_map", "good_base", tf2::TimePointZero, kPatience));
  EXPECT_FALSE(buffer._frameExists("bad_base"));
}

TEST_F(Tf2RosTest, CreateTimerRosRunsTimersOnTheNodesExecutor) {
  auto node = rclcpp::Node::make_shared("tf_test_timers");
  auto timers = std::make_shared<tf2_ros::CreateTimerROS>(node->get_node_base_interface(),
                                                          node->get_node_timers_interface());
  tf2_ros::Buffer buffer(node->get_clock());
  buffer.setCreateTimerInterface(timers);

  std::promise<tf2_ros::TimerHandle> fired;
  bool done = false;
  const auto handle =
      timers->createTimer(std::make_shared<rclcpp::Clock>(RCL_STEADY_TIME),
                          tf2::durationFromSec(0.001), [&](const tf2_ros::TimerHandle& h) {
                            if (!done) {
                              done = true;
                              fired.set_value(h);
                            }
                          });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  auto future = fired.get_future();
  ASSERT_EQ(executor.spin_until_future_complete(future, std::chrono::seconds(30)),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(future.get(), handle);

  const auto second =
      timers->createTimer(std::make_shared<rclcpp::Clock>(RCL_STEADY_TIME),
                          tf2::durationFromSec(1.0), [](const tf2_ros::TimerHandle&) {});
  EXPECT_NE(second, handle);
  timers->cancel(handle);
  timers->reset(second);
  timers->remove(handle);
  EXPECT_THROW(timers->cancel(handle), tf2_ros::InvalidTimerHandleException);
  EXPECT_THROW(timers->remove(12345), tf2_ros::InvalidTimerHandleException);
}
