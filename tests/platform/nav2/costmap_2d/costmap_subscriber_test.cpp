#include "nav2_costmap_2d/costmap_subscriber.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint_subscriber.hpp"
#include "nav2_costmap_2d/testing/costmap_message.hpp"
#include "rclcpp/executors.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/utilities.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

using nav2_costmap_2d::Costmap2D;

class Subscribers : public ::testing::Test {
 protected:
  void SetUp() override {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("subscriber_test");
    costmap_pub_ = node_->create_publisher<nav2_msgs::msg::Costmap>(
        "/global_costmap/costmap_raw",
        rclcpp::QoS(rclcpp::KeepLast(1)).transient_local().reliable());
    footprint_pub_ = node_->create_publisher<geometry_msgs::msg::PolygonStamped>(
        "/footprint", rclcpp::SystemDefaultsQoS());
  }
  void TearDown() override {
    footprint_pub_.reset();
    costmap_pub_.reset();
    node_.reset();
    rclcpp::shutdown();
  }

  std::shared_ptr<rclcpp::Node> node_;
  std::shared_ptr<rclcpp::Publisher<nav2_msgs::msg::Costmap>> costmap_pub_;
  std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>> footprint_pub_;
};

TEST_F(Subscribers, CostmapIsUnavailableUntilTheFirstMessage) {
  nav2_costmap_2d::CostmapSubscriber subscriber(std::weak_ptr<rclcpp::Node>(node_),
                                                "/global_costmap/costmap_raw");
  EXPECT_THROW(subscriber.getCostmap(), std::runtime_error);

  Costmap2D source(6, 4, 0.1, -0.3, 0.2, nav2_costmap_2d::FREE_SPACE);
  source.setCost(5, 3, nav2_costmap_2d::LETHAL_OBSTACLE);
  costmap_pub_->publish(nav2_costmap_2d::testing::toCostmapMessage(source));
  rclcpp::spin_some(node_);

  const auto costmap = subscriber.getCostmap();
  ASSERT_EQ(costmap->getSizeInCellsX(), 6u);
  ASSERT_EQ(costmap->getSizeInCellsY(), 4u);
  EXPECT_NEAR(costmap->getResolution(), 0.1, 1e-7);
  EXPECT_DOUBLE_EQ(costmap->getOriginX(), -0.3);
  EXPECT_EQ(costmap->getCost(5, 3), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(costmap->getCost(0, 0), nav2_costmap_2d::FREE_SPACE);
  // Asking again without a new message gives the same costmap.
  EXPECT_EQ(subscriber.getCostmap(), costmap);
}

TEST_F(Subscribers, ACostmapHandedOutNeverChangesUnderItsHolder) {
  nav2_costmap_2d::CostmapSubscriber subscriber(node_, "/global_costmap/costmap_raw");
  Costmap2D source(3, 3, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  costmap_pub_->publish(nav2_costmap_2d::testing::toCostmapMessage(source));
  rclcpp::spin_some(node_);
  const auto first = subscriber.getCostmap();

  source.setCost(1, 1, nav2_costmap_2d::LETHAL_OBSTACLE);
  auto message = nav2_costmap_2d::testing::toCostmapMessage(source);
  // A short message: cells it does not cover are unknown.
  message.data.resize(7);
  costmap_pub_->publish(message);
  rclcpp::spin_some(node_);

  const auto second = subscriber.getCostmap();
  EXPECT_NE(second, first);
  EXPECT_EQ(first->getCost(1, 1), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(second->getCost(1, 1), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(second->getCost(2, 2), nav2_costmap_2d::NO_INFORMATION);
}

TEST_F(Subscribers, LifecycleNodesCanHostTheSubscriber) {
  auto lifecycle = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lifecycle_host");
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> weak = lifecycle;
  nav2_costmap_2d::CostmapSubscriber subscriber(weak, "/global_costmap/costmap_raw");
  Costmap2D source(2, 2, 0.05, 0.0, 0.0);
  costmap_pub_->publish(nav2_costmap_2d::testing::toCostmapMessage(source));
  rclcpp::spin_some(lifecycle->get_node_base_interface());
  EXPECT_EQ(subscriber.getCostmap()->getSizeInCellsX(), 2u);

  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> gone;
  EXPECT_THROW(nav2_costmap_2d::CostmapSubscriber(gone, "/x"), std::invalid_argument);
}

TEST_F(Subscribers, FootprintIsKeptWhileFresh) {
  nav2_costmap_2d::FootprintSubscriber subscriber(node_, "/footprint", 5.0);
  std::vector<geometry_msgs::msg::Point> footprint;
  EXPECT_FALSE(subscriber.getFootprint(footprint));

  geometry_msgs::msg::PolygonStamped msg;
  msg.header.stamp = node_->get_clock()->now();
  msg.polygon.points.resize(3);
  msg.polygon.points[1].x = 0.4f;
  footprint_pub_->publish(msg);
  rclcpp::spin_some(node_);
  ASSERT_TRUE(subscriber.getFootprint(footprint));
  ASSERT_EQ(footprint.size(), 3u);
  EXPECT_NEAR(footprint[1].x, 0.4, 1e-6);

  msg.header.stamp.sec -= 60;
  footprint_pub_->publish(msg);
  rclcpp::spin_some(node_);
  EXPECT_FALSE(subscriber.getFootprint(footprint));
  rclcpp::Duration long_timeout = rclcpp::Duration::from_seconds(120.0);
  EXPECT_TRUE(subscriber.getFootprint(footprint, long_timeout));
}

}  // namespace
