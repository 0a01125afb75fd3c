#include "vantrell_nav2_planner/astar2/landmark_keeper.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

using vantrell_nav2_gridmap::GridLayers;

constexpr float kSqrt2 = 1.41421356F;

// Octile distances in cells from every cell to the nearest cell for which `source` holds (two
// sweeps); never below the straight-line distance. Infinite when there is no source.
template <typename Source>
std::vector<float> octileDistances(unsigned size_x, unsigned size_y, Source&& source) {
  const float far = std::numeric_limits<float>::infinity();
  std::vector<float> distance(static_cast<std::size_t>(size_x) * size_y, far);
  const auto relax = [&](std::size_t i, long x, long y, long dx, long dy, float step) {
    const long nx = x + dx;
    const long ny = y + dy;
    if (nx >= 0 && ny >= 0 && nx < static_cast<long>(size_x) && ny < static_cast<long>(size_y)) {
      distance[i] = std::min(
          distance[i],
          distance[static_cast<std::size_t>(ny) * size_x + static_cast<std::size_t>(nx)] + step);
    }
  };
  for (long y = 0; y < static_cast<long>(size_y); ++y) {
    for (long x = 0; x < static_cast<long>(size_x); ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * size_x + static_cast<std::size_t>(x);
      if (source(i)) {
        distance[i] = 0.0F;
        continue;
      }
      relax(i, x, y, -1, 0, 1.0F);
      relax(i, x, y, 0, -1, 1.0F);
      relax(i, x, y, -1, -1, kSqrt2);
      relax(i, x, y, 1, -1, kSqrt2);
    }
  }
  for (long y = static_cast<long>(size_y) - 1; y >= 0; --y) {
    for (long x = static_cast<long>(size_x) - 1; x >= 0; --x) {
      const std::size_t i = static_cast<std::size_t>(y) * size_x + static_cast<std::size_t>(x);
      relax(i, x, y, 1, 0, 1.0F);
      relax(i, x, y, 0, 1, 1.0F);
      relax(i, x, y, 1, 1, kSqrt2);
      relax(i, x, y, -1, 1, kSqrt2);
    }
  }
  return distance;
}

bool blocking(const GridLayers& layers, std::size_t i) {
  return ((*layers.obstacles)[i] & GridLayers::OBSTACLE_BLOCKING) != 0U;
}

// How far in cells an obstacle cell raises the cost or danger bits around it: the farthest
// inflated cell from the nearest lethal cell, or the turning room, whichever is larger.
float obstacleReach(const GridLayers& layers) {
  const auto lethal = [&layers](std::size_t i) {
    return layers.raw_cost[i] == nav2_costmap_2d::LETHAL_OBSTACLE;
  };
  const std::vector<float> distance = octileDistances(layers.size_x, layers.size_y, lethal);
  float reach = static_cast<float>(layers.circumscribed_radius / layers.resolution);
  for (std::size_t i = 0; i < distance.size(); ++i) {
    if (layers.cost[i] > layers.raw_cost[i] && std::isfinite(distance[i])) {
      reach = std::max(reach, distance[i]);
    }
  }
  return reach + 1.0F;
}

// The costs and danger bits that later states of the map are expected never to undercut: the
// layers as they are, except around blocking obstacles, which may go away: there the cells
// fall to the cost under the obstacle layer and no danger.
void floorPlan(const GridLayers& layers, std::vector<std::uint8_t>& cost,
               std::vector<std::uint8_t>& danger) {
  cost = layers.cost;
  danger = layers.danger;
  if (!layers.obstacles || layers.obstacles->size() != cost.size() ||
      layers.raw_cost.size() != cost.size()) {
    return;
  }
  bool any = false;
  for (std::size_t i = 0; i < cost.size() && !any; ++i) {
    any = blocking(layers, i);
  }
  if (!any) {
    return;
  }
  const float reach = obstacleReach(layers);
  const std::vector<float> distance = octileDistances(
      layers.size_x, layers.size_y, [&layers](std::size_t i) { return blocking(layers, i); });
  for (std::size_t i = 0; i < cost.size(); ++i) {
    if (distance[i] <= reach) {
      cost[i] = blocking(layers, i) ? nav2_costmap_2d::FREE_SPACE : layers.raw_cost[i];
      danger[i] = 0U;
    }
  }
}

