#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "nav2_util/node_utils.hpp"
#include "nav2_util/robot_utils.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

namespace {

class Nav2UtilTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }
};

TEST_F(Nav2UtilTest, DeclareIfNotDeclaredKeepsTheFirstDeclaration) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("declare_once");
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(1.0));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 1.0);
  // A second component with another default changes nothing.
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(2.0));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 1.0);
  // Nor does one with another type.
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(true));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 1.0);
}

TEST_F(Nav2UtilTest, DeclareIfNotDeclaredHonoursOverrides) {
  auto options = rclcpp::NodeOptions().parameter_overrides(
      {rclcpp::Parameter("speed", 0.4), rclcpp::Parameter("name", std::string("outside"))});
  auto node = std::make_shared<rclcpp::Node>("declare_override", options);
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(2.0));
  nav2_util::declare_parameter_if_not_declared(node, "name",
                                               rclcpp::ParameterValue(std::string("default")));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.4);
  EXPECT_EQ(node->get_parameter("name").as_string(), "outside");
}

TEST_F(Nav2UtilTest, PoseToPose2DTakesPositionAndYaw) {
  geometry_msgs::msg::Pose pose;
  pose.position.x = 1.5;
  pose.position.y = -2.0;
  pose.position.z = 9.0;
  pose.orientation.z = std::sin(-0.75);
  pose.orientation.w = std::cos(-0.75);
  const auto pose_2d = nav_2d_utils::poseToPose2D(pose);
  EXPECT_DOUBLE_EQ(pose_2d.x, 1.5);
  EXPECT_DOUBLE_EQ(pose_2d.y, -2.0);
  EXPECT_NEAR(pose_2d.theta, -1.5, 1e-12);
}

class GetCurrentPoseTest : public Nav2UtilTest {
 protected:
  void SetUp() override {
    clock_ = std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME);
    buffer_ = std::make_shared<tf2_ros::Buffer>(clock_);
  }

  void addTransform(const std::string& parent, const std::string& child, double x, double y,
                    double yaw, int32_t sec) {
    geometry_msgs::msg::TransformStamped t;
    t.header.frame_id = parent;
    t.header.stamp.sec = sec;
    t.child_frame_id = child;
    t.transform.translation.x = x;
    t.transform.translation.y = y;
    t.transform.rotation.z = std::sin(yaw / 2.0);
    t.transform.rotation.w = std::cos(yaw / 2.0);
    buffer_->setTransform(t, "test", false);
  }

  rclcpp::Clock::SharedPtr clock_;
  std::shared_ptr<tf2_ros::Buffer> buffer_;
};

TEST_F(GetCurrentPoseTest, ComposesTheChainToTheRobot) {
  addTransform("map", "odom", 1.0, 0.0, M_PI / 2, 10);
  addTransform("odom", "base_footprint", 2.0, 0.0, 0.0, 10);
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_footprint", 1.0));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_EQ(pose.header.stamp.sec, 10);
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 2.0, 1e-9);
  EXPECT_NEAR(std::abs(pose.pose.orientation.z), std::sin(M_PI / 4), 1e-9);
}

TEST_F(GetCurrentPoseTest, LooksUpAtTheGivenStamp) {
  addTransform("map", "base_link", 3.0, 4.0, 0.0, 10);
  geometry_msgs::msg::PoseStamped pose;
  // The defaults: "map" to "base_link", latest transform.
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_));
  EXPECT_NEAR(pose.pose.position.x, 3.0, 1e-9);
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_link", 0.0,
                                        rclcpp::Time(10, 0, RCL_SYSTEM_TIME)));
  EXPECT_NEAR(pose.pose.position.y, 4.0, 1e-9);
  EXPECT_EQ(pose.header.stamp.sec, 10);
}

TEST_F(GetCurrentPoseTest, MissingFrameGivesFalse) {
  addTransform("map", "odom", 1.0, 0.0, 0.0, 10);
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = 42.0;
  EXPECT_FALSE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_footprint", 0.0));
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 42.0);
  // Two trees that are not joined.
  addTransform("elsewhere", "base_footprint", 0.0, 0.0, 0.0, 10);
  EXPECT_FALSE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_footprint", 0.0));
}

}  // namespace
