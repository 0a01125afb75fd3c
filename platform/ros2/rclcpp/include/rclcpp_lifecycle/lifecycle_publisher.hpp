#ifndef RCLCPP_LIFECYCLE__LIFECYCLE_PUBLISHER_HPP_
#define RCLCPP_LIFECYCLE__LIFECYCLE_PUBLISHER_HPP_

#include <memory>
#include <string>

#include "rclcpp/logging.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp_lifecycle/managed_entity.hpp"

namespace rclcpp_lifecycle {

// A publisher that drops its messages while it is not activated. Its
// `publish` hides the base's; a call through a `rclcpp::Publisher` pointer to
// the same object publishes regardless, as in rclcpp.
template <typename MessageT, typename Alloc = std::allocator<void>>
class LifecyclePublisher : public SimpleManagedEntity, public rclcpp::Publisher<MessageT, Alloc> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(LifecyclePublisher)

  LifecyclePublisher(const std::string& topic, const rclcpp::QoS& qos)
      : rclcpp::Publisher<MessageT, Alloc>(topic, qos),
        logger_(rclcpp::get_logger("LifecyclePublisher")) {}

  ~LifecyclePublisher() override = default;

  void publish(std::unique_ptr<MessageT> msg) {
    if (!this->is_activated()) {
      log_publisher_not_enabled();
      return;
    }
    rclcpp::Publisher<MessageT, Alloc>::publish(std::move(msg));
  }

  void publish(const MessageT& msg) {
    if (!this->is_activated()) {
      log_publisher_not_enabled();
      return;
    }
    rclcpp::Publisher<MessageT, Alloc>::publish(msg);
  }

  void on_activate() override {
    SimpleManagedEntity::on_activate();
    should_log_.store(true);
  }

 private:
  // Warns once per deactivated spell, as rclcpp_lifecycle does.
  void log_publisher_not_enabled() {
    if (!should_log_.exchange(false)) {
      return;
    }
    RCLCPP_WARN(logger_,
                "Trying to publish message on the topic '%s', but the publisher is not activated",
                this->get_topic_name());
  }

  rclcpp::Logger logger_;
  std::atomic<bool> should_log_{true};
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__LIFECYCLE_PUBLISHER_HPP_
