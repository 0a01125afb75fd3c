#ifndef VANTRELL_NAV2_GRIDMAP__GRID_MAP_MEMORY_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRID_MAP_MEMORY_HPP_

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>

namespace vantrell_nav2_gridmap {

namespace testing {
class AvailableMemoryOverride;
}  // namespace testing

// What a grid map's layers take, and the rule that admits a map only when the
// machine can give it: a map is refused before anything of it is allocated,
// rather than ending in bad_alloc or the kernel's out-of-memory killer later.
class GridMapMemory {
 public:
  // Per cell, one byte each for the map, the costs before and after
  // inflation, danger, narrow passages and the master costmap; two for the
  // obstacle layer's types; four for the distance.
  static constexpr uint64_t kKeptBytesPerCell = 12;
  // An update builds the next snapshot (costs, danger, narrow passages,
  // distance) and an edited copy of the obstacle layer beside the published ones.
  static constexpr uint64_t kPeakBytesPerCell = kKeptBytesPerCell + 8 + 2;
  // The distance transform's working row, per map column.
  static constexpr uint64_t kScratchBytesPerColumn = 24;
  // What does not grow with the map: the objects, the inflation table.
  static constexpr uint64_t kFixedBytes = uint64_t{1} << 20;

  // The most one grid map of size_x x size_y cells holds at once.
  static uint64_t bytesNeeded(unsigned int size_x, unsigned int size_y);
  // Bytes the process can still be given (MemAvailable within the cgroup
  // limits); nothing when the system does not say.
  static std::optional<uint64_t> available();
  // Throws std::invalid_argument, naming the map's size, the memory it needs
  // and the memory available, when a grid map of that size would not fit.
  static void admit(unsigned int size_x, unsigned int size_y);

 private:
  friend class testing::AvailableMemoryOverride;

  static constexpr uint64_t kNoOverride = std::numeric_limits<uint64_t>::max();
  static std::atomic<uint64_t> available_override_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRID_MAP_MEMORY_HPP_
