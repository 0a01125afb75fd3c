#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "builtin_interfaces/msg/duration.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/pose_with_covariance_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_msgs/msg/costmap.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "std_msgs/msg/color_rgba.hpp"
#include "std_msgs/msg/int8.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "vantrell_nav2_protocol/action/force_global_path.hpp"
#include "vantrell_nav2_protocol/action/fuzzy_lift_free.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"
#include "vantrell_nav2_protocol/action/lift_free.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"
#include "vantrell_protocol/msg/covered_points.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"
#include "vantrell_protocol/srv/water_uptake_path.hpp"
#include "visualization_msgs/msg/marker_array.hpp"

namespace np = vantrell_nav2_protocol;

TEST(StandardMessages, DefaultsAreZeroWithAnIdentityOrientation) {
  const geometry_msgs::msg::PoseStamped pose;
  EXPECT_EQ(pose.header.stamp.sec, 0);
  EXPECT_EQ(pose.header.stamp.nanosec, 0u);
  EXPECT_TRUE(pose.header.frame_id.empty());
  EXPECT_DOUBLE_EQ(pose.pose.position.x, 0.0);
  EXPECT_DOUBLE_EQ(pose.pose.orientation.x, 0.0);
  EXPECT_DOUBLE_EQ(pose.pose.orientation.w, 1.0);
  EXPECT_DOUBLE_EQ(geometry_msgs::msg::Pose2D().theta, 0.0);
  const geometry_msgs::msg::PoseWithCovarianceStamped with_covariance;
  EXPECT_EQ(with_covariance.pose.covariance.size(), 36u);
  EXPECT_DOUBLE_EQ(with_covariance.pose.covariance[35], 0.0);
  const rcl_interfaces::msg::ParameterDescriptor descriptor;
  EXPECT_FALSE(descriptor.read_only);
  EXPECT_FALSE(descriptor.dynamic_typing);
  EXPECT_TRUE(descriptor.floating_point_range.empty());
  EXPECT_EQ(builtin_interfaces::msg::Duration().sec, 0);
  EXPECT_FLOAT_EQ(std_msgs::msg::ColorRGBA().a, 0.0f);
  EXPECT_EQ(std_msgs::msg::Int8().data, 0);
}

TEST(StandardMessages, MarkerConstants) {
  using visualization_msgs::msg::Marker;
  EXPECT_EQ(Marker::ARROW, 0);
  EXPECT_EQ(Marker::LINE_STRIP, 4);
  EXPECT_EQ(Marker::SPHERE_LIST, 7);
  EXPECT_EQ(Marker::POINTS, 8);
  EXPECT_EQ(Marker::TEXT_VIEW_FACING, 9);
  EXPECT_EQ(Marker::TRIANGLE_LIST, 11);
  EXPECT_EQ(Marker::ADD, 0);
  EXPECT_EQ(Marker::MODIFY, 0);
  EXPECT_EQ(Marker::DELETE, 2);
  EXPECT_EQ(Marker::DELETEALL, 3);
  static_assert(std::is_same_v<decltype(Marker().type), int32_t>);
  visualization_msgs::msg::MarkerArray array;
  array.markers.resize(2);
  array.markers[1].points.emplace_back();
  EXPECT_NE(array, visualization_msgs::msg::MarkerArray());
}

TEST(StandardMessages, EqualityComparesNestedContent) {
  nav_msgs::msg::OccupancyGrid a;
  a.info.width = 2;
  a.data = {0, 100};
  nav_msgs::msg::OccupancyGrid b = a;
  EXPECT_EQ(a, b);
  b.data[1] = -1;
  EXPECT_NE(a, b);
  b = a;
  b.info.origin.orientation.w = 0.5;
  EXPECT_NE(a, b);

  tf2_msgs::msg::TFMessage tf;
  tf.transforms.emplace_back().child_frame_id = "base_link";
  tf2_msgs::msg::TFMessage other = tf;
  other.transforms[0].header.frame_id = "odom";
  EXPECT_NE(tf, other);

  nav2_msgs::msg::Costmap costmap;
  costmap.metadata.size_x = 3;
  EXPECT_NE(costmap, nav2_msgs::msg::Costmap());
}

// Aggregate initialisation fixes the order and the types of the fields that
// the planning code relies on: a reordered or retyped field stops compiling.
TEST(MakerMessages, PathAndMultiPathsFieldOrder) {
  nav_msgs::msg::Path nav_path;
  nav_path.poses.resize(3);
  const np::msg::Path path{nav_path, 0.2f, true, false, 4};
  EXPECT_EQ(path.nav_path.poses.size(), 3u);
  EXPECT_FLOAT_EQ(path.tolerance, 0.2f);
  EXPECT_TRUE(path.move_backward);
  EXPECT_FALSE(path.check_blocked);
  EXPECT_EQ(path.path_type, 4);

  std_msgs::msg::Header header;
  header.frame_id = "map";
  const np::msg::MultiPaths paths{header, "uuid-1", {path, np::msg::Path()}};
  EXPECT_EQ(paths.uuid, "uuid-1");
  ASSERT_EQ(paths.paths.size(), 2u);
  EXPECT_FALSE(paths.paths[1].move_backward);
  EXPECT_FLOAT_EQ(paths.paths[1].tolerance, 0.0f);
}

