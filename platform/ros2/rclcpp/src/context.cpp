#include "rclcpp/context.hpp"

#include "log_sinks.hpp"
#include "process_clock.hpp"
#include "rclcpp/detail/executor_notifier.hpp"
#include "rclcpp/detail/graph.hpp"
#include "rclcpp/detail/process_wide.hpp"

namespace rclcpp {

Context::Context()
    : process_state_{detail::Graph::shared_instance(), detail::ProcessClock::shared_instance(),
                     detail::notifier_registry_holder(), detail::logging_state_holder()} {}

Context::~Context() = default;

void Context::init(int /*argc*/, char const* const* /*argv*/, const InitOptions& init_options) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (valid_) {
    throw ContextAlreadyInitialized();
  }
  valid_ = true;
  init_options_ = init_options;
  shutdown_reason_.clear();
}

void Context::init_if_needed() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!valid_) {
    valid_ = true;
    shutdown_reason_.clear();
  }
}

bool Context::is_valid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return valid_;
}

const InitOptions& Context::get_init_options() const { return init_options_; }

std::string Context::shutdown_reason() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shutdown_reason_;
}

bool Context::shutdown(const std::string& reason) {
  std::vector<OnShutdownCallback> callbacks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_) {
      return false;
    }
    valid_ = false;
    shutdown_reason_ = reason;
    callbacks = on_shutdown_callbacks_;
  }
  for (const auto& callback : callbacks) {
    callback();
  }
  detail::ProcessClock::instance().wake_all();
  // Waits for services and action servers end as well.
  detail::Graph::instance().wake();
  return true;
}

Context::OnShutdownCallback Context::on_shutdown(OnShutdownCallback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_shutdown_callbacks_.push_back(callback);
  return callback;
}

namespace contexts {
Context::SharedPtr get_global_default_context() {
  // Reached through the object rather than the static holder, which lets go first at exit.
  return detail::ProcessWide<Context>::instance().shared_from_this();
}
}  // namespace contexts

}  // namespace rclcpp
