#ifndef RCLCPP__SUBSCRIPTION_BASE_HPP_
#define RCLCPP__SUBSCRIPTION_BASE_HPP_

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>

#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

namespace detail {
class Graph;
}  // namespace detail

// The type-independent half of a subscription: a keep-last queue of received
// messages that the executor of its callback group drains, one message per
// callback call.
class SubscriptionBase : public detail::ExecutableEntity,
                         public std::enable_shared_from_this<SubscriptionBase> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(SubscriptionBase)

  SubscriptionBase(const std::string& topic_name, std::type_index message_type, const QoS& qos);
  ~SubscriptionBase() override;
  SubscriptionBase(const SubscriptionBase&) = delete;
  SubscriptionBase& operator=(const SubscriptionBase&) = delete;

  const char* get_topic_name() const;
  size_t get_publisher_count() const;
  QoS get_actual_qos() const;

  // Machinery for the topic registry and executors.
  std::type_index get_message_type() const;
  void join_graph();
  void enqueue(std::shared_ptr<const void> message);
  std::function<void()> take_ready_work() override;
  bool has_ready_work() override;

 protected:
  virtual void dispatch(const std::shared_ptr<const void>& message) = 0;

 private:
  // The registry it joined, held so that it is still there when this goes (at exit, too).
  const std::shared_ptr<detail::Graph> graph_;
  const std::string topic_name_;
  const std::type_index message_type_;
  const QoS qos_;
  std::mutex queue_mutex_;
  std::deque<std::shared_ptr<const void>> queue_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_BASE_HPP_
