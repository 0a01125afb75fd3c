#ifndef VANTRELL_NAV2_PLANNER__VANTRELL_CONSTRAINED_SMOOTHER_HPP_
#define VANTRELL_NAV2_PLANNER__VANTRELL_CONSTRAINED_SMOOTHER_HPP_

#include <memory>
#include <string>

#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace vantrell_nav2_planner {

/**
 * The maker's constrained smoother, as far as the planners use it: they make
 * and configure one and never smooth with it. Configuring only checks the node
 * and keeps the name; it declares no parameters and changes nothing.
 */
class VantrellConstrainedSmoother {
 public:
  VantrellConstrainedSmoother() = default;

  /// Throws std::runtime_error when the node is gone.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name);

  bool isConfigured() const { return configured_; }
  const std::string& getName() const { return name_; }

 private:
  bool configured_{false};
  std::string name_;
};

}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__VANTRELL_CONSTRAINED_SMOOTHER_HPP_
