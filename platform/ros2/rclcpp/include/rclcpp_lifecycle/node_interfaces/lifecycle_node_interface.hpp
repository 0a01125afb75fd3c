#ifndef RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_
#define RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_

#include "rclcpp_lifecycle/state.hpp"

namespace rclcpp_lifecycle {
namespace node_interfaces {

// The callbacks of the lifecycle transitions. Each returns SUCCESS (the
// transition completes), FAILURE (back to the start state) or ERROR (on to
// error processing); the defaults succeed.
class LifecycleNodeInterface {
 protected:
  LifecycleNodeInterface() {}

 public:
  enum class CallbackReturn : uint8_t { SUCCESS = 97, FAILURE = 98, ERROR = 99 };

  virtual CallbackReturn on_configure(const State& previous_state);
  virtual CallbackReturn on_cleanup(const State& previous_state);
  virtual CallbackReturn on_shutdown(const State& previous_state);
  virtual CallbackReturn on_activate(const State& previous_state);
  virtual CallbackReturn on_deactivate(const State& previous_state);
  virtual CallbackReturn on_error(const State& previous_state);

  virtual ~LifecycleNodeInterface() {}
};

}  // namespace node_interfaces
}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_
