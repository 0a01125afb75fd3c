#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <memory>
#include <string>
#include <typeindex>

#include "rclcpp/macros.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

// Publishes messages of one type on one topic to every subscription of the
// process that matches it. The message is copied once and shared by all.
template <typename MessageT, typename AllocatorT = std::allocator<void>>
class Publisher : public PublisherBase {
 public:
  using ROSMessageType = MessageT;
  using MessageSharedPtr = std::shared_ptr<const MessageT>;
  using MessageUniquePtr = std::unique_ptr<MessageT>;

  RCLCPP_SMART_PTR_DEFINITIONS(Publisher<MessageT, AllocatorT>)

  Publisher(const std::string& topic_name, const QoS& qos)
      : PublisherBase(topic_name, std::type_index(typeid(MessageT)), qos) {}

  // Not virtual, as in rclcpp: a call through this type skips whatever a
  // derived publisher checks.
  void publish(std::unique_ptr<MessageT> msg) {
    deliver(std::shared_ptr<const MessageT>(std::move(msg)));
  }

  void publish(const MessageT& msg) { deliver(std::make_shared<const MessageT>(msg)); }
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
