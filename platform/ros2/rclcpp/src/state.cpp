#include "rclcpp_lifecycle/state.hpp"

#include "lifecycle_msgs/msg/state.hpp"

namespace rclcpp_lifecycle {

State::State() : id_(lifecycle_msgs::msg::State::PRIMARY_STATE_UNKNOWN), label_("unknown") {}

State::State(uint8_t id, const std::string& label) : id_(id), label_(label) {}

State::~State() = default;

uint8_t State::id() const { return id_; }

std::string State::label() const { return label_; }

}  // namespace rclcpp_lifecycle
