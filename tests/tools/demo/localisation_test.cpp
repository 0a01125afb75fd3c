// The demo places the robot as a localisation node does: by broadcasting its transform on "/tf",
// which every grid map's costmap hears through a tf listener of its own.
#include "localisation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/core.hpp>

#include "demo_map.hpp"
#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"
#include "tf2/utils.h"

namespace demo {
namespace {

class LocalisationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }

  const nav_msgs::msg::OccupancyGrid grid_ =
      occupancyGridOf(cv::Mat(40, 60, CV_8UC1, cv::Scalar(255)), 0.05);
};

TEST_F(LocalisationTest, EveryCostmapSeesTheRobotWhereItWasLastPlaced) {
  const auto global = makeGridMap("global", grid_);
  const auto local = makeGridMap("local", grid_);
  Localisation localisation({global, local});
  geometry_msgs::msg::PoseStamped seen;
  ASSERT_FALSE(global->getCostmapROS()->getRobotPose(seen));

  for (const Pose2& pose : {Pose2{1.0, 0.5, 0.0}, Pose2{2.25, 1.5, 1.2}, Pose2{0.3, 1.9, -2.5}}) {
    localisation.placeRobot(pose);
    for (const auto& map : {global, local}) {
      SCOPED_TRACE(map->get_name());
      ASSERT_TRUE(map->getCostmapROS()->getRobotPose(seen));
      EXPECT_EQ(seen.header.frame_id, "map");
      EXPECT_DOUBLE_EQ(seen.pose.position.x, pose.x);
      EXPECT_DOUBLE_EQ(seen.pose.position.y, pose.y);
      EXPECT_NEAR(tf2::getYaw(seen.pose.orientation), pose.yaw, 1e-9);
    }
  }
}

TEST_F(LocalisationTest, GridMapsInOtherFramesCannotShareOneRobot) {
  vantrell_nav2_gridmap::GridMapParams odom_frame;
  odom_frame.global_frame = "odom";
  const auto global = makeGridMap("global", grid_);
  const auto local =
      std::make_shared<vantrell_nav2_gridmap::GridMapROS>("local", grid_, odom_frame);
  EXPECT_THROW(Localisation({global, local}), InputError);
}

}  // namespace
}  // namespace demo
