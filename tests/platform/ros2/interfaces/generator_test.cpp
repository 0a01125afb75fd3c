#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "generator_fixture/action/count_up.hpp"
#include "generator_fixture/msg/everything.hpp"
#include "generator_fixture/srv/empty_request.hpp"

using generator_fixture::msg::Everything;

TEST(Generator, ConstantsKeepTheirTypesAndValues) {
  static_assert(std::is_same_v<decltype(Everything::MODE_A), const uint8_t>);
  EXPECT_EQ(Everything::MODE_A, 1);
  EXPECT_EQ(Everything::NEGATIVE, -5);
  EXPECT_EQ(Everything::MAX_U64, UINT64_MAX);
  EXPECT_DOUBLE_EQ(Everything::RATIO, 0.5);
  EXPECT_TRUE(Everything::FLAG);
  EXPECT_EQ(std::string(Everything::GREETING), "hello");
}

TEST(Generator, FieldTypesFollowTheDefinition) {
  static_assert(std::is_same_v<decltype(Everything::raw), uint8_t>);
  static_assert(std::is_same_v<decltype(Everything::letter), uint8_t>);
  static_assert(std::is_same_v<decltype(Everything::small), int16_t>);
  static_assert(std::is_same_v<decltype(Everything::gain), float>);
  static_assert(std::is_same_v<decltype(Everything::short_name), std::string>);
  static_assert(std::is_same_v<decltype(Everything::wide), std::u16string>);
  static_assert(std::is_same_v<decltype(Everything::numbers), std::vector<int32_t>>);
  static_assert(std::is_same_v<decltype(Everything::triple), std::array<double, 3>>);
  static_assert(std::is_same_v<decltype(Everything::bounded), std::vector<uint8_t>>);
  static_assert(std::is_same_v<decltype(Everything::nested_pair),
                               std::array<generator_fixture::msg::Nested, 2>>);
  static_assert(
      std::is_same_v<decltype(Everything::points), std::vector<geometry_msgs::msg::Point>>);
  static_assert(std::is_same_v<decltype(Everything::orientation), geometry_msgs::msg::Quaternion>);
  SUCCEED();
}

TEST(Generator, DefaultsAreAppliedAndTheRestIsZero) {
  const Everything e;
  EXPECT_TRUE(e.on);
  EXPECT_EQ(e.raw, 0);
  EXPECT_EQ(e.small, -3);
  EXPECT_EQ(e.big, 4000000000u);
  EXPECT_EQ(e.huge, UINT64_MAX);
  EXPECT_FLOAT_EQ(e.gain, 0.25f);
  EXPECT_EQ(e.name, "robot");
  EXPECT_TRUE(e.short_name.empty());
  EXPECT_EQ(e.numbers, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(e.triple, (std::array<double, 3>{0.5, 1.5, 2.5}));
  EXPECT_TRUE(e.bounded.empty());
  EXPECT_EQ(e.nested.value, 7);
  EXPECT_EQ(e.nested_pair[1].value, 7);
  EXPECT_DOUBLE_EQ(e.orientation.w, 1.0);
}

TEST(Generator, EqualityLooksAtEveryField) {
  const Everything base;
  // Changing any one field must make the messages differ.
  const std::vector<void (*)(Everything&)> changes = {
      [](Everything& e) { e.on = false; },
      [](Everything& e) { e.raw = 1; },
      [](Everything& e) { e.letter = 'a'; },
      [](Everything& e) { e.small = 0; },
      [](Everything& e) { e.big = 1; },
      [](Everything& e) { e.huge = 0; },
      [](Everything& e) { e.gain = 1.0f; },
      [](Everything& e) { e.name = "other"; },
      [](Everything& e) { e.short_name = "x"; },
      [](Everything& e) { e.wide.push_back(u'w'); },
      [](Everything& e) { e.numbers.pop_back(); },
      [](Everything& e) { e.triple[2] = 0.0; },
      [](Everything& e) { e.bounded.push_back(1); },
      [](Everything& e) { e.nested.label = "n"; },
      [](Everything& e) { e.nested_pair[0].value = 0; },
      [](Everything& e) { e.points.emplace_back(); },
      [](Everything& e) { e.orientation.z = 1.0; },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    Everything changed;
    changes[i](changed);
    EXPECT_FALSE(changed == base) << "change " << i;
    EXPECT_TRUE(changed != base) << "change " << i;
  }
  EXPECT_TRUE(Everything() == base);
}

TEST(Generator, ServicesAndActionsNameTheirParts) {
  using Srv = generator_fixture::srv::EmptyRequest;
  static_assert(std::is_same_v<Srv::Request, generator_fixture::srv::EmptyRequest_Request>);
  static_assert(std::is_same_v<Srv::Response, generator_fixture::srv::EmptyRequest_Response>);
  EXPECT_TRUE(Srv::Request() == Srv::Request());
  EXPECT_FALSE(Srv::Response().accepted);

  using Action = generator_fixture::action::CountUp;
  static_assert(std::is_same_v<Action::Goal, generator_fixture::action::CountUp_Goal>);
  static_assert(std::is_same_v<Action::Result, generator_fixture::action::CountUp_Result>);
  static_assert(std::is_same_v<Action::Feedback, generator_fixture::action::CountUp_Feedback>);
  static_assert(std::is_same_v<Action::Goal::SharedPtr, std::shared_ptr<Action::Goal>>);
  static_assert(
      std::is_same_v<Action::Result::ConstSharedPtr, std::shared_ptr<const Action::Result>>);
  static_assert(std::is_same_v<Action::Feedback::UniquePtr, std::unique_ptr<Action::Feedback>>);
  Action::Result result;
  result.sequence = {1, 2};
  EXPECT_NE(result, Action::Result());
}
