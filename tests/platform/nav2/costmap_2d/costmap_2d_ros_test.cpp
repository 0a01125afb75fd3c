#include "nav2_costmap_2d/costmap_2d_ros.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/testing/costmap_2d_ros_hooks.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/node.hpp"
#include "tf2/time.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_broadcaster.h"

namespace {

using nav2_costmap_2d::Costmap2D;

// Records what the layered costmap asks of it and writes its window.
class RecordingLayer : public nav2_costmap_2d::Layer {
 public:
  RecordingLayer(double min_x, double min_y, double max_x, double max_y)
      : min_x_(min_x), min_y_(min_y), max_x_(max_x), max_y_(max_y) {}

  void reset() override { ++resets; }
  void updateBounds(double, double, double, double* min_x, double* min_y, double* max_x,
                    double* max_y) override {
    *min_x = std::min(*min_x, min_x_);
    *min_y = std::min(*min_y, min_y_);
    *max_x = std::max(*max_x, max_x_);
    *max_y = std::max(*max_y, max_y_);
  }
  void updateCosts(Costmap2D& master, int min_i, int min_j, int max_i, int max_j) override {
    window = {min_i, min_j, max_i, max_j};
    for (int j = min_j; j < max_j; ++j) {
      for (int i = min_i; i < max_i; ++i) {
        master.setCost(i, j, 42);
      }
    }
    ++updates;
  }
  void onFootprintChanged() override { ++footprint_changes; }

  int resets{0};
  int updates{0};
  int footprint_changes{0};
  std::vector<int> window;

 private:
  double min_x_;
  double min_y_;
  double max_x_;
  double max_y_;
};

class CostmapROS : public ::testing::Test {
 protected:
  void SetUp() override { costmap_ros_->getLayeredCostmap()->resizeMap(10, 10, 0.1, 0.0, 0.0); }

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_ =
      std::make_shared<nav2_costmap_2d::Costmap2DROS>("test_costmap", "map", "base_link");
};

TEST_F(CostmapROS, UpdateWritesTheUnionOfTheLayersWindowsClippedToTheGrid) {
  auto a = std::make_shared<RecordingLayer>(0.15, 0.25, 0.45, 0.35);
  auto b = std::make_shared<RecordingLayer>(0.35, -5.0, 0.55, 0.3);
  a->initialize(costmap_ros_->getLayeredCostmap(), "a");
  b->initialize(costmap_ros_->getLayeredCostmap(), "b");
  costmap_ros_->getLayeredCostmap()->addPlugin(a);
  costmap_ros_->getLayeredCostmap()->addPlugin(b);

  costmap_ros_->updateMap();
  EXPECT_EQ(a->updates, 1);
  EXPECT_EQ(b->updates, 1);
  EXPECT_EQ(a->window, (std::vector<int>{1, 0, 6, 4}));
  EXPECT_EQ(a->getName(), "a");
  auto* costmap = costmap_ros_->getCostmap();
  EXPECT_EQ(costmap->getCost(1, 0), 42);
  EXPECT_EQ(costmap->getCost(6, 0), nav2_costmap_2d::NO_INFORMATION);

  costmap_ros_->resetLayers();
  EXPECT_EQ(a->resets, 1);
  EXPECT_EQ(b->resets, 1);
  // The master keeps its costs until the next update.
  EXPECT_EQ(costmap->getCost(1, 0), 42);
}

TEST_F(CostmapROS, FootprintIsCopiedAndMeasuredAndLayersAreTold) {
  auto layer = std::make_shared<RecordingLayer>(0, 0, 0, 0);
  costmap_ros_->getLayeredCostmap()->addPlugin(layer);
  geometry_msgs::msg::Polygon square;
  for (auto [x, y] : {std::pair{0.2, 0.2}, {0.2, -0.2}, {-0.2, -0.2}, {-0.2, 0.2}}) {
    geometry_msgs::msg::Point32 p;
    p.x = static_cast<float>(x);
    p.y = static_cast<float>(y);
    square.points.push_back(p);
  }
  costmap_ros_->setRobotFootprintPolygon(std::make_shared<geometry_msgs::msg::Polygon>(square));
  EXPECT_EQ(layer->footprint_changes, 1);
  ASSERT_EQ(costmap_ros_->getRobotFootprint().size(), 4u);
  EXPECT_NEAR(costmap_ros_->getRobotFootprint()[0].x, 0.2, 1e-6);
  auto* layered = costmap_ros_->getLayeredCostmap();
  EXPECT_NEAR(layered->getInscribedRadius(), 0.2, 1e-6);
  EXPECT_NEAR(layered->getCircumscribedRadius(), std::hypot(0.2, 0.2), 1e-6);
  EXPECT_EQ(costmap_ros_->getRobotFootprintPolygon().points.size(), 4u);

  costmap_ros_->setRobotFootprint({});
  EXPECT_TRUE(costmap_ros_->getRobotFootprint().empty());
  EXPECT_EQ(layered->getInscribedRadius(), 0.0);
}

TEST_F(CostmapROS, RobotPoseIsAbsentUntilTheHostGivesOne) {
  EXPECT_STREQ(costmap_ros_->get_name(), "test_costmap");
  EXPECT_EQ(costmap_ros_->getGlobalFrameID(), "map");
  EXPECT_EQ(costmap_ros_->getBaseFrameID(), "base_link");

  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap_ros_->getRobotPose(pose));

