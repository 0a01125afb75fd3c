#ifndef VANTRELL_NAV2_BASE_CLASS__PUBLISH_LOG_TRACE_HPP_
#define VANTRELL_NAV2_BASE_CLASS__PUBLISH_LOG_TRACE_HPP_

#include <array>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "logger/logger.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "std_msgs/msg/string.hpp"

// Local wall-clock time in whole seconds, "%Y-%m-%d %H:%M:%S". Converted per
// call with localtime_r: trace lines are stamped from several threads at once.
inline std::string getCurrentTimeString() {
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) {
    return std::string();
  }
  std::array<char, 64> buffer{};
  const std::size_t length =
      std::strftime(buffer.data(), buffer.size(), "%Y-%m-%d %H:%M:%S", &local);
  return std::string(buffer.data(), length);
}

// Publishes a node's trace lines on "planning_debug", whatever the log level and
// whatever the node's lifecycle state.
class LogPublisher {
 public:
  explicit LogPublisher(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node)
      : node_(node),
        publisher_(
            node->create_publisher<std_msgs::msg::String>("planning_debug", rclcpp::QoS(10))) {}

  // Goes through the plain publisher on purpose, so the lifecycle state is not consulted.
  void publish(const std::string& line) {
    std_msgs::msg::String message;
    message.data = line;
    publisher_->publish(message);
  }

  template <typename... Args>
  void pub_debug(const std::string& format, Args&&... args) {
    const std::string text =
        vantrell::detail::formatLogText(fmt::runtime(format), std::forward<Args>(args)...);
    const std::string line = getCurrentTimeString() + " [DEBUG] " + text;
    LOG_DEBUG("{}", text);
    publish(line);
  }

 private:
  // Weak: the node keeps this publisher for its whole life, and a strong pointer
  // back would keep both alive forever.
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<rclcpp::Publisher<std_msgs::msg::String>> publisher_;
};

// One trace line through a component's trace publisher. A component asked to trace before its
// node handed it the publisher still writes the line to the log, as a DEBUG record, instead of
// failing.
template <typename... Args>
void traceLine(const std::shared_ptr<LogPublisher>& publisher, const std::string& format,
               Args&&... args) {
  if (publisher) {
    publisher->pub_debug(format, std::forward<Args>(args)...);
    return;
  }
  LOG_DEBUG("{}",
            vantrell::detail::formatLogText(fmt::runtime(format), std::forward<Args>(args)...));
}

#endif  // VANTRELL_NAV2_BASE_CLASS__PUBLISH_LOG_TRACE_HPP_