vantrell_nav2_planner::astar2::GridView viewOf(const GridLayers& layers) {
  return GridView{layers.size_x, layers.size_y, layers.cost.data(), layers.danger.data()};
}

}  // namespace

LandmarkKeeper::~LandmarkKeeper() {
  stop_.store(true);
  if (builder_.joinable()) {
    builder_.join();
  }
}

std::shared_ptr<const LandmarkTable> LandmarkKeeper::tablesFor(
    const std::shared_ptr<const GridLayers>& layers, bool cost_aware) {
  if (!cost_aware || !eligible(*layers)) {
    return nullptr;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (table_ && holdsOn(lock, layers)) {
    return table_->guides() ? table_ : nullptr;
  }
  const bool built_from_these = !source_.owner_before(layers) && !layers.owner_before(source_);
  if (!building_ && !given_up_ && !built_from_these) {
    startBuild(layers);
  }
  return nullptr;
}

void LandmarkKeeper::prepare(const std::shared_ptr<const GridLayers>& layers) {
  if (!layers || !eligible(*layers)) {
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  built_.wait(lock, [this] { return !building_; });
  if (table_ && holdsOn(lock, layers)) {
    return;
  }
  const bool built_from_these = !source_.owner_before(layers) && !layers.owner_before(source_);
  // Another search may have started a build while the check ran: wait for that one instead.
  if (!building_ && !given_up_ && !built_from_these) {
    startBuild(layers);
  }
  built_.wait(lock, [this] { return !building_; });
}

bool LandmarkKeeper::eligible(const GridLayers& layers) {
  const std::size_t cells = static_cast<std::size_t>(layers.size_x) * layers.size_y;
  return cells >= kMinCells && cells <= kMaxCells && layers.cost.size() == cells &&
         layers.danger.size() == cells;
}

void LandmarkKeeper::waitForBuild() {
  std::unique_lock<std::mutex> lock(mutex_);
  built_.wait(lock, [this] { return !building_; });
}

bool LandmarkKeeper::holdsOn(std::unique_lock<std::mutex>& lock,
                             const std::shared_ptr<const GridLayers>& layers) {
  if (!checked_.owner_before(layers) && !layers.owner_before(checked_)) {
    return true;  // checked against this very state already
  }
  // The check reads the whole map: let other searches go on meanwhile.
  const std::shared_ptr<const LandmarkTable> table = table_;
  lock.unlock();
  const bool holds = table->boundsHold(viewOf(*layers));
  lock.lock();
  if (table_ != table) {
    return false;  // replaced meanwhile: the new one is checked at the next search
  }
  if (!holds) {
    table_.reset();
    checked_.reset();
    return false;
  }
  checked_ = layers;
  return true;
}

void LandmarkKeeper::startBuild(std::shared_ptr<const GridLayers> layers) {
  if (builder_.joinable()) {
    builder_.join();  // done: it cleared building_ before leaving
  }
  source_ = layers;
  building_ = true;
  try {
    builder_ = std::thread([this, layers = std::move(layers)] { build(layers); });
  } catch (const std::system_error&) {
    building_ = false;  // no thread to spare: search without tables
    given_up_ = true;
  }
}

void LandmarkKeeper::build(const std::shared_ptr<const GridLayers>& layers) {
  std::shared_ptr<const LandmarkTable> table;
  bool out_of_memory = false;
  try {
    std::vector<std::uint8_t> cost;
    std::vector<std::uint8_t> danger;
    floorPlan(*layers, cost, danger);
    const GridView floor{layers->size_x, layers->size_y, cost.data(), danger.data()};
    // Cost-aware steps without the turning room's extra: the tables bound searches with
    // either, and the turning room hardly tightens them.
    table = LandmarkTable::build(floor, true, false, stop_, true);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;  // searches go on without: they need no tables
  }
  // Checked here, off the search path, against the state they were built from: the first
  // search on it need not.
  const bool holds = table && table->boundsHold(viewOf(*layers));
  std::lock_guard<std::mutex> lock(mutex_);
  if (table) {
    table_ = std::move(table);
    checked_.reset();
    if (holds) {
      checked_ = layers;
    }
  }
  given_up_ = out_of_memory;
  building_ = false;
  built_.notify_all();
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
