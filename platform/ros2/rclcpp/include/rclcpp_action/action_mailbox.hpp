#ifndef RCLCPP_ACTION__ACTION_MAILBOX_HPP_
#define RCLCPP_ACTION__ACTION_MAILBOX_HPP_

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "rclcpp/waitable.hpp"

namespace rclcpp_action {

// What stands in for the services and topics between an action client and
// server: each side has a mailbox of deliveries that the executor spinning its
// callback group runs, one per callback call, in the order they arrived.
class ActionMailbox : public rclcpp::Waitable {
 public:
  ~ActionMailbox() override;

  bool is_ready() override;
  std::shared_ptr<void> take_data() override;
  void execute(std::shared_ptr<void>& data) override;

  // Callable from any thread.
  void post(std::function<void()> delivery);

 private:
  std::mutex mailbox_mutex_;
  std::deque<std::function<void()>> deliveries_;
};

// What a server tells every client of its action: feedback and status changes.
template <typename ActionT>
class ActionClientListener {
 public:
  virtual ~ActionClientListener() = default;
  virtual void post_feedback(const std::array<uint8_t, 16>& goal_id,
                             std::shared_ptr<const typename ActionT::Feedback> feedback) = 0;
  virtual void post_status(const std::array<uint8_t, 16>& goal_id, int8_t status) = 0;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__ACTION_MAILBOX_HPP_
