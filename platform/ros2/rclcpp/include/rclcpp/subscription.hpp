#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>

#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp {

// Receives messages of one type on one topic. The callback may take the
// message as `const MessageT &`, `std::shared_ptr<const MessageT>` (by value or
// const reference), `std::shared_ptr<MessageT>` or `std::unique_ptr<MessageT>`
// (these two get a copy of their own).
template <typename MessageT, typename AllocatorT = std::allocator<void>>
class Subscription : public SubscriptionBase {
 public:
  using ConstSharedMessage = std::shared_ptr<const MessageT>;

  RCLCPP_SMART_PTR_DEFINITIONS(Subscription<MessageT, AllocatorT>)

  template <typename CallbackT>
  Subscription(const std::string& topic_name, const QoS& qos, CallbackT&& callback)
      : SubscriptionBase(topic_name, std::type_index(typeid(MessageT)), qos),
        callback_(make_callback(std::forward<CallbackT>(callback))) {}

 protected:
  void dispatch(const std::shared_ptr<const void>& message) override {
    callback_(std::static_pointer_cast<const MessageT>(message));
  }

 private:
  template <typename CallbackT>
  static std::function<void(const ConstSharedMessage&)> make_callback(CallbackT&& callback) {
    using Callback = std::decay_t<CallbackT>;
    if constexpr (std::is_invocable_v<Callback&, ConstSharedMessage>) {
      return [cb = Callback(std::forward<CallbackT>(callback))](
                 const ConstSharedMessage& m) mutable { cb(m); };
    } else if constexpr (std::is_invocable_v<Callback&, std::unique_ptr<MessageT>>) {
      return [cb = Callback(std::forward<CallbackT>(callback))](
                 const ConstSharedMessage& m) mutable { cb(std::make_unique<MessageT>(*m)); };
    } else if constexpr (std::is_invocable_v<Callback&, std::shared_ptr<MessageT>>) {
      return [cb = Callback(std::forward<CallbackT>(callback))](
                 const ConstSharedMessage& m) mutable { cb(std::make_shared<MessageT>(*m)); };
    } else {
      static_assert(
          std::is_invocable_v<Callback&, const MessageT&>,
          "subscription callback must take the message by const reference or smart pointer");
      return [cb = Callback(std::forward<CallbackT>(callback))](
                 const ConstSharedMessage& m) mutable { cb(*m); };
    }
  }

  std::function<void(const ConstSharedMessage&)> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
