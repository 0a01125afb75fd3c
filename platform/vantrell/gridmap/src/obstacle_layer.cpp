#include "obstacle_layer.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "vantrell_nav2_gridmap/grid_layers.hpp"

namespace vantrell_nav2_gridmap {

void ObstacleLayer::queue(ObstacleEdit edit) {
  const uint32_t unheld = edit.types & ~uint32_t{GridLayers::OBSTACLE_TYPE_BITS};
  if (edit.action == ObstacleEdit::Action::MARK && unheld != 0) {
    std::ostringstream message;
    message << "obstacle type bits 0x" << std::hex << unheld
            << " are beyond the obstacle layer, which holds types up to 0x"
            << (GridLayers::OBSTACLE_TYPE_BITS + 1) / 2;
    throw std::invalid_argument(message.str());
  }
  std::lock_guard<std::mutex> lock(queue_mutex_);
  pending_.push_back(std::move(edit));
}

bool ObstacleLayer::applyPending(const StaticLayer& geometry) {
  std::vector<ObstacleEdit> edits;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    edits.swap(pending_);
  }
  if (edits.empty()) {
    return false;
  }
  // The published snapshot reads the current words: edits go to a copy.
  auto next = cells_ ? std::make_shared<Cells>(*cells_)
                     : std::make_shared<Cells>(static_cast<size_t>(size_x_) * size_y_, 0);
  bool changed = false;
  for (const auto& edit : edits) {
    changed = apply(edit, geometry, *next) || changed;
  }
  if (changed) {
    const bool empty =
        std::all_of(next->begin(), next->end(), [](uint16_t word) { return word == 0; });
    cells_ = empty ? nullptr : std::move(next);
  }
  return changed;
}

void ObstacleLayer::resize(unsigned int size_x, unsigned int size_y) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    pending_.clear();
  }
  size_x_ = size_x;
  size_y_ = size_y;
  cells_.reset();
}

bool ObstacleLayer::apply(const ObstacleEdit& edit, const StaticLayer& geometry,
                          Cells& cells) const {
  if (edit.action == ObstacleEdit::Action::CLEAR_ALL) {
    const bool had_any =
        std::any_of(cells.begin(), cells.end(), [](uint16_t word) { return word != 0; });
    std::fill(cells.begin(), cells.end(), 0);
    return had_any;
  }
  bool changed = false;
  for (const auto& cell : edit.cells) {
    changed = applyToCell(edit, cell.x, cell.y, cells) || changed;
  }
  return applyToPolygon(edit, geometry, cells) || changed;
}

bool ObstacleLayer::applyToCell(const ObstacleEdit& edit, unsigned int mx, unsigned int my,
                                Cells& cells) const {
  if (mx >= size_x_ || my >= size_y_) {
    return false;
  }
  uint16_t& word = cells[static_cast<size_t>(my) * size_x_ + mx];
  const uint16_t old = word;
  if (edit.action == ObstacleEdit::Action::CLEAR) {
    word = 0;
  } else {
    word = static_cast<uint16_t>(old | edit.types |
                                 (edit.blocking ? GridLayers::OBSTACLE_BLOCKING : 0));
  }
  return word != old;
}

bool ObstacleLayer::applyToPolygon(const ObstacleEdit& edit, const StaticLayer& geometry,
                                   Cells& cells) const {
  const auto& poly = edit.polygon;
  if (poly.size() < 3 || size_y_ == 0) {
    return false;
  }
  const double res = geometry.resolution();
  double min_y = poly.front().y;
  double max_y = poly.front().y;
  for (const auto& p : poly) {
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  // Rows whose centre line can cross the polygon.
  const double first_row = std::max(0.0, std::ceil((min_y - geometry.originY()) / res - 0.5));
  const double last_row =
      std::min<double>(size_y_ - 1, std::floor((max_y - geometry.originY()) / res - 0.5));
  if (!(first_row <= last_row)) {
    return false;
  }
  bool changed = false;
  std::vector<double> crossings;
  for (auto my = static_cast<unsigned int>(first_row); my <= static_cast<unsigned int>(last_row);
       ++my) {
    // Scan line through the row's cell centres; even-odd rule.
    const double y = geometry.originY() + (my + 0.5) * res;
    crossings.clear();
    for (size_t k = 0; k < poly.size(); ++k) {
      const auto& a = poly[k];
      const auto& b = poly[(k + 1) % poly.size()];
      if ((a.y > y) != (b.y > y)) {
        crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Cells whose centre x lies in [left, right).
      const double from = std::ceil((crossings[k] - geometry.originX()) / res - 0.5);
      const double to = std::ceil((crossings[k + 1] - geometry.originX()) / res - 0.5);
      const double lo = std::max(from, 0.0);
      const double hi = std::min(to, static_cast<double>(size_x_));
      for (double mx = lo; mx < hi; mx += 1.0) {
        changed = applyToCell(edit, static_cast<unsigned int>(mx), my, cells) || changed;
      }
    }
  }
  return changed;
}

}  // namespace vantrell_nav2_gridmap
