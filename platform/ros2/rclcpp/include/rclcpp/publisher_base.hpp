#ifndef RCLCPP__PUBLISHER_BASE_HPP_
#define RCLCPP__PUBLISHER_BASE_HPP_

#include <deque>
#include <memory>
#include <string>
#include <typeindex>

#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

namespace detail {
class Graph;
}  // namespace detail

// The type-independent half of a publisher: its place in the process's topic
// registry and the delivery to matching subscriptions. A transient-local
// publisher keeps its last `depth` messages for subscriptions that come later.
class PublisherBase : public std::enable_shared_from_this<PublisherBase> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(PublisherBase)

  PublisherBase(const std::string& topic_name, std::type_index message_type, const QoS& qos);
  virtual ~PublisherBase();
  PublisherBase(const PublisherBase&) = delete;
  PublisherBase& operator=(const PublisherBase&) = delete;

  const char* get_topic_name() const;
  size_t get_subscription_count() const;
  size_t get_intra_process_subscription_count() const;
  QoS get_actual_qos() const;

  // Machinery for the topic registry.
  std::type_index get_message_type() const;
  // Called once the publisher is owned by a shared pointer.
  void join_graph();
  // The kept messages of a transient-local publisher, oldest first.
  std::deque<std::shared_ptr<const void>> kept_messages() const;

 protected:
  void deliver(std::shared_ptr<const void> message);

 private:
  // The registry it joined, held so that it is still there when this goes (at exit, too).
  const std::shared_ptr<detail::Graph> graph_;
  const std::string topic_name_;
  const std::type_index message_type_;
  const QoS qos_;
  std::deque<std::shared_ptr<const void>> kept_;  // guarded by the registry's lock
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_BASE_HPP_
