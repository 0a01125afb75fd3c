#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"

#include <stdexcept>
#include <utility>

namespace vantrell_nav2_planner {

void VantrellConstrainedSmoother::configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent,
                                            std::string name) {
  if (!parent.lock()) {
    throw std::runtime_error("VantrellConstrainedSmoother " + name + ": unable to lock the node");
  }
  name_ = std::move(name);
  configured_ = true;
}

}  // namespace vantrell_nav2_planner
