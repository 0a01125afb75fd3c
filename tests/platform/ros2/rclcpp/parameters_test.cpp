#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"

namespace {

rclcpp::NodeOptions with_overrides(const std::vector<rclcpp::Parameter>& overrides) {
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return options;
}

TEST(Parameters, TypedDeclarationReturnsTheDefault) {
  auto node = std::make_shared<rclcpp::Node>("typed_params");
  EXPECT_EQ(node->declare_parameter<double>("speed", 0.5), 0.5);
  EXPECT_EQ(node->declare_parameter<int>("count", 3), 3);
  EXPECT_EQ(node->declare_parameter<bool>("enabled", true), true);
  EXPECT_EQ(node->declare_parameter<std::string>("mode", "fast"), "fast");
  EXPECT_EQ(node->declare_parameter<std::vector<double>>("weights", {1.0, 2.0}),
            (std::vector<double>{1.0, 2.0}));
  EXPECT_TRUE(node->has_parameter("speed"));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.5);
  EXPECT_EQ(node->get_parameter("count").as_int(), 3);
  EXPECT_EQ(node->get_parameter("weights").as_double_array().size(), 2u);
  EXPECT_EQ(node->get_parameter("mode").get_value<std::string>(), "fast");
}

TEST(Parameters, OverrideWinsAtDeclaration) {
  auto node = std::make_shared<rclcpp::Node>(
      "override_params", with_overrides({{"speed", 1.25}, {"ids", std::vector<int64_t>{4, 5}}}));
  EXPECT_DOUBLE_EQ(node->declare_parameter("speed", rclcpp::ParameterValue(0.5)).get<double>(),
                   1.25);
  EXPECT_EQ(node->declare_parameter<std::vector<int64_t>>("ids", {1}),
            (std::vector<int64_t>{4, 5}));
}

TEST(Parameters, IgnoreOverrideKeepsTheDefault) {
  auto node = std::make_shared<rclcpp::Node>("ignore_override", with_overrides({{"speed", 9.0}}));
  node->declare_parameter("speed", rclcpp::ParameterValue(0.5), {}, true);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.5);
}

TEST(Parameters, SecondDeclarationThrows) {
  auto node = std::make_shared<rclcpp::Node>("twice");
  node->declare_parameter<int>("count", 1);
  EXPECT_THROW(node->declare_parameter<int>("count", 2),
               rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_EQ(node->get_parameter("count").as_int(), 1);
}

TEST(Parameters, OverrideOfAnotherTypeThrowsAtDeclaration) {
  auto node = std::make_shared<rclcpp::Node>("bad_override", with_overrides({{"speed", 2}}));
  EXPECT_THROW(node->declare_parameter<double>("speed", 0.5),
               rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_FALSE(node->has_parameter("speed"));
}

TEST(Parameters, TypedReadOfAnotherTypeThrows) {
  auto node = std::make_shared<rclcpp::Node>("typed_read");
  node->declare_parameter<int>("count", 4);
  EXPECT_THROW(node->get_parameter("count").as_double(), rclcpp::ParameterTypeException);
  double value = 0.0;
  EXPECT_THROW(node->get_parameter("count", value), rclcpp::ParameterTypeException);
}

TEST(Parameters, UndeclaredReadLeavesTheValueUntouched) {
  auto node = std::make_shared<rclcpp::Node>("undeclared_read");
  double value = 7.5;
  EXPECT_FALSE(node->get_parameter("missing", value));
  EXPECT_DOUBLE_EQ(value, 7.5);
  EXPECT_THROW(node->get_parameter("missing"), rclcpp::exceptions::ParameterNotDeclaredException);
  int64_t count = 0;
  node->declare_parameter<int>("count", 12);
  EXPECT_TRUE(node->get_parameter("count", count));
  EXPECT_EQ(count, 12);
}

TEST(Parameters, SetParameterChecksTypeAndDeclaration) {
  auto node = std::make_shared<rclcpp::Node>("setting");
  node->declare_parameter<double>("speed", 0.5);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("speed", 0.8)).successful);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.8);
  const auto wrong = node->set_parameter(rclcpp::Parameter("speed", "fast"));
  EXPECT_FALSE(wrong.successful);
  EXPECT_NE(wrong.reason.find("Wrong parameter type"), std::string::npos);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.8);
  EXPECT_THROW(node->set_parameter(rclcpp::Parameter("missing", 1.0)),
               rclcpp::exceptions::ParameterNotDeclaredException);
}

TEST(Parameters, ReadOnlyParameterRefusesChanges) {
  auto node = std::make_shared<rclcpp::Node>("read_only");
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.read_only = true;
  node->declare_parameter("fixed", rclcpp::ParameterValue(1.0), descriptor);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("fixed", 2.0)).successful);
  EXPECT_DOUBLE_EQ(node->get_parameter("fixed").as_double(), 1.0);
}

TEST(Parameters, OnSetCallbackCanRejectAValue) {
  auto node = std::make_shared<rclcpp::Node>("validated");
  node->declare_parameter<int>("limit", 1);
  auto handle = node->add_on_set_parameters_callback([](const std::vector<rclcpp::Parameter>& ps) {
    rcl_interfaces::msg::SetParametersResult result;
    result.successful = ps.front().as_int() >= 0;
    result.reason = result.successful ? "" : "negative";
    return result;
  });
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("limit", 5)).successful);
  const auto rejected = node->set_parameter(rclcpp::Parameter("limit", -1));
  EXPECT_FALSE(rejected.successful);
  EXPECT_EQ(rejected.reason, "negative");
  EXPECT_EQ(node->get_parameter("limit").as_int(), 5);
}

TEST(Parameters, DeclaringWithTypeNeedsAnOverride) {
  auto node = std::make_shared<rclcpp::Node>("type_only", with_overrides({{"given", 3.0}}));
  EXPECT_DOUBLE_EQ(node->declare_parameter<double>("given"), 3.0);
  EXPECT_THROW(node->declare_parameter<double>("not_given"),
               rclcpp::exceptions::NoParameterOverrideProvided);
}

TEST(Parameters, ArgumentsGiveOverrides) {
  rclcpp::NodeOptions options;
  options.arguments({"--ros-args", "-p", "rate:=2.5", "-p", "name:=robot", "-p", "on:=true"});
  auto node = std::make_shared<rclcpp::Node>("from_args", options);
  EXPECT_DOUBLE_EQ(node->declare_parameter<double>("rate", 1.0), 2.5);
  EXPECT_EQ(node->declare_parameter<std::string>("name", "x"), "robot");
  EXPECT_TRUE(node->declare_parameter<bool>("on", false));
}

TEST(Parameters, EveryNodeHasUseSimTime) {
  auto node = std::make_shared<rclcpp::Node>("sim_time");
  EXPECT_TRUE(node->has_parameter("use_sim_time"));
  EXPECT_FALSE(node->get_parameter("use_sim_time").as_bool());
}

}  // namespace
