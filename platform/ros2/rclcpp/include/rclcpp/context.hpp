#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/init_options.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp {

namespace node_interfaces {
class NodeBaseInterface;
}

class ContextAlreadyInitialized : public std::runtime_error {
 public:
  ContextAlreadyInitialized() : std::runtime_error("context is already initialized") {}
};

// The process's ROS context. Everything runs in this one process, so the
// context is only the on/off switch that executors and waits watch: nodes
// made before `rclcpp::init` initialise it on the way.
class Context : public std::enable_shared_from_this<Context> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  using OnShutdownCallback = std::function<void()>;

  Context();
  virtual ~Context();

  virtual void init(int argc, char const* const* argv,
                    const InitOptions& init_options = InitOptions());
  bool is_valid() const;
  const InitOptions& get_init_options() const;
  std::string shutdown_reason() const;
  // Marks the context invalid, runs the on-shutdown callbacks and wakes every
  // executor, sleeper and waiter for a server. Returns false when it was not
  // valid.
  virtual bool shutdown(const std::string& reason);
  OnShutdownCallback on_shutdown(OnShutdownCallback callback);

 private:
  friend class node_interfaces::NodeBaseInterface;
  // Nodes may be made without `rclcpp::init`; they switch the context on.
  void init_if_needed();

  mutable std::mutex mutex_;
  bool valid_ = false;
  InitOptions init_options_;
  std::string shutdown_reason_;
  std::vector<OnShutdownCallback> on_shutdown_callbacks_;
  // The process's registries (graph, time, executors, logging): held by every context, so that
  // whatever holds a context (nodes, executors) finds them at exit as well.
  const std::vector<std::shared_ptr<const void>> process_state_;
};

namespace contexts {
Context::SharedPtr get_global_default_context();
}  // namespace contexts

}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
