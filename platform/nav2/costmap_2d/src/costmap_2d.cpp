#include "nav2_costmap_2d/costmap_2d.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d {

Costmap2D::Costmap2D(unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
                     double origin_x, double origin_y, unsigned char default_value)
    : costmap_(static_cast<size_t>(cells_size_x) * cells_size_y, default_value),
      size_x_(cells_size_x),
      size_y_(cells_size_y),
      resolution_(resolution),
      origin_x_(origin_x),
      origin_y_(origin_y),
      default_value_(default_value) {}

Costmap2D::Costmap2D()
    : size_x_(0), size_y_(0), resolution_(0.0), origin_x_(0.0), origin_y_(0.0), default_value_(0) {}

Costmap2D::Costmap2D(const Costmap2D& map) : Costmap2D() { *this = map; }

Costmap2D& Costmap2D::operator=(const Costmap2D& map) {
  if (this == &map) {
    return *this;
  }
  std::scoped_lock lock(access_, map.access_);
  costmap_ = map.costmap_;
  size_x_ = map.size_x_;
  size_y_ = map.size_y_;
  resolution_ = map.resolution_;
  origin_x_ = map.origin_x_;
  origin_y_ = map.origin_y_;
  default_value_ = map.default_value_;
  return *this;
}

unsigned char Costmap2D::getCost(unsigned int mx, unsigned int my) const {
  if (mx >= size_x_ || my >= size_y_) {
    return NO_INFORMATION;
  }
  return costmap_[static_cast<size_t>(my) * size_x_ + mx];
}

unsigned char Costmap2D::getCost(unsigned int index) const {
  if (index >= costmap_.size()) {
    return NO_INFORMATION;
  }
  return costmap_[index];
}

void Costmap2D::setCost(unsigned int mx, unsigned int my, unsigned char cost) {
  if (mx >= size_x_ || my >= size_y_) {
    return;
  }
  costmap_[static_cast<size_t>(my) * size_x_ + mx] = cost;
}

void Costmap2D::mapToWorld(unsigned int mx, unsigned int my, double& wx, double& wy) const {
  wx = origin_x_ + (mx + 0.5) * resolution_;
  wy = origin_y_ + (my + 0.5) * resolution_;
}

namespace {

// Cell index along one axis for a point known to lie at or beyond the origin.
// Far-away or non-finite inputs saturate instead of overflowing the cast.
unsigned int toCell(double offset, double resolution) {
  const double cell = std::floor(offset / resolution);
  if (!(cell < static_cast<double>(std::numeric_limits<unsigned int>::max()))) {
    return std::numeric_limits<unsigned int>::max();
  }
  return static_cast<unsigned int>(cell);
}

}  // namespace

bool Costmap2D::worldToMap(double wx, double wy, unsigned int& mx, unsigned int& my) const {
  // The negated test also rejects NaN, which no cell can stand for.
  if (!(wx >= origin_x_) || !(wy >= origin_y_) || !(resolution_ > 0.0)) {
    return false;
  }
  mx = toCell(wx - origin_x_, resolution_);
  my = toCell(wy - origin_y_, resolution_);
  return mx < size_x_ && my < size_y_;
}

unsigned char* Costmap2D::getCharMap() const { return costmap_.data(); }

// Computed in double: an empty grid must not wrap around to four billion cells.
double Costmap2D::getSizeInMetersX() const {
  return size_x_ == 0 ? 0.0 : (size_x_ - 0.5) * resolution_;
}

double Costmap2D::getSizeInMetersY() const {
  return size_y_ == 0 ? 0.0 : (size_y_ - 0.5) * resolution_;
}

void Costmap2D::resizeMap(unsigned int size_x, unsigned int size_y, double resolution,
                          double origin_x, double origin_y) {
  std::lock_guard<mutex_t> lock(access_);
  size_x_ = size_x;
  size_y_ = size_y;
  resolution_ = resolution;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  costmap_.assign(static_cast<size_t>(size_x) * size_y, default_value_);
}

void Costmap2D::resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn) {
  std::lock_guard<mutex_t> lock(access_);
  xn = std::min(xn, size_x_);
  yn = std::min(yn, size_y_);
  if (x0 >= xn || y0 >= yn) {
    return;
  }
  for (unsigned int y = y0; y < yn; ++y) {
    auto row = costmap_.begin() + static_cast<std::ptrdiff_t>(y) * size_x_;
    std::fill(row + x0, row + xn, default_value_);
  }
}

}  // namespace nav2_costmap_2d
