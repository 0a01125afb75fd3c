#include "rclcpp/detail/graph.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action {

ClientBase::ClientBase(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
                       rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
                       const std::string& action_name, std::type_index action_type)
    : logger_(node_logging->get_logger().get_child("rclcpp_action")),
      graph_(rclcpp::detail::Graph::shared_instance()),
      action_name_(node_base->resolve_topic_or_service_name(action_name, true)),
      action_type_(action_type),
      context_(node_base->get_context()),
      random_(std::random_device{}()) {}

ClientBase::~ClientBase() { graph_->remove_endpoint("action_client", action_name_, this); }

bool ClientBase::action_server_is_ready() const { return static_cast<bool>(find_server()); }

bool ClientBase::wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout) {
  auto context = context_.lock();
  auto shut_down = [context]() { return context && !context->is_valid(); };
  if (shut_down()) {
    return false;
  }
  rclcpp::detail::Graph::instance().wait_for(
      [this, &shut_down]() { return shut_down() || action_server_is_ready(); }, timeout);
  return !shut_down() && action_server_is_ready();
}

void ClientBase::register_endpoint(const std::shared_ptr<void>& self) {
  rclcpp::detail::Graph::instance().add_endpoint("action_client", action_name_, action_type_, self);
}

std::shared_ptr<void> ClientBase::find_server() const {
  auto servers =
      rclcpp::detail::Graph::instance().find_endpoints("action_server", action_name_, action_type_);
  return servers.empty() ? nullptr : servers.front();
}

GoalUUID ClientBase::generate_goal_id() {
  GoalUUID uuid;
  std::lock_guard<std::mutex> lock(random_mutex_);
  for (size_t i = 0; i < uuid.size(); i += 8) {
    uint64_t value = random_();
    for (size_t k = 0; k < 8; ++k) {
      uuid[i + k] = static_cast<uint8_t>(value >> (8 * k));
    }
  }
  return uuid;
}

uint64_t ClientBase::keep_pending_request(std::shared_ptr<void> promise) {
  std::lock_guard<std::mutex> lock(pending_requests_mutex_);
  const uint64_t key = ++last_request_key_;
  pending_requests_.emplace(key, std::move(promise));
  return key;
}

void ClientBase::release_pending_request(uint64_t key) {
  std::shared_ptr<void> released;  // let go outside the lock
  std::lock_guard<std::mutex> lock(pending_requests_mutex_);
  auto it = pending_requests_.find(key);
  if (it != pending_requests_.end()) {
    released = std::move(it->second);
    pending_requests_.erase(it);
  }
}

}  // namespace rclcpp_action
