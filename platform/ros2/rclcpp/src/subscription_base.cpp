#include "rclcpp/subscription_base.hpp"

#include <algorithm>

#include "rclcpp/detail/graph.hpp"

namespace rclcpp {

SubscriptionBase::SubscriptionBase(const std::string& topic_name, std::type_index message_type,
                                   const QoS& qos)
    : graph_(detail::Graph::shared_instance()),
      topic_name_(topic_name),
      message_type_(message_type),
      qos_(qos) {}

SubscriptionBase::~SubscriptionBase() { graph_->remove_subscription(this); }

const char* SubscriptionBase::get_topic_name() const { return topic_name_.c_str(); }

size_t SubscriptionBase::get_publisher_count() const {
  return detail::Graph::instance().count_matching_publishers(*this);
}

QoS SubscriptionBase::get_actual_qos() const { return qos_; }

std::type_index SubscriptionBase::get_message_type() const { return message_type_; }

void SubscriptionBase::join_graph() {
  detail::Graph::instance().add_subscription(shared_from_this());
}

void SubscriptionBase::enqueue(std::shared_ptr<const void> message) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.push_back(std::move(message));
    if (qos_.history() != HistoryPolicy::KeepAll) {
      const size_t depth = std::max<size_t>(qos_.depth(), 1);
      while (queue_.size() > depth) {
        queue_.pop_front();
      }
    }
  }
  notify_ready();
}

std::function<void()> SubscriptionBase::take_ready_work() {
  std::shared_ptr<const void> message;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queue_.empty()) {
      return {};
    }
    message = std::move(queue_.front());
    queue_.pop_front();
  }
  return [self = shared_from_this(), message]() { self->dispatch(message); };
}

bool SubscriptionBase::has_ready_work() {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  return !queue_.empty();
}

}  // namespace rclcpp
