#include <gtest/gtest.h>

#include <memory>
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

TEST(Parameters, ArrayTypesDeclareReadAndOverride) {
  auto node = std::make_shared<rclcpp::Node>(
      "arrays", with_overrides({{"names", std::vector<std::string>{"left", "right"}},
                                {"flags", std::vector<bool>{true, false, true}}}));
  EXPECT_EQ(node->declare_parameter<std::vector<std::string>>("names", {"x"}),
            (std::vector<std::string>{"left", "right"}));
  EXPECT_EQ(node->declare_parameter<std::vector<bool>>("flags", {}),
            (std::vector<bool>{true, false, true}));
  EXPECT_EQ(node->declare_parameter<std::vector<int64_t>>("ids", {7, 8}),
            (std::vector<int64_t>{7, 8}));
  node->declare_parameter("bytes", rclcpp::ParameterValue(std::vector<uint8_t>{1, 255}));
  EXPECT_EQ(node->get_parameter("names").as_string_array().back(), "right");
  EXPECT_EQ(node->get_parameter("flags").as_bool_array().size(), 3u);
  EXPECT_EQ(node->get_parameter("ids").as_integer_array(), (std::vector<int64_t>{7, 8}));
  EXPECT_EQ(node->get_parameter("bytes").as_byte_array(), (std::vector<uint8_t>{1, 255}));
  EXPECT_EQ(node->get_parameter("ids").get_type(), rclcpp::PARAMETER_INTEGER_ARRAY);
  EXPECT_THROW(node->get_parameter("ids").as_double_array(), rclcpp::ParameterTypeException);
  EXPECT_THROW(node->get_parameter("names").as_string(), rclcpp::ParameterTypeException);
  std::vector<std::string> names;
  EXPECT_TRUE(node->get_parameter("names", names));
  EXPECT_EQ(names.size(), 2u);
}

TEST(Parameters, ArrayOverrideOfAnotherElementTypeThrows) {
  auto node = std::make_shared<rclcpp::Node>(
      "bad_array_override", with_overrides({{"polygon", std::vector<int64_t>{1, 2, 3, 4}}}));
  EXPECT_THROW(node->declare_parameter<std::vector<double>>("polygon", {0.0}),
               rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_FALSE(node->has_parameter("polygon"));
}

TEST(Parameters, UndeclaredReadLeavesEveryKindOfValueUntouched) {
  auto node = std::make_shared<rclcpp::Node>("untouched_values");
  std::string text = "keep";
  std::vector<double> values{1.5, 2.5};
  bool flag = true;
  EXPECT_FALSE(node->get_parameter("no_text", text));
  EXPECT_FALSE(node->get_parameter("no_values", values));
  EXPECT_FALSE(node->get_parameter("no_flag", flag));
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(values, (std::vector<double>{1.5, 2.5}));
  EXPECT_TRUE(flag);
  int64_t fallback = 0;
  EXPECT_FALSE(node->get_parameter_or("no_count", fallback, int64_t{42}));
  EXPECT_EQ(fallback, 42);
  EXPECT_FALSE(node->has_parameter("no_text"));
}

TEST(Parameters, SetParametersIsPerParameterAtomicallyIsAllOrNothing) {
  auto node = std::make_shared<rclcpp::Node>("batch_setting");
  node->declare_parameter<double>("speed", 0.5);
  node->declare_parameter<int>("count", 1);
  const auto results =
      node->set_parameters({rclcpp::Parameter("speed", 0.9), rclcpp::Parameter("count", "many")});
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].successful);
  EXPECT_FALSE(results[1].successful);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.9);
  EXPECT_EQ(node->get_parameter("count").as_int(), 1);

  const auto atomic = node->set_parameters_atomically(
      {rclcpp::Parameter("speed", 0.1), rclcpp::Parameter("count", 2.0)});
  EXPECT_FALSE(atomic.successful);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.9);  // nothing applied
  EXPECT_TRUE(node->set_parameters_atomically(
                      {rclcpp::Parameter("speed", 0.1), rclcpp::Parameter("count", 2)})
                  .successful);
  EXPECT_EQ(node->get_parameter("count").as_int(), 2);
  EXPECT_THROW(node->set_parameters({rclcpp::Parameter("missing", 1)}),
               rclcpp::exceptions::ParameterNotDeclaredException);
}

