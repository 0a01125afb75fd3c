#include "nav2_costmap_2d/layer.hpp"

namespace nav2_costmap_2d {

void Layer::initialize(LayeredCostmap* parent, const std::string& name) {
  layered_costmap_ = parent;
  name_ = name;
  onInitialize();
}

}  // namespace nav2_costmap_2d
