#include "vantrell_nav2_gridmap/gridmap_location_coverter.hpp"

#include <cmath>
#include <utility>

namespace vantrell_nav2_gridmap {

GridmapLocationCoverter::GridmapLocationCoverter(std::shared_ptr<GridMapROS> first,
                                                 std::shared_ptr<GridMapROS> second)
    : first_(std::move(first)), second_(std::move(second)) {
  updateOrigin();
}

GridmapLocationCoverter::Geometry GridmapLocationCoverter::readGeometry(const GridMapROS& map) {
  // The snapshot's geometry is consistent in itself, unlike a series of
  // getters on a costmap that may be resized meanwhile.
  const auto layers = map.getMultiGridMap()->getLayers();
  Geometry geometry;
  geometry.size_x = layers->size_x;
  geometry.size_y = layers->size_y;
  geometry.resolution = layers->resolution;
  geometry.origin_x = layers->origin_x;
  geometry.origin_y = layers->origin_y;
  return geometry;
}

bool GridmapLocationCoverter::updateOrigin() {
  valid_ = false;
  if (!first_ || !second_) {
    return false;
  }
  if (first_->getCostmapROS()->getGlobalFrameID() != second_->getCostmapROS()->getGlobalFrameID()) {
    return false;
  }
  first_geometry_ = readGeometry(*first_);
  second_geometry_ = readGeometry(*second_);
  valid_ = true;
  return true;
}

bool GridmapLocationCoverter::convert(const Geometry& from, const Geometry& to, unsigned int x,
                                      unsigned int y, unsigned int& u, unsigned int& v) {
  if (x >= from.size_x || y >= from.size_y) {
    return false;
  }
  // Same arithmetic as Costmap2D::mapToWorld then worldToMap.
  const double wx = from.origin_x + (x + 0.5) * from.resolution;
  const double wy = from.origin_y + (y + 0.5) * from.resolution;
  if (wx < to.origin_x || wy < to.origin_y) {
    return false;
  }
  const double cu = std::floor((wx - to.origin_x) / to.resolution);
  const double cv = std::floor((wy - to.origin_y) / to.resolution);
  if (cu >= to.size_x || cv >= to.size_y) {
    return false;
  }
  u = static_cast<unsigned int>(cu);
  v = static_cast<unsigned int>(cv);
  return true;
}

bool GridmapLocationCoverter::firstToSecondMap(unsigned int x, unsigned int y, unsigned int& u,
                                               unsigned int& v) const {
  return valid_ && convert(first_geometry_, second_geometry_, x, y, u, v);
}

bool GridmapLocationCoverter::secondToFirstMap(unsigned int x, unsigned int y, unsigned int& u,
                                               unsigned int& v) const {
  return valid_ && convert(second_geometry_, first_geometry_, x, y, u, v);
}

}  // namespace vantrell_nav2_gridmap
