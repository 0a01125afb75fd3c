#include "rclcpp_lifecycle/transition.hpp"

#include <utility>

namespace rclcpp_lifecycle {

Transition::Transition(uint8_t id, const std::string& label) : id_(id), label_(label) {}

Transition::Transition(uint8_t id, const std::string& label, State&& start, State&& goal)
    : id_(id), label_(label), start_(std::move(start)), goal_(std::move(goal)) {}

Transition::~Transition() = default;

uint8_t Transition::id() const { return id_; }

std::string Transition::label() const { return label_; }

State Transition::start_state() const { return start_; }

State Transition::goal_state() const { return goal_; }

}  // namespace rclcpp_lifecycle
