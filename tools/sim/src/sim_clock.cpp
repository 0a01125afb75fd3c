#include "planning_sim/sim_clock.hpp"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace planning_sim {

namespace {

// Each node hears "/clock" on a thread of its own; this only bounds a stuck one.
constexpr std::chrono::seconds kHearingPatience{10};
constexpr std::chrono::microseconds kLookAgain{100};

}  // namespace

rclcpp::NodeOptions simTimeOptions(rclcpp::NodeOptions options) {
  options.append_parameter_override("use_sim_time", true);
  return options;
}

SimClock::SimClock(const rclcpp::Time& start)
    : now_(start.nanoseconds(), RCL_ROS_TIME), node_(std::make_shared<rclcpp::Node>("sim_clock")) {
  if (start.nanoseconds() <= 0) {
    throw std::invalid_argument("simulated time must start after 0");
  }
  publisher_ = node_->create_publisher<rosgraph_msgs::msg::Clock>("/clock", rclcpp::QoS(10));
  publish();
}

void SimClock::advance(const rclcpp::Duration& step) {
  if (step.nanoseconds() < 0) {
    throw std::invalid_argument("simulated time cannot go backwards");
  }
  now_ += step;
  publish();
}

void SimClock::attach(const rclcpp::Clock::SharedPtr& clock) {
  if (!clock || !clock->ros_time_is_active()) {
    throw std::invalid_argument(
        "the clock does not follow simulated time: make its node with simTimeOptions()");
  }
  clocks_.push_back(clock);
  publish();
}

void SimClock::synchronise() const {
  const auto deadline = std::chrono::steady_clock::now() + kHearingPatience;
  for (const auto& clock : clocks_) {
    while (clock->now() < now_) {
      if (std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error("a node did not hear the simulated time on \"/clock\"");
      }
      std::this_thread::sleep_for(kLookAgain);
    }
  }
}

void SimClock::publish() {
  rosgraph_msgs::msg::Clock tick;
  tick.clock = now_;
  publisher_->publish(tick);
}

}  // namespace planning_sim
