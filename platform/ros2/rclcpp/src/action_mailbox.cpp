#include "rclcpp_action/action_mailbox.hpp"

namespace rclcpp_action {

ActionMailbox::~ActionMailbox() = default;

bool ActionMailbox::is_ready() {
  std::lock_guard<std::mutex> lock(mailbox_mutex_);
  return !deliveries_.empty();
}

std::shared_ptr<void> ActionMailbox::take_data() {
  std::lock_guard<std::mutex> lock(mailbox_mutex_);
  if (deliveries_.empty()) {
    return nullptr;
  }
  auto delivery = std::make_shared<std::function<void()>>(std::move(deliveries_.front()));
  deliveries_.pop_front();
  return delivery;
}

void ActionMailbox::execute(std::shared_ptr<void>& data) {
  auto delivery = std::static_pointer_cast<std::function<void()>>(data);
  (*delivery)();
}

void ActionMailbox::post(std::function<void()> delivery) {
  {
    std::lock_guard<std::mutex> lock(mailbox_mutex_);
    deliveries_.push_back(std::move(delivery));
  }
  notify_ready();
}

}  // namespace rclcpp_action