TEST(MakerMessages, GlobalPlanningFieldOrder) {
  const np::action::GlobalPlanning::Goal goal{{geometry_msgs::msg::PoseStamped()},
                                              "astar",
                                              int16_t{405},
                                              {geometry_msgs::msg::Point32()},
                                              int32_t{12},
                                              true,
                                              false,
                                              true,
                                              {}};
  EXPECT_EQ(goal.current_planning_id, "astar");
  EXPECT_EQ(goal.goal_mode, 405);
  EXPECT_EQ(goal.action_id, 12);
  EXPECT_TRUE(goal.forbid_fuzzy_goal);
  EXPECT_TRUE(goal.goal_flag_3);
  EXPECT_TRUE(goal.covered_points_frm_taskcenter.empty());

  const np::action::GlobalPlanning::Result result{np::msg::MultiPaths(),
                                                  {geometry_msgs::msg::Polygon()},
                                                  0.5f,
                                                  -0.5f,
                                                  "uuid",
                                                  int16_t{100},
                                                  int32_t{3},
                                                  int32_t{101100007},
                                                  {}};
  EXPECT_FLOAT_EQ(result.end_target_yaw, -0.5f);
  EXPECT_EQ(result.error_code, 101100007);
  EXPECT_EQ(np::action::GlobalPlanning::Result().error_code, 0);
}

TEST(MakerMessages, LiftAndForcedPathFieldOrder) {
  const np::action::LiftFree::Result lift{true, false};
  EXPECT_TRUE(lift.is_free);
  EXPECT_FALSE(lift.is_contained);

  const np::action::FuzzyLiftFree::Goal fuzzy_goal{
      geometry_msgs::msg::PoseStamped(), geometry_msgs::msg::Polygon(), 0, 0, "lift_out", true};
  EXPECT_EQ(fuzzy_goal.planner_name, "lift_out");
  EXPECT_TRUE(fuzzy_goal.resize_flag);
  const np::action::FuzzyLiftFree::Result fuzzy_result;
  EXPECT_FALSE(fuzzy_result.is_free);
  EXPECT_FALSE(fuzzy_result.has_emergency);
  EXPECT_EQ(fuzzy_result.reserved_flag, 0);
  EXPECT_EQ(fuzzy_result.error_code, 0);
  EXPECT_DOUBLE_EQ(fuzzy_result.free_pose.pose.orientation.w, 1.0);

  const np::action::ForceGlobalPath::Result forced{true, np::msg::MultiPaths()};
  EXPECT_TRUE(forced.success);
  static_assert(std::is_same_v<decltype(np::action::ForceGlobalPath::Goal().target_pose),
                               geometry_msgs::msg::PoseStamped>);
}

TEST(MakerMessages, LocalPlanningFieldOrder) {
  const np::action::LocalPlanning::Goal goal{np::msg::MultiPaths(),
                                             {},
                                             "dynamic_coverage_planning",
                                             "uuid",
                                             int16_t{1},
                                             int32_t{9},
                                             {},
                                             0.8f,
                                             int32_t{10},
                                             int32_t{40},
                                             0.3f,
                                             true,
                                             geometry_msgs::msg::PoseStamped(),
                                             int32_t{601},
                                             {{1, 0, 1}},
                                             {}};
  EXPECT_FLOAT_EQ(goal.max_speed, 0.8f);
  EXPECT_EQ(goal.path_overlap_distance, 10);
  EXPECT_EQ(goal.coverage_width, 40);
  EXPECT_EQ(goal.planning_mode, 601);
  EXPECT_EQ(goal.goal_flags[2], 1);

  const np::action::LocalPlanning::Result result{np::msg::Path(),
                                                 np::msg::MultiPaths(),
                                                 {},
                                                 uint8_t{0},
                                                 0.1f,
                                                 0.2f,
                                                 0.9f,
                                                 geometry_msgs::msg::Twist(),
                                                 uint8_t{1},
                                                 uint8_t{1},
                                                 uint8_t{1},
                                                 uint8_t{0},
                                                 uint8_t{0},
                                                 int32_t{9},
                                                 {},
                                                 uint8_t{1},
                                                 uint8_t{0},
                                                 uint8_t{0},
                                                 12.5f};
  EXPECT_FLOAT_EQ(result.speed_limit_percent, 0.9f);
  EXPECT_EQ(result.action_id, 9);
  EXPECT_EQ(result.reserved_twist.size(), 6u);
  EXPECT_FLOAT_EQ(result.cleaned_area, 12.5f);
  EXPECT_EQ(np::action::LocalPlanning::Result().need_replan, 0);
}

TEST(MakerMessages, ServicesAndEvents) {
  np::srv::GetCoveredPoints::Request request;
  request.request_flag = 1;
  const np::srv::GetCoveredPoints::Response response{{geometry_msgs::msg::PoseStamped()}, true};
  EXPECT_EQ(response.covered_poses.size(), 1u);

  const vantrell_protocol::srv::WaterUptakePath::Request uptake{{geometry_msgs::msg::Polygon()}};
  EXPECT_EQ(uptake.zone_polygons.size(), 1u);
  static_assert(std::is_same_v<decltype(vantrell_protocol::srv::WaterUptakePath::Response().path),
                               std::vector<geometry_msgs::msg::PoseStamped>>);

  const vantrell_protocol::msg::CoveredPoints covered{
      int32_t{5}, {geometry_msgs::msg::Point32()}, 3.5, int32_t{60}};
  EXPECT_DOUBLE_EQ(covered.remaining_area, 3.5);
  EXPECT_EQ(covered.remaining_time, 60);

  const vantrell_protocol::msg::RobotEvent event{{}, int32_t{6}, int32_t{70001}, "", {}};
  EXPECT_EQ(event.event_type, 6);
  EXPECT_EQ(event.event_code, 70001);
  EXPECT_TRUE(event.params.empty());
}
