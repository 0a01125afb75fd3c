#include "rclcpp/detail/graph.hpp"
#include "rclcpp_action/server.hpp"

namespace rclcpp_action {

ServerBase::ServerBase(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
                       rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
                       rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
                       const std::string& name, std::type_index action_type,
                       const rcl_action_server_options_t& options)
    : clock_(node_clock->get_clock()),
      logger_(node_logging->get_logger().get_child("rclcpp_action")),
      options_(options),
      graph_(rclcpp::detail::Graph::shared_instance()),
      action_name_(node_base->resolve_topic_or_service_name(name, true)),
      action_type_(action_type) {}

ServerBase::~ServerBase() { graph_->remove_endpoint("action_server", action_name_, this); }

const std::string& ServerBase::get_action_name() const { return action_name_; }

const rcl_action_server_options_t& ServerBase::get_options() const { return options_; }

bool ServerBase::is_ready() {
  return ActionMailbox::is_ready() || time_until_ready() <= std::chrono::nanoseconds::zero();
}

std::shared_ptr<void> ServerBase::take_data() {
  if (auto delivery = ActionMailbox::take_data()) {
    return delivery;
  }
  int64_t due = next_expiry_ns_.load();
  if (due == kNoExpiry || clock_->now().nanoseconds() < due) {
    return nullptr;
  }
  // Taken once, as a timer's call is; the expiry sets the next one.
  if (!next_expiry_ns_.compare_exchange_strong(due, kNoExpiry)) {
    return nullptr;
  }
  return std::make_shared<std::function<void()>>([this]() { expire_results(); });
}

std::chrono::nanoseconds ServerBase::time_until_ready() const {
  const int64_t due = next_expiry_ns_.load();
  if (due == kNoExpiry) {
    return std::chrono::nanoseconds::max();
  }
  return std::chrono::nanoseconds(due - clock_->now().nanoseconds());
}

bool ServerBase::is_timed() const { return true; }

void ServerBase::set_next_expiry(int64_t at_ns) {
  if (next_expiry_ns_.exchange(at_ns) != at_ns) {
    notify_ready();
  }
}

void ServerBase::register_endpoint(const std::shared_ptr<void>& self) {
  rclcpp::detail::Graph::instance().add_endpoint("action_server", action_name_, action_type_, self);
}

void ServerBase::for_each_client(
    const std::function<void(const std::shared_ptr<void>&)>& deliver) const {
  for (const auto& client : rclcpp::detail::Graph::instance().find_endpoints(
           "action_client", action_name_, action_type_)) {
    deliver(client);
  }
}

}  // namespace rclcpp_action
