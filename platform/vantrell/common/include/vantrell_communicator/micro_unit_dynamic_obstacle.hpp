#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_DYNAMIC_OBSTACLE_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_DYNAMIC_OBSTACLE_HPP_

#include <mutex>
#include <vector>

#include "nav_msgs/msg/path.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The dynamic-obstacle unit: predicted trajectories of moving obstacles.
class MicroUnitDynamicObstacle {
 public:
  MicroUnitDynamicObstacle() = default;

  /// The latest predicted trajectories, one path each (empty before the first).
  std::vector<nav_msgs::msg::Path> getDynamicObstacle() const;

 private:
  friend class testing::CommunicatorProbe;

  void setDynamicObstacle(std::vector<nav_msgs::msg::Path> trajectories);

  mutable std::mutex mutex_;
  std::vector<nav_msgs::msg::Path> trajectories_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_DYNAMIC_OBSTACLE_HPP_
