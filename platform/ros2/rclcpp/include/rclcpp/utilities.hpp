#ifndef RCLCPP__UTILITIES_HPP_
#define RCLCPP__UTILITIES_HPP_

#include <chrono>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/init_options.hpp"

namespace rclcpp {

enum class SignalHandlerOptions { All, SigInt, SigTerm, None };

// Initialises the global context. With signal handling on (the default),
// SIGINT and SIGTERM shut the context down, which ends every spin.
void init(int argc, char const* const* argv, const InitOptions& init_options = InitOptions(),
          SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

bool ok(Context::SharedPtr context = nullptr);
bool shutdown(Context::SharedPtr context = nullptr,
              const std::string& reason = "user called rclcpp::shutdown()");
void on_shutdown(std::function<void()> callback, Context::SharedPtr context = nullptr);
bool sleep_for(const std::chrono::nanoseconds& nanoseconds, Context::SharedPtr context = nullptr);

std::vector<std::string> remove_ros_arguments(int argc, char const* const* argv);

}  // namespace rclcpp

#endif  // RCLCPP__UTILITIES_HPP_
