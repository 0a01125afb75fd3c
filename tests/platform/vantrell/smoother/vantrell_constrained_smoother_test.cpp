#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

TEST(VantrellConstrainedSmoother, ConfiguresOnALiveNodeOnly) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("constrained_host");
  vantrell_nav2_planner::VantrellConstrainedSmoother smoother;
  EXPECT_FALSE(smoother.isConfigured());
  smoother.configure(node, "constrained_smoother");
  EXPECT_TRUE(smoother.isConfigured());
  EXPECT_EQ(smoother.getName(), "constrained_smoother");

  rclcpp_lifecycle::LifecycleNode::WeakPtr gone;
  {
    auto short_lived = std::make_shared<rclcpp_lifecycle::LifecycleNode>("gone");
    gone = short_lived;
  }
  vantrell_nav2_planner::VantrellConstrainedSmoother orphan;
  EXPECT_THROW(orphan.configure(gone, "constrained_smoother"), std::runtime_error);
  EXPECT_FALSE(orphan.isConfigured());
}

}  // namespace
