#include "nav2_costmap_2d/costmap_subscriber.hpp"

#include <algorithm>

#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d {

void CostmapSubscriber::costmapCallback(const std::shared_ptr<const nav2_msgs::msg::Costmap>& msg) {
  std::lock_guard<std::mutex> lock(mutex_);
  costmap_msg_ = msg;
  converted_ = false;
}

std::shared_ptr<Costmap2D> CostmapSubscriber::getCostmap() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!costmap_msg_) {
    throw std::runtime_error("Costmap is not available");
  }
  if (!converted_) {
    const auto& meta = costmap_msg_->metadata;
    auto costmap =
        std::make_shared<Costmap2D>(meta.size_x, meta.size_y, meta.resolution,
                                    meta.origin.position.x, meta.origin.position.y, NO_INFORMATION);
    // A message whose data does not cover its cells leaves the rest unknown.
    const size_t cells = static_cast<size_t>(meta.size_x) * meta.size_y;
    std::copy_n(costmap_msg_->data.begin(), std::min(cells, costmap_msg_->data.size()),
                costmap->getCharMap());
    costmap_ = std::move(costmap);
    converted_ = true;
  }
  return costmap_;
}

}  // namespace nav2_costmap_2d
