// Linked into every test of the real build: real rclcpp creates no node, executor or guard
// condition before rclcpp::init, which the stand-in does not insist on.
#include <gtest/gtest.h>

#include "rclcpp/rclcpp.hpp"

namespace {

class RclcppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }
  void TearDown() override { rclcpp::shutdown(); }
};

const ::testing::Environment* const kRclcpp =
    ::testing::AddGlobalTestEnvironment(new RclcppEnvironment);

}  // namespace
