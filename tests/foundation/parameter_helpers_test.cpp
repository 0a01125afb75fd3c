#include "vantrell_nav2_base_class/parameter_helpers.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/log_capture.hpp"

namespace {

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> makeNode(
    const std::vector<rclcpp::Parameter>& overrides = {}) {
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("parameter_helpers_node", options);
}

TEST(DeclareAndGetParameter, DeclaresAMissingNameWithItsDefault) {
  const auto node = makeNode();
  EXPECT_DOUBLE_EQ(declareAndGetParameter(node, "fuzzy_range", 0.6), 0.6);
  EXPECT_TRUE(node->has_parameter("fuzzy_range"));
  EXPECT_DOUBLE_EQ(node->get_parameter("fuzzy_range").as_double(), 0.6);

  EXPECT_TRUE(declareAndGetParameter(node, "use_obatacle_identify", true));
  EXPECT_EQ(declareAndGetParameter(node, "safe_cost", 180), 180);
  EXPECT_EQ(node->get_parameter("safe_cost").get_type(), rclcpp::ParameterType::PARAMETER_INTEGER);
  EXPECT_EQ(declareAndGetParameter(node, "frame", std::string("map")), "map");
}

TEST(DeclareAndGetParameter, KeepsTheFirstDeclarationWhateverLaterDefaultsSay) {
  const auto node = makeNode();
  node->declare_parameter("result_timeout_seconds", 1.0);
  EXPECT_DOUBLE_EQ(declareAndGetParameter(node, "result_timeout_seconds", 2.0), 1.0);

  EXPECT_EQ(declareAndGetParameter(node, "retries", 3), 3);
  EXPECT_EQ(declareAndGetParameter(node, "retries", 9), 3);

  node->set_parameter(rclcpp::Parameter("retries", 5));
  EXPECT_EQ(declareAndGetParameter(node, "retries", 9), 5);
}

TEST(DeclareAndGetParameter, AValueGivenFromOutsideWinsOverTheDefault) {
  const auto node = makeNode(
      {rclcpp::Parameter("check_area", 2.5), rclcpp::Parameter("max_count", 40),
       rclcpp::Parameter("enabled", false), rclcpp::Parameter("name", std::string("lift"))});
  EXPECT_DOUBLE_EQ(declareAndGetParameter(node, "check_area", 1.0), 2.5);
  EXPECT_EQ(declareAndGetParameter(node, "max_count", 1), 40);
  EXPECT_FALSE(declareAndGetParameter(node, "enabled", true));
  EXPECT_EQ(declareAndGetParameter(node, "name", std::string("hall")), "lift");
}

TEST(DeclareAndGetParameter, AStringLiteralDefaultDeclaresAString) {
  const auto node = makeNode();
  EXPECT_EQ(declareAndGetParameter(node, "water_uptake_path_server.water_uptake_service_name",
                                   "/vantrell_nav2_custom_planning/WaterUptakePath"),
            "/vantrell_nav2_custom_planning/WaterUptakePath");
  EXPECT_EQ(node->get_parameter("water_uptake_path_server.water_uptake_service_name").get_type(),
            rclcpp::ParameterType::PARAMETER_STRING);
}

TEST(DeclareAndGetParameter, ANameDeclaredWithAnotherTypeThrowsToTheCaller) {
  const auto node = makeNode();
  node->declare_parameter("speed", 0.5);
  EXPECT_THROW(declareAndGetParameter(node, "speed", 1), rclcpp::ParameterTypeException);
  EXPECT_THROW(declareAndGetParameter(node, "speed", true), rclcpp::ParameterTypeException);
  EXPECT_THROW(declareAndGetParameter(node, "speed", std::string("fast")),
               rclcpp::ParameterTypeException);
  // The earlier declaration is untouched.
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.5);
}

TEST(DeclareAndGetParameter, AnOutsideValueOfAnotherTypeIsRefusedAtDeclaration) {
  const auto node = makeNode({rclcpp::Parameter("fuzzy_range", std::string("wide"))});
  EXPECT_ANY_THROW(declareAndGetParameter(node, "fuzzy_range", 0.6));
}

// An int cannot hold every integer parameter: such a value must fail the read, not be wrapped
// into another number (4294967297 would read as 1).
TEST(DeclareAndGetParameter, AnIntegerAnIntCannotHoldFailsNamingTheParameter) {
  const auto log = test_support::captureLog();
  log->clear();
  const auto node = makeNode({rclcpp::Parameter("retries", int64_t{4294967297}),
                              rclcpp::Parameter("depth", int64_t{-2147483649})});
  EXPECT_THROW(declareAndGetParameter(node, "retries", 3),
               rclcpp::exceptions::InvalidParameterValueException);
  EXPECT_THROW(declareAndGetParameter(node, "depth", 3),
               rclcpp::exceptions::InvalidParameterValueException);
  const auto texts = log->texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].substr(4),
            "[ERROR] parameter \"retries\" is 4294967297, outside "
            "-2147483648 to 2147483647");

  // The bounds are the caller's to narrow further.
  EXPECT_EQ(narrowIntegerParameter("result_service_qos_depth", 0, 0), 0);
  EXPECT_THROW(narrowIntegerParameter("result_service_qos_depth", -1, 0),
               rclcpp::exceptions::InvalidParameterValueException);
}

// A length the planners count in cells must be a number whose cells an int can count, in the
// words an integer out of its range gets.
TEST(CheckLengthParameter, ALengthNoGridMapCanCountInCellsFailsNamingIt) {
  const auto log = test_support::captureLog();
  EXPECT_EQ(checkLengthParameter("robot_half_width_offset", -0.3, 0.05), -0.3);
  EXPECT_EQ(checkLengthParameter("robot_half_width_offset", 1e8, 0.05), 1e8);
  for (const double metres : {1.1e8, -1e300, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(metres);
    log->clear();
    EXPECT_THROW(checkLengthParameter("robot_half_width_offset", metres, 0.05),
                 rclcpp::exceptions::InvalidParameterValueException);
    const auto texts = log->texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].substr(4).rfind("[ERROR] parameter \"robot_half_width_offset\" is ", 0), 0u)
        << texts[0];
    EXPECT_NE(texts[0].find(", outside -107374182.35000001 to 107374182.35000001"),
              std::string::npos)
        << texts[0];
  }
}

}  // namespace