TEST(Parameters, OptionOverridesBeatArgumentsAndMayDeclareThemselves) {
  rclcpp::NodeOptions options;
  options.arguments({"--ros-args", "-p", "rate:=2.5", "-p", "only_arg:=1"});
  options.parameter_overrides({{"rate", 4.0}});
  options.automatically_declare_parameters_from_overrides(true);
  auto node = std::make_shared<rclcpp::Node>("override_order", options);
  EXPECT_TRUE(node->has_parameter("rate"));
  EXPECT_TRUE(node->has_parameter("only_arg"));
  EXPECT_DOUBLE_EQ(node->get_parameter("rate").as_double(), 4.0);
  EXPECT_EQ(node->get_parameter("only_arg").as_int(), 1);
  // Declared from the overrides means dynamically typed: a plain declaration of the name throws,
  // but the code may take it back and declare it with its own type, the override still winning.
  EXPECT_TRUE(node->describe_parameter("rate").dynamic_typing);
  EXPECT_THROW(node->declare_parameter("rate", 1.0),
               rclcpp::exceptions::ParameterAlreadyDeclaredException);
  node->undeclare_parameter("rate");
  EXPECT_DOUBLE_EQ(node->declare_parameter("rate", 1.0), 4.0);
  EXPECT_FALSE(node->describe_parameter("rate").dynamic_typing);
}

TEST(Parameters, UseSimTimeTakesItsOverride) {
  auto node =
      std::make_shared<rclcpp::Node>("sim_time_override", with_overrides({{"use_sim_time", true}}));
  EXPECT_TRUE(node->get_parameter("use_sim_time").as_bool());
}

TEST(Parameters, DynamicTypingAllowsAnotherType) {
  auto node = std::make_shared<rclcpp::Node>("dynamic");
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.dynamic_typing = true;
  node->declare_parameter("anything", rclcpp::ParameterValue(1), descriptor);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("anything", "text")).successful);
  EXPECT_EQ(node->get_parameter("anything").as_string(), "text");
  node->undeclare_parameter("anything");
  EXPECT_FALSE(node->has_parameter("anything"));
  node->declare_parameter<int>("fixed", 1);
  EXPECT_THROW(node->undeclare_parameter("fixed"),
               rclcpp::exceptions::InvalidParameterTypeException);
}

TEST(Parameters, OnSetCallbacksRunNewestFirstAndCanBeRemoved) {
  auto node = std::make_shared<rclcpp::Node>("callback_order");
  node->declare_parameter<int>("level", 0);
  std::vector<std::string> order;
  auto accept_all = [](const std::vector<rclcpp::Parameter>&) {
    rcl_interfaces::msg::SetParametersResult result;
    result.successful = true;
    return result;
  };
  auto first = node->add_on_set_parameters_callback([&](const std::vector<rclcpp::Parameter>& p) {
    order.push_back("first");
    return accept_all(p);
  });
  auto second = node->add_on_set_parameters_callback([&](const std::vector<rclcpp::Parameter>& p) {
    order.push_back("second");
    rcl_interfaces::msg::SetParametersResult result = accept_all(p);
    result.successful = p.front().as_int() < 10;
    return result;
  });
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("level", 1)).successful);
  EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
  order.clear();
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("level", 20)).successful);
  EXPECT_EQ(order, (std::vector<std::string>{"second"}));  // a rejection stops the chain
  node->remove_on_set_parameters_callback(second.get());
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("level", 20)).successful);
  EXPECT_EQ(node->get_parameter("level").as_int(), 20);
}

TEST(Parameters, CallbackMayNotSetParameters) {
  auto node = std::make_shared<rclcpp::Node>("reentrant_set");
  node->declare_parameter<int>("a", 0);
  node->declare_parameter<int>("b", 0);
  auto handle =
      node->add_on_set_parameters_callback([&node](const std::vector<rclcpp::Parameter>&) {
        node->set_parameter(rclcpp::Parameter("b", 1));
        return rcl_interfaces::msg::SetParametersResult();
      });
  EXPECT_THROW(node->set_parameter(rclcpp::Parameter("a", 1)),
               rclcpp::exceptions::ParameterModifiedInCallbackException);
  node->remove_on_set_parameters_callback(handle.get());
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("a", 1)).successful);
}

TEST(Parameters, DeclarationRejectedByACallbackIsNotKept) {
  auto node = std::make_shared<rclcpp::Node>("rejected_declaration");
  auto handle = node->add_on_set_parameters_callback([](const std::vector<rclcpp::Parameter>&) {
    rcl_interfaces::msg::SetParametersResult result;
    result.successful = false;
    result.reason = "no";
    return result;
  });
  EXPECT_THROW(node->declare_parameter<int>("refused", 1),
               rclcpp::exceptions::InvalidParameterValueException);
  EXPECT_FALSE(node->has_parameter("refused"));
}

}  // namespace
