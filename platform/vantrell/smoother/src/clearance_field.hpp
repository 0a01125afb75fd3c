#ifndef VANTRELL_NAV2_SMOOTHER__CLEARANCE_FIELD_HPP_
#define VANTRELL_NAV2_SMOOTHER__CLEARANCE_FIELD_HPP_

#include <memory>

#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vec2.hpp"

namespace vantrell_nav2_smoother {

// The grid map's distance to the nearest obstacle as a continuous field:
// bilinear between cell centres, so that a pose feels a push that changes
// smoothly as it moves. The map's geometry and its layers are read once, at
// construction: one smoothing sees one state of the map, and a sample costs no
// lock.
class ClearanceField {
 public:
  explicit ClearanceField(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap);

  // Clearance in metres at p and its gradient; false off the map, where the
  // map knows nothing.
  bool sample(const Vec2& p, double& distance, Vec2& gradient) const;

 private:
  double cellDistance(long cx, long cy) const;

  std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers_;
  double origin_x_{0.0};
  double origin_y_{0.0};
  double resolution_{0.0};
  long size_x_{0};
  long size_y_{0};
};

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__CLEARANCE_FIELD_HPP_
