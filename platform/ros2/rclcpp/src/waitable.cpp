#include "rclcpp/waitable.hpp"

namespace rclcpp {

Waitable::~Waitable() = default;

std::function<void()> Waitable::take_ready_work() {
  auto data = take_data();
  if (!data) {
    return {};
  }
  return [self = shared_from_this(), data]() mutable { self->execute(data); };
}

bool Waitable::has_ready_work() { return is_ready(); }

}  // namespace rclcpp
