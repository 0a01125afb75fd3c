#include "rclcpp/publisher_base.hpp"

#include <algorithm>
#include <cstdint>

#include "rclcpp/detail/graph.hpp"

namespace rclcpp {

PublisherBase::PublisherBase(const std::string& topic_name, std::type_index message_type,
                             const QoS& qos)
    : graph_(detail::Graph::shared_instance()),
      topic_name_(topic_name),
      message_type_(message_type),
      qos_(qos) {}

PublisherBase::~PublisherBase() { graph_->remove_publisher(this); }

const char* PublisherBase::get_topic_name() const { return topic_name_.c_str(); }

size_t PublisherBase::get_subscription_count() const {
  return detail::Graph::instance().count_matching_subscriptions(*this);
}

size_t PublisherBase::get_intra_process_subscription_count() const {
  return get_subscription_count();
}

QoS PublisherBase::get_actual_qos() const { return qos_; }

std::type_index PublisherBase::get_message_type() const { return message_type_; }

void PublisherBase::join_graph() { detail::Graph::instance().add_publisher(shared_from_this()); }

std::deque<std::shared_ptr<const void>> PublisherBase::kept_messages() const { return kept_; }

void PublisherBase::deliver(std::shared_ptr<const void> message) {
  size_t keep = 0;
  if (qos_.durability() == DurabilityPolicy::TransientLocal) {
    keep = qos_.history() == HistoryPolicy::KeepAll ? SIZE_MAX : std::max<size_t>(qos_.depth(), 1);
  }
  detail::Graph::instance().publish(*this, message, kept_, keep);
}

}  // namespace rclcpp
