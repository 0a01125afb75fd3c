// Construction, configuration and the lifecycle of the local planning node.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "node_fixture.hpp"

namespace local_node_test {
namespace {

using CallbackReturn = planning::NavLocalPlanningServer::CallbackReturn;
using State = lifecycle_msgs::msg::State;

// "declare <name>" for each name of `names`, in order.
std::vector<std::string> declarations(const std::string& names) {
  std::istringstream words(names);
  std::vector<std::string> entries;
  for (std::string name; words >> name;) {
    entries.push_back("declare " + name);
  }
  return entries;
}

// The node's own names: plainly declared, then declared when missing.
const std::string kOwnNames =
    "start_front_dis end_back_dis robot_forward_dis cut_path_forward_dis "
    "cut_path_tolerance_max_dis linear_forward_dis max_goal_dis costmap_value "
    "goal_inflation_radius path_to_dwb_dis min_dis_cur_to_last min_dis_path_to_dwb "
    "tolerance_point_to_last_point make_plan_from_current_pose radio_cur_last_to_path_dis "
    "tolerance_zero_index_count jump_point_dis enable_contour_dilation stop_wait_time "
    "max_wait_times max_obstacle_checkout_count dynamic_obstacle_checkout_range "
    "avoid_obstacle_distance stop_obstacle_distance stop_dynamic_obstacle smooth_window_size "
    "rotation_direction_path_length task_finish_path_len plnning_offset_distance "
    "backward_max_speed lift_out_max_speed distance_threshold "
    // second group
    "in_narrow_passage_max_speed distance_from_path_to_obstacle distance_from_path_to_milk "
    "max_angle_tolerance need_milk_limit_time milk_need_dis point_nav_max_speed "
    "non_welt_clean_max_speed welt_clean_max_speed milk_clean_max_speed near_obstacle_max_speed "
    "big_curve_max_speed curve_theta_tolerance_current_to_start path_near_obstacle_cut_dis "
    "big_turn_nead_curve clean_mode_need_audio welt_mode_need_audio two_speaker_nead_time "
    "static_coverage_spin_theta_tolerance static_coverage_spin_theta_tolerance_backward "
    "people_source_timeout is_use_trajectory_collision spin_judge_path_length_tolerance";

class NodeLifecycle : public LocalNodeTest {};

TEST_F(NodeLifecycle, DeclaresItsGroupsAroundThePlannersAndHandsOverTheEnginesInKeyOrder) {
  buildNode();
  // Built in this order; "dijkstra" comes first in key order.
  node_->test_planner_keys = {"scripted", keys::kDijkstra};
  bringUp();
  const auto& journal = node_->journal;

  const auto own = declarations(kOwnNames);
  ASSERT_GE(journal.size(), own.size());
  EXPECT_EQ(std::vector<std::string>(journal.begin(), journal.begin() + own.size()), own);
  // The planners come next (the first declares the planner base's names), then the third
  // group, then the setters.
  const auto built = std::find(journal.begin(), journal.end(), "build scripted");
  ASSERT_NE(built, journal.end());
  EXPECT_EQ(std::vector<std::string>(built, journal.end()),
            (std::vector<std::string>{
                "build scripted", "build dijkstra", "declare result_service_qos_depth",
                "declare result_timeout_seconds", "dijkstra setLocalPlanner",
                "dijkstra setGlobalPlanner", "dijkstra setTraceLogger", "scripted setLocalPlanner",
                "scripted setGlobalPlanner", "scripted setTraceLogger"}));
}

TEST_F(NodeLifecycle, DefaultsAndOverridesOfEveryGroup) {
  struct Case {
    const char* name;
    rclcpp::NodeOptions options;
    double rotation, backward, lift_out, point_nav, clean, coverage, coverage_backward, spin;
    int32_t milk_hold, people_timeout;
    bool trajectory;
    int depth, timeout;
  };
  rclcpp::NodeOptions overrides;
  overrides.append_parameter_override("rotation_direction_path_length", 0.7)
      .append_parameter_override("backward_max_speed", 0.15)
      .append_parameter_override("lift_out_max_speed", 0.25)
      .append_parameter_override("tolerance_zero_index_count", 5)
      .append_parameter_override("point_nav_max_speed", 0.9)
      .append_parameter_override("non_welt_clean_max_speed", 0.7)
      .append_parameter_override("static_coverage_spin_theta_tolerance", 0.6)
      .append_parameter_override("static_coverage_spin_theta_tolerance_backward", 0.3)
      .append_parameter_override("spin_judge_path_length_tolerance", 0.35)
      .append_parameter_override("need_milk_limit_time", 7)
      .append_parameter_override("people_source_timeout", 900)
      .append_parameter_override("is_use_trajectory_collision", false)
      .append_parameter_override("result_service_qos_depth", 7)
      .append_parameter_override("result_timeout_seconds", 3);
  const std::vector<Case> cases{
      {"defaults", {}, 0.5, 0.2, 0.32, 1.0, 0.8, 0.78, 0.4, 0.2, 5, 1500, true, 2, 2},
      {"overrides", overrides, 0.7, 0.15, 0.25, 0.9, 0.7, 0.6, 0.3, 0.35, 7, 900, false, 7, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    buildNode(c.options);
    bringUp();
    EXPECT_DOUBLE_EQ(node_->rotationLength(), c.rotation);
    EXPECT_DOUBLE_EQ(node_->speedSettings().backward_max_speed, c.backward);
    EXPECT_DOUBLE_EQ(node_->speedSettings().lift_out_max_speed, c.lift_out);
    EXPECT_DOUBLE_EQ(node_->speedLimits().point_nav_max_speed, c.point_nav);
    EXPECT_DOUBLE_EQ(node_->speedLimits().non_welt_clean_max_speed, c.clean);
    EXPECT_DOUBLE_EQ(node_->getStartSpinThetaThreshold(601, false), c.coverage);
    EXPECT_DOUBLE_EQ(node_->getStartSpinThetaThreshold(601, true), c.coverage_backward);
    EXPECT_DOUBLE_EQ(node_->getStartSpinThetaThreshold(502, true), M_PI / 2.0);
    EXPECT_DOUBLE_EQ(node_->getStartSpinThetaThreshold(0, false), M_PI / 2.0);
    EXPECT_DOUBLE_EQ(node_->spinLengthTolerance(), c.spin);
    EXPECT_EQ(node_->speedSettings().need_milk_limit_time, c.milk_hold);
    EXPECT_EQ(node_->speedLimits().people_source_timeout, c.people_timeout);
    EXPECT_EQ(node_->speedSettings().is_use_trajectory_collision, c.trajectory);
    const std::string server = "[action_name] local_planning options.result_";
    EXPECT_EQ(countLogged("INFO", server + "service_qos.depth is " + std::to_string(c.depth)), 1);
    EXPECT_EQ(countLogged("INFO", server + "timeout.nanoseconds is " + std::to_string(c.timeout) +
                                      "000000000"),
              1);
    EXPECT_EQ(countLogged("INFO", "[NavLocalPlanningServer]big_curve_max_speed:0.4"), 1);
    EXPECT_EQ(countLogged("INFO", "[NavLocalPlanningServer]near_obstacle_max_speed:0.4"), 1);
  }
  EXPECT_EQ(node_->get_parameter("tolerance_zero_index_count").as_int(), 5);
}

TEST_F(NodeLifecycle, GoalsAreRejectedUntilActivationAndStillAcceptedAfterDeactivation) {
  buildNode();
  ASSERT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_FALSE(plan().accepted);

  ASSERT_EQ(node_->activate().id(), State::PRIMARY_STATE_ACTIVE);
  ASSERT_EQ(node_->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_TRUE(plan().succeeded());
}

TEST_F(NodeLifecycle, ConfiguringAgainFailsAtTheFirstNameAndTheNodeKeepsServing) {
  startNode();
  ASSERT_TRUE(plan().succeeded());
  const auto* result_before = &node_->result();
  const size_t table = node_->tableSize();
  ASSERT_EQ(node_->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node_->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);

  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  // Nothing of the first configure was replaced: the same server and result record serve on.
  EXPECT_EQ(&node_->result(), result_before);
  EXPECT_EQ(node_->tableSize(), table);
  EXPECT_TRUE(plan().succeeded());
  EXPECT_EQ(node_->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
}

TEST_F(NodeLifecycle, ParametersThatCannotBeUsedFailConfigureNamingThem) {
  const std::string range = ", outside 0 to 2147483647";
  const std::string kIntRange = ", outside -2147483648 to 2147483647";
  const std::vector<std::pair<rclcpp::Parameter, std::string>> cases{
      {rclcpp::Parameter("start_front_dis", std::string("far")), ""},
      {rclcpp::Parameter("point_nav_max_speed", true), ""},
      {rclcpp::Parameter("result_service_qos_depth", -1),
       "parameter \"result_service_qos_depth\" is -1" + range},
      {rclcpp::Parameter("result_timeout_seconds", static_cast<int64_t>(1) << 40),
       "parameter \"result_timeout_seconds\" is 1099511627776" + range},
      {rclcpp::Parameter("need_milk_limit_time", static_cast<int64_t>(1) << 40),
       "parameter \"need_milk_limit_time\" is 1099511627776" + kIntRange},
      // Read by the coverage planners, their contour manager and its image conversion.
      {rclcpp::Parameter("morph_open_iterations", static_cast<int64_t>(4294967297)),
       "parameter \"morph_open_iterations\" is 4294967297" + kIntRange},
      {rclcpp::Parameter("max_obstacle_checkout_count", static_cast<int64_t>(1) << 32),
       "parameter \"max_obstacle_checkout_count\" is 4294967296" + kIntRange},
      {rclcpp::Parameter("tolerance_zero_index_count", -(static_cast<int64_t>(1) << 32)),
       "parameter \"tolerance_zero_index_count\" is -4294967296" + kIntRange},
      {rclcpp::Parameter("obstacle_recording_packet_interval_time", static_cast<int64_t>(1) << 31),
       "parameter \"obstacle_recording_packet_interval_time\" is 2147483648" + kIntRange},
      {rclcpp::Parameter("clean_cost", 256), "parameter \"clean_cost\" is 256, outside 0 to 255"},
      {rclcpp::Parameter("inflation_cost", -1),
       "parameter \"inflation_cost\" is -1, outside 0 to 255"}};
  for (const auto& [bad, error] : cases) {
    SCOPED_TRACE(bad.get_name());
    test_support::captureLog()->clear();
    rclcpp::NodeOptions options;
    options.parameter_overrides().push_back(bad);
    buildNode(options);
    CallbackReturn code = CallbackReturn::SUCCESS;
    EXPECT_EQ(node_->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
    EXPECT_EQ(code, CallbackReturn::ERROR);
    EXPECT_EQ(logged("ERROR"),
              error.empty() ? std::vector<std::string>{} : std::vector<std::string>{error});
    EXPECT_EQ(node_->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  }
}

TEST_F(NodeLifecycle, MissingGridMapIsRefused) {
  buildNode();
  const auto map = maps_.global;
  EXPECT_THROW(ObservedNode(nullptr, map, map), std::invalid_argument);
  EXPECT_THROW(ObservedNode(map, nullptr, map), std::invalid_argument);
  EXPECT_THROW(ObservedNode(map, map, nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace local_node_test
