#ifndef RCLCPP_ACTION__EXCEPTIONS_HPP_
#define RCLCPP_ACTION__EXCEPTIONS_HPP_

#include <stdexcept>

namespace rclcpp_action {
namespace exceptions {

class UnknownGoalHandleError : public std::invalid_argument {
 public:
  UnknownGoalHandleError() : std::invalid_argument("Goal handle is not known to this client.") {}
};

class UnawareGoalHandleError : public std::runtime_error {
 public:
  UnawareGoalHandleError() : std::runtime_error("Goal handle is not tracking the goal result.") {}
};

}  // namespace exceptions
}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__EXCEPTIONS_HPP_