  nav2_costmap_2d::testing::setRobotPose(*costmap_ros_, 1.5, -2.0, M_PI / 2.0);
  ASSERT_TRUE(costmap_ros_->getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 1.5);
  EXPECT_DOUBLE_EQ(pose.pose.position.y, -2.0);
  EXPECT_NEAR(pose.pose.orientation.z, std::sqrt(0.5), 1e-12);

  nav2_costmap_2d::testing::clearRobotPose(*costmap_ros_);
  EXPECT_FALSE(costmap_ros_->getRobotPose(pose));
}

geometry_msgs::msg::TransformStamped planarTransform(const std::string& parent,
                                                     const std::string& child, double x, double y,
                                                     double yaw, int32_t sec) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.header.stamp.sec = sec;
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  transform.transform.rotation.z = std::sin(yaw / 2.0);
  transform.transform.rotation.w = std::cos(yaw / 2.0);
  return transform;
}

TEST(CostmapROSTransforms, PoseIsTheLatestTransformOfItsOwnBuffer) {
  // No waiting: a missing transform must fail at once.
  nav2_costmap_2d::Costmap2DROS costmap_ros("tf_costmap", "map", "base_footprint", 0.0);
  const auto buffer = costmap_ros.getTfBuffer();
  ASSERT_TRUE(buffer);
  EXPECT_EQ(costmap_ros.getTfBuffer(), buffer);

  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap_ros.getRobotPose(pose));

  ASSERT_TRUE(buffer->setTransform(planarTransform("map", "odom", 2.0, 0.0, 0.0, 100), "test"));
  ASSERT_TRUE(
      buffer->setTransform(planarTransform("odom", "base_footprint", 0.5, -1.0, 0.6, 100), "test"));
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_EQ(pose.header.stamp.sec, 100);
  EXPECT_NEAR(pose.pose.position.x, 2.5, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, -1.0, 1e-9);
  EXPECT_NEAR(pose.pose.orientation.z, std::sin(0.3), 1e-9);

  // The pose follows the newest transform.
  ASSERT_TRUE(buffer->setTransform(planarTransform("map", "odom", 3.0, 0.0, 0.0, 101), "test"));
  ASSERT_TRUE(
      buffer->setTransform(planarTransform("odom", "base_footprint", 0.5, -1.0, 0.6, 101), "test"));
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_EQ(pose.header.stamp.sec, 101);
  EXPECT_NEAR(pose.pose.position.x, 3.5, 1e-9);

  // The hooks write the same buffer.
  nav2_costmap_2d::testing::clearRobotPose(costmap_ros);
  EXPECT_FALSE(costmap_ros.getRobotPose(pose));
  nav2_costmap_2d::testing::setRobotPose(costmap_ros, 7.0, -7.0, 0.0);
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 7.0);
  EXPECT_DOUBLE_EQ(pose.pose.position.y, -7.0);
}

// As a localisation node would: the costmap hears "/tf" through its own listener.
TEST(CostmapROSTransforms, RobotIsPlacedByBroadcastingItsTransform) {
  constexpr double kPatience = 30.0;
  nav2_costmap_2d::Costmap2DROS costmap_ros("broadcast_costmap", "map", "base_footprint",
                                            kPatience);
  auto localisation = std::make_shared<rclcpp::Node>("localisation");
  tf2_ros::TransformBroadcaster broadcaster(localisation);

  broadcaster.sendTransform(planarTransform("map", "base_footprint", 4.0, 5.0, 1.0, 200));
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_EQ(pose.header.stamp.sec, 200);
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 4.0);
  EXPECT_DOUBLE_EQ(pose.pose.position.y, 5.0);
  EXPECT_NEAR(pose.pose.orientation.z, std::sin(0.5), 1e-9);

  broadcaster.sendTransform(planarTransform("map", "base_footprint", 6.0, 5.0, 1.0, 201));
  // Waits until the listener has stored the move.
  costmap_ros.getTfBuffer()->lookupTransform("map", "base_footprint",
                                             tf2::TimePoint(std::chrono::seconds(201)),
                                             tf2::durationFromSec(kPatience));
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_EQ(pose.header.stamp.sec, 201);
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 6.0);
}

}  // namespace
