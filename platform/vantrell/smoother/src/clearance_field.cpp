#include "clearance_field.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace vantrell_nav2_smoother {

ClearanceField::ClearanceField(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap)
    : layers_(gridmap->getMultiGridMap()->getLayers()) {
  nav2_costmap_2d::Costmap2D* costmap = gridmap->getMultiGridMap()->getCostmap();
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  origin_x_ = costmap->getOriginX();
  origin_y_ = costmap->getOriginY();
  resolution_ = costmap->getResolution();
  size_x_ = static_cast<long>(costmap->getSizeInCellsX());
  size_y_ = static_cast<long>(costmap->getSizeInCellsY());
}

double ClearanceField::cellDistance(long cx, long cy) const {
  // Beyond the outer cell centres the field continues flat.
  cx = std::clamp(cx, 0L, size_x_ - 1);
  cy = std::clamp(cy, 0L, size_y_ - 1);
  const auto mx = static_cast<unsigned int>(cx);
  const auto my = static_cast<unsigned int>(cy);
  // As MultiGridMap::getDistance reads it: nothing is known off the layers.
  if (!layers_ || !layers_->contains(mx, my)) {
    return 0.0;
  }
  const size_t i = layers_->index(mx, my);
  return i < layers_->distance.size() ? layers_->distance[i] : 0.0;
}

bool ClearanceField::sample(const Vec2& p, double& distance, Vec2& gradient) const {
  if (resolution_ <= 0.0 || size_x_ <= 0 || size_y_ <= 0) {
    return false;
  }
  const double gx = (p.x - origin_x_) / resolution_;
  const double gy = (p.y - origin_y_) / resolution_;
  if (!(gx >= 0.0 && gy >= 0.0 && gx < static_cast<double>(size_x_) &&
        gy < static_cast<double>(size_y_))) {
    return false;
  }
  // Cell centres sit at half-integer grid coordinates.
  const double fx = gx - 0.5;
  const double fy = gy - 0.5;
  const long cx = static_cast<long>(std::floor(fx));
  const long cy = static_cast<long>(std::floor(fy));
  const double tx = fx - static_cast<double>(cx);
  const double ty = fy - static_cast<double>(cy);
  const double d00 = cellDistance(cx, cy);
  const double d10 = cellDistance(cx + 1, cy);
  const double d01 = cellDistance(cx, cy + 1);
  const double d11 = cellDistance(cx + 1, cy + 1);
  const double bottom = d00 + (d10 - d00) * tx;
  const double top = d01 + (d11 - d01) * tx;
  distance = bottom + (top - bottom) * ty;
  gradient.x = ((d10 - d00) * (1.0 - ty) + (d11 - d01) * ty) / resolution_;
  gradient.y = (top - bottom) / resolution_;
  return true;
}

}  // namespace vantrell_nav2_smoother
