#include "nav2_costmap_2d/costmap_2d_ros.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/testing/costmap_2d_ros_hooks.hpp"
#include "rclcpp/clock.hpp"
#include "tf2_ros/buffer.h"

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
  costmap_ros_->setRobotFootprintPolygon(square);
  EXPECT_EQ(layer->footprint_changes, 1);
  ASSERT_EQ(costmap_ros_->getRobotFootprint().size(), 4u);
  EXPECT_NEAR(costmap_ros_->getRobotFootprint()[0].x, 0.2, 1e-6);
  EXPECT_NEAR(costmap_ros_->getInscribedRadius(), 0.2, 1e-6);
  EXPECT_NEAR(costmap_ros_->getCircumscribedRadius(), std::hypot(0.2, 0.2), 1e-6);
  EXPECT_EQ(costmap_ros_->getRobotFootprintPolygon().points.size(), 4u);

  costmap_ros_->setRobotFootprint({});
  EXPECT_TRUE(costmap_ros_->getRobotFootprint().empty());
  EXPECT_EQ(costmap_ros_->getInscribedRadius(), 0.0);
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

TEST(CostmapROSTransforms, PoseIsLookedUpInAnAttachedBuffer) {
  // No waiting: a missing transform must fail at once.
  nav2_costmap_2d::Costmap2DROS costmap_ros("tf_costmap", "map", "base_footprint", 0.0);
  auto buffer = std::make_shared<tf2_ros::Buffer>(std::make_shared<rclcpp::Clock>());
  nav2_costmap_2d::testing::attachTransformBuffer(costmap_ros, buffer);

  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap_ros.getRobotPose(pose));

  geometry_msgs::msg::TransformStamped odom;
  odom.header.frame_id = "map";
  odom.child_frame_id = "odom";
  odom.header.stamp.sec = 100;
  odom.transform.translation.x = 2.0;
  odom.transform.rotation.w = 1.0;
  geometry_msgs::msg::TransformStamped base = odom;
  base.header.frame_id = "odom";
  base.child_frame_id = "base_footprint";
  base.transform.translation.x = 0.5;
  base.transform.translation.y = -1.0;
  base.transform.rotation.z = std::sin(0.3);
  base.transform.rotation.w = std::cos(0.3);
  ASSERT_TRUE(buffer->setTransform(odom, "test"));
  ASSERT_TRUE(buffer->setTransform(base, "test"));

  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_EQ(pose.header.stamp.sec, 100);
  EXPECT_NEAR(pose.pose.position.x, 2.5, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, -1.0, 1e-9);
  EXPECT_NEAR(pose.pose.orientation.z, std::sin(0.3), 1e-9);

  // A pose set by the host wins over the buffer until the buffer is attached again.
  nav2_costmap_2d::testing::setRobotPose(costmap_ros, 7.0, 7.0, 0.0);
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 7.0);
  nav2_costmap_2d::testing::attachTransformBuffer(costmap_ros, buffer);
  ASSERT_TRUE(costmap_ros.getRobotPose(pose));
  EXPECT_NEAR(pose.pose.position.x, 2.5, 1e-9);
  nav2_costmap_2d::testing::clearRobotPose(costmap_ros);
  EXPECT_FALSE(costmap_ros.getRobotPose(pose));
}

}  // namespace
