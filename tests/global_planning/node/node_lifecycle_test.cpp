// Construction, configuration and the lifecycle of the global planning node.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <vector>

#include "node_fixture.hpp"
#include "rclcpp/detail/graph.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace node_test {
namespace {

using CallbackReturn = planning::NavGlobalPlanningServer::CallbackReturn;

// The options of the live action server `name` (resolved in the root namespace) of type ActionT.
template <typename ActionT>
rcl_action_server_options_t serverOptions(const std::string& name) {
  const auto found = rclcpp::detail::Graph::instance().find_endpoints(
      "action_server", "/" + name, std::type_index(typeid(ActionT)));
  EXPECT_EQ(found.size(), 1U) << name;
  if (found.empty()) {
    return rcl_action_server_get_default_options();
  }
  return std::static_pointer_cast<rclcpp_action::Server<ActionT>>(found.front())->get_options();
}

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

class NodeLifecycle : public NodeTest {};

TEST_F(NodeLifecycle, OverridesReachAllFourActionServersAndTheLiftGeometry) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("result_service_qos_depth", 7)
      .append_parameter_override("result_timeout_seconds", 3)
      .append_parameter_override("lift_length", 2.0)
      .append_parameter_override("lift_width", 1.8)
      .append_parameter_override("lift_waiting_area", 3.5)
      .append_parameter_override("offset_x", 9.0)
      .append_parameter_override("offset_y", 9.0)
      .append_parameter_override("lift_polygon",
                                 std::vector<double>{1.0, 1.0, 1.0, -1.0, -1.0, -1.0, -1.0, 1.0});
  buildNode(test_support::drawEmptyRoom(), options);
  vantrell_nav2_gridmap::testing::setFootprint(
      *global_map_, {point(0.4, 0.2), point(0.4, -0.3), point(-0.2, -0.3), point(-0.2, 0.2)});
  bringUp();

  for (const auto& action_options :
       {serverOptions<GlobalPlanning>("global_planning"), serverOptions<LiftFree>("is_global_free"),
        serverOptions<FuzzyLiftFree>("is_fuzzy_global_free"),
        serverOptions<ForceGlobalPath>("force_global_path")}) {
    EXPECT_EQ(action_options.result_service_qos.depth, 7U);
    EXPECT_EQ(action_options.result_timeout.nanoseconds, 3000000000);
  }
  EXPECT_DOUBLE_EQ(node_->liftLength(), 2.0);
  EXPECT_DOUBLE_EQ(node_->liftWidth(), 1.8);
  EXPECT_DOUBLE_EQ(node_->liftWaitingArea(), 3.5);
  // The footprint's extents replace the configured offsets.
  EXPECT_DOUBLE_EQ(node_->offsetX(), 0.4);
  EXPECT_DOUBLE_EQ(node_->offsetY(), 0.3);
  // Ends by (1.0 - 0.4 - 0.25, 0.9 - 0.4 - 0.25), the middle by (1.0, 0.9).
  const std::vector<double> expected{0.35, 0.25, 1.0, -0.9, -1.0, -0.9, -0.35, 0.25};
  ASSERT_EQ(node_->liftPolygon().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(node_->liftPolygon()[i], expected[i], 1e-12) << i;
  }
}

TEST_F(NodeLifecycle, DefaultsGiveTwoSecondResultsAndDepthTwo) {
  startNode(test_support::drawEmptyRoom());

  const auto options = serverOptions<GlobalPlanning>("global_planning");
  EXPECT_EQ(options.result_service_qos.depth, 2U);
  EXPECT_EQ(options.result_timeout.nanoseconds, 2000000000);
  EXPECT_DOUBLE_EQ(node_->liftLength(), 1.6);
  EXPECT_DOUBLE_EQ(node_->liftWidth(), 1.5);
  EXPECT_DOUBLE_EQ(node_->liftWaitingArea(), 2.0);
  EXPECT_TRUE(node_->liftPolygon().empty());
  // The grid map's default footprint is 0.6 m x 0.5 m.
  EXPECT_DOUBLE_EQ(node_->offsetX(), 0.3);
  EXPECT_DOUBLE_EQ(node_->offsetY(), 0.25);
  EXPECT_EQ(node_->get_parameter("safe_cost").as_int(), 0);
  EXPECT_DOUBLE_EQ(node_->get_parameter("fuzzy_range").as_double(), 1.0);
  EXPECT_TRUE(node_->get_parameter("simple_smoother.do_refinement").as_bool());
}

TEST_F(NodeLifecycle, EmptyFootprintLeavesBothOffsetsAtZero) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("offset_x", 0.5).append_parameter_override("offset_y", 0.4);
  buildNode(test_support::drawEmptyRoom(), options);
  vantrell_nav2_gridmap::testing::setFootprint(*global_map_, {});
  bringUp();

  EXPECT_EQ(node_->offsetX(), 0.0);
  EXPECT_EQ(node_->offsetY(), 0.0);
}

TEST(LiftPolygonScaling, EndsKeepRoomForTheRobotAndTheDoorMiddlesSpanTheCar) {
  // lift 1.6 x 1.5, footprint reaching 0.35 forward.
  std::vector<double> polygon{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  ObservedNode::scaleLiftPolygon(polygon, 1.6, 1.5, 0.35);
  const std::vector<double> expected{0.2, 0.15, 0.8, 0.75, 0.2, 0.15};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(polygon[i], expected[i], 1e-12) << i;
  }
}

