#include "shared_layers.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

namespace vantrell_nav2_gridmap {

namespace {

size_t hashOf(const SharedLayers::Costs& costs) {
  return std::hash<std::string_view>()(
      std::string_view(reinterpret_cast<const char*>(costs.data()), costs.size()));
}

}  // namespace

std::shared_ptr<SharedLayers> SharedLayers::shared() {
  static const std::shared_ptr<SharedLayers> registry = std::make_shared<SharedLayers>();
  return registry;
}

void SharedLayers::forgetUnused() {
  std::lock_guard<std::mutex> lock(mutex_);
  prune();
}

std::shared_ptr<const SharedLayers::Costs> SharedLayers::intern(Costs costs) {
  const size_t hash = hashOf(costs);
  std::lock_guard<std::mutex> lock(mutex_);
  prune();
  for (const CostsEntry& entry : costs_) {
    if (entry.hash != hash) {
      continue;
    }
    auto kept = entry.costs.lock();
    if (kept && *kept == costs) {
      return kept;
    }
  }
  auto shared = std::make_shared<const Costs>(std::move(costs));
  costs_.push_back({hash, shared});
  return shared;
}

std::shared_ptr<const GridLayers> SharedLayers::snapshot(
    const Inputs& inputs, const std::function<std::shared_ptr<const GridLayers>()>& build) {
  if (auto kept = find(inputs)) {
    return kept;
  }
  auto built = build();
  std::lock_guard<std::mutex> lock(mutex_);
  SnapshotEntry entry{inputs, inputs.static_costs, inputs.obstacles, built};
  entry.inputs.static_costs.reset();
  entry.inputs.obstacles.reset();
  snapshots_.push_back(std::move(entry));
  return built;
}

std::shared_ptr<const GridLayers> SharedLayers::find(const Inputs& inputs) {
  std::lock_guard<std::mutex> lock(mutex_);
  prune();
  for (const SnapshotEntry& entry : snapshots_) {
    // A snapshot holds its obstacle cells: an entry whose cells have gone has no snapshot left
    // either, so an expired pointer never passes for "no obstacles".
    if (!sameValues(entry.inputs, inputs) || entry.static_costs.lock() != inputs.static_costs ||
        entry.obstacles.lock() != inputs.obstacles) {
      continue;
    }
    if (auto layers = entry.layers.lock()) {
      return layers;
    }
  }
  return nullptr;
}

bool SharedLayers::sameValues(const Inputs& a, const Inputs& b) {
  return a.size_x == b.size_x && a.size_y == b.size_y && a.resolution == b.resolution &&
         a.origin_x == b.origin_x && a.origin_y == b.origin_y &&
         a.inscribed_radius == b.inscribed_radius &&
         a.circumscribed_radius == b.circumscribed_radius &&
         a.inflation_radius == b.inflation_radius &&
         a.cost_scaling_factor == b.cost_scaling_factor && a.inflate_unknown == b.inflate_unknown &&
         a.narrow_passage_width == b.narrow_passage_width;
}

void SharedLayers::prune() {
  costs_.erase(std::remove_if(costs_.begin(), costs_.end(),
                              [](const CostsEntry& entry) { return entry.costs.expired(); }),
               costs_.end());
  snapshots_.erase(
      std::remove_if(snapshots_.begin(), snapshots_.end(),
                     [](const SnapshotEntry& entry) { return entry.layers.expired(); }),
      snapshots_.end());
  // With the last map gone, nothing of the registry stays.
  if (costs_.empty()) {
    costs_.shrink_to_fit();
  }
  if (snapshots_.empty()) {
    snapshots_.shrink_to_fit();
  }
}

}  // namespace vantrell_nav2_gridmap
