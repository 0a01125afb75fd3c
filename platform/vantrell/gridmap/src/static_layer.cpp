#include "static_layer.hpp"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "nav2_costmap_2d/cost_values.hpp"
#include "shared_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_memory.hpp"

namespace vantrell_nav2_gridmap {

namespace {

// Keeps a corrupt header from asking for an absurd allocation.
constexpr uint64_t kMaxCells = uint64_t{1} << 28;

void checkGrid(const nav_msgs::msg::OccupancyGrid& grid) {
  const auto& info = grid.info;
  if (info.width == 0 || info.height == 0) {
    throw std::invalid_argument("occupancy grid has no cells");
  }
  const uint64_t cells = uint64_t{info.width} * info.height;
  if (cells > kMaxCells) {
    throw std::invalid_argument("occupancy grid of " + std::to_string(info.width) + " x " +
                                std::to_string(info.height) + " cells is too large");
  }
  if (grid.data.size() != cells) {
    throw std::invalid_argument("occupancy grid data holds " + std::to_string(grid.data.size()) +
                                " values for " + std::to_string(info.width) + " x " +
                                std::to_string(info.height) + " cells");
  }
  if (!std::isfinite(info.resolution) || !(info.resolution > 0.0f)) {
    throw std::invalid_argument("occupancy grid resolution must be a positive number");
  }
  if (!std::isfinite(info.origin.position.x) || !std::isfinite(info.origin.position.y)) {
    throw std::invalid_argument("occupancy grid origin must be finite");
  }
  const auto& q = info.origin.orientation;
  const double yaw = std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
  // A turned map would be laid out wrongly without a word; refuse it instead.
  if (!std::isfinite(yaw) || std::abs(yaw) > 1e-6 || std::abs(q.x) > 1e-6 || std::abs(q.y) > 1e-6) {
    throw std::invalid_argument("occupancy grid origin must not be rotated");
  }
}

}  // namespace

StaticLayer StaticLayer::fromOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                           const GridMapParams& params) {
  checkGrid(grid);
  // Before the first cell is allocated: a map too large for this machine is
  // refused now, not half built.
  GridMapMemory::admit(grid.info.width, grid.info.height);
  if (params.lethal_threshold <= 0) {
    throw std::invalid_argument("lethal_threshold must be positive");
  }
  uint8_t table[256];
  for (int v = -128; v < 128; ++v) {
    uint8_t cost = nav2_costmap_2d::FREE_SPACE;
    if (v < 0) {
      cost = params.track_unknown ? nav2_costmap_2d::NO_INFORMATION : nav2_costmap_2d::FREE_SPACE;
    } else if (v >= params.lethal_threshold) {
      cost = nav2_costmap_2d::LETHAL_OBSTACLE;
    } else if (!params.trinary_costmap) {
      cost = static_cast<uint8_t>(static_cast<double>(v) / params.lethal_threshold *
                                  nav2_costmap_2d::LETHAL_OBSTACLE);
    }
    table[static_cast<uint8_t>(static_cast<int8_t>(v))] = cost;
  }

  StaticLayer layer;
  layer.size_x_ = grid.info.width;
  layer.size_y_ = grid.info.height;
  // Widened from the message's single precision as Nav2's static layer takes it (0.05 becomes
  // 0.0500000007), so that costs near the inscribed radius come out as Nav2 gives them.
  layer.resolution_ = grid.info.resolution;
  layer.origin_x_ = grid.info.origin.position.x;
  layer.origin_y_ = grid.info.origin.position.y;
  std::vector<uint8_t> costs(grid.data.size());
  for (size_t i = 0; i < grid.data.size(); ++i) {
    costs[i] = table[static_cast<uint8_t>(grid.data[i])];
  }
  layer.costs_ = SharedLayers::shared()->intern(std::move(costs));
  return layer;
}

bool StaticLayer::sameGeometry(const StaticLayer& other) const {
  return size_x_ == other.size_x_ && size_y_ == other.size_y_ && resolution_ == other.resolution_ &&
         origin_x_ == other.origin_x_ && origin_y_ == other.origin_y_;
}

}  // namespace vantrell_nav2_gridmap