TEST(LiftPolygonScaling, ShortPolygons) {
  std::vector<double> empty;
  ObservedNode::scaleLiftPolygon(empty, 1.6, 1.5, 0.35);
  EXPECT_TRUE(empty.empty());

  // One pair is both first and last: scaled once.
  std::vector<double> one_pair{2.0, 2.0};
  ObservedNode::scaleLiftPolygon(one_pair, 1.6, 1.5, 0.35);
  EXPECT_NEAR(one_pair[0], 0.4, 1e-12);
  EXPECT_NEAR(one_pair[1], 0.3, 1e-12);

  // A trailing odd value belongs to no pair.
  std::vector<double> odd{2.0, 2.0, 5.0};
  ObservedNode::scaleLiftPolygon(odd, 1.6, 1.5, 0.35);
  EXPECT_NEAR(odd[0], 0.4, 1e-12);
  EXPECT_NEAR(odd[1], 0.3, 1e-12);
  EXPECT_EQ(odd[2], 5.0);
}

TEST_F(NodeLifecycle, TableHoldsEveryPlannerOfThisNode) {
  startNode(test_support::drawEmptyRoom());
  const auto keys = node_->plannerKeys();
  for (const std::string key :
       {keys::kDijkstra, keys::kDijkstraGoalZone, keys::kDijkstraUptakeWater, keys::kWayPoints,
        keys::kAstarWithLocalAndGlobalMap, keys::kRecommandPoints}) {
    EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << key;
  }
}

TEST_F(NodeLifecycle, GoalsAreRejectedUntilActivationAndStillAcceptedAfterDeactivation) {
  buildNode(test_support::drawEmptyRoom());
  ASSERT_EQ(node_->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);

  const auto before = task_manager_->call<LiftFree>("is_global_free", LiftFree::Goal());
  EXPECT_FALSE(before.accepted);
  const auto plan_before = plan(goalFor(keys::kDijkstra, {poseAt(2.5, 2.0)}));
  EXPECT_FALSE(plan_before.accepted);

  ASSERT_EQ(node_->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  ASSERT_EQ(node_->deactivate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  EXPECT_TRUE(task_manager_->call<LiftFree>("is_global_free", LiftFree::Goal()).succeeded());
  EXPECT_TRUE(task_manager_->call<FuzzyLiftFree>("is_fuzzy_global_free", FuzzyLiftFree::Goal())
                  .succeeded());
  EXPECT_TRUE(task_manager_->call<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal())
                  .succeeded());
  placeRobot("centre");
  EXPECT_TRUE(plan(goalFor(keys::kDijkstra, {poseAt(map_, "near_left_wall")})).succeeded());
}

TEST_F(NodeLifecycle, SecondConfigureAfterCleanupFailsOnRedeclaration) {
  startNode(test_support::drawEmptyRoom());
  ASSERT_EQ(node_->deactivate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node_->cleanup().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNCONFIGURED);

  CallbackReturn code = CallbackReturn::SUCCESS;
  node_->configure(code);
  EXPECT_EQ(code, CallbackReturn::ERROR);
}

TEST_F(NodeLifecycle, ParameterOfTheWrongTypeFailsConfigureWithoutACrash) {
  rclcpp::NodeOptions options;
  options.append_parameter_override("lift_polygon", std::string("1 2 3 4"));
  buildNode(test_support::drawEmptyRoom(), options);

  CallbackReturn code = CallbackReturn::SUCCESS;
  node_->configure(code);
  EXPECT_EQ(code, CallbackReturn::ERROR);
}

// An integer parameter narrowed into a 32-bit member (or a size) must not wrap: -1 would become a
// huge result history, 4294967297 s one second.
TEST_F(NodeLifecycle, IntegerParametersOutOfRangeFailConfigureNamingTheParameter) {
  struct Case {
    std::string name;
    int64_t value;
  };
  for (const Case& bad :
       {Case{"result_service_qos_depth", -1}, Case{"result_timeout_seconds", 4294967297},
        Case{"result_timeout_seconds", -2}, Case{"safe_cost", 4294967296}}) {
    SCOPED_TRACE(bad.name + " = " + std::to_string(bad.value));
    log_->clear();
    rclcpp::NodeOptions options;
    options.append_parameter_override(bad.name, bad.value);
    buildNode(test_support::drawEmptyRoom(), options);
    CallbackReturn code = CallbackReturn::SUCCESS;
    node_->configure(code);
    EXPECT_EQ(code, CallbackReturn::ERROR);
    EXPECT_EQ(log_->count("[ERROR] parameter \"" + bad.name + "\" is " + std::to_string(bad.value) +
                          ", outside "),
              1U);
  }
}

TEST(NodeConstruction, MissingGridMapIsRefused) {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  const auto room = test_support::drawEmptyRoom();
  const auto map = vantrell_nav2_gridmap::testing::makeGridMap("global", room.image, 0.05);
  EXPECT_THROW(ObservedNode(map, nullptr), std::invalid_argument);
  EXPECT_THROW(ObservedNode(nullptr, map), std::invalid_argument);
}

}  // namespace
}  // namespace node_test
