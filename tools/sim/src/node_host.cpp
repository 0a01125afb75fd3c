#include "planning_sim/node_host.hpp"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "lifecycle_msgs/msg/state.hpp"
#include "planning_sim/node_parameters.hpp"
#include "rclcpp/exceptions.hpp"

namespace planning_sim {

bool NodeHost::startRclcpp() {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  return true;
}

NodeHost::NodeHost() {
  std::packaged_task<void()> spin([this] { executor_.spin(); });
  spin_done_ = spin.get_future();
  spinner_ = std::thread(std::move(spin));
}

NodeHost::~NodeHost() {
  // A cancel that comes before spin has begun is lost, so it is repeated until spin returns.
  do {
    executor_.cancel();
  } while (spin_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
}

void NodeHost::spin(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node) {
  executor_.add_node(node);
}

void bringUp(rclcpp_lifecycle::LifecycleNode& node) {
  using lifecycle_msgs::msg::State;
  const std::string name = node.get_name();
  // The lifecycle turns an exception of configure into a bare failure; the node's refusal of a
  // parameter value is kept on the way, so that the host can name the value rather than the node.
  const auto refusal = std::make_shared<std::string>();
  node.register_on_configure([&node, refusal](const rclcpp_lifecycle::State& previous) {
    try {
      return node.on_configure(previous);
    } catch (const rclcpp::exceptions::InvalidParameterValueException& e) {
      *refusal = e.what();
      return rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn::FAILURE;
    }
  });
  if (node.configure().id() != State::PRIMARY_STATE_INACTIVE) {
    if (!refusal->empty()) {
      throw NodeParameterError(*refusal);
    }
    throw std::runtime_error("the node \"" + name + "\" failed to configure");
  }
  if (node.activate().id() != State::PRIMARY_STATE_ACTIVE) {
    throw std::runtime_error("the node \"" + name + "\" failed to activate");
  }
}

}  // namespace planning_sim
