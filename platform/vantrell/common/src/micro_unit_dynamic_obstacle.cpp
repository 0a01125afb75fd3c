#include "vantrell_communicator/micro_unit_dynamic_obstacle.hpp"

#include <utility>

namespace vantrell_communicator {

std::vector<nav_msgs::msg::Path> MicroUnitDynamicObstacle::getDynamicObstacle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return trajectories_;
}

void MicroUnitDynamicObstacle::setDynamicObstacle(std::vector<nav_msgs::msg::Path> trajectories) {
  std::lock_guard<std::mutex> lock(mutex_);
  trajectories_ = std::move(trajectories);
}

}  // namespace vantrell_communicator
