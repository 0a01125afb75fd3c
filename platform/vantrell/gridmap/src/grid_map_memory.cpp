#include "vantrell_nav2_gridmap/grid_map_memory.hpp"

#include <unistd.h>

#include <stdexcept>
#include <string>

#include "available_memory.hpp"

namespace vantrell_nav2_gridmap {

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

}  // namespace

std::atomic<uint64_t> GridMapMemory::available_override_{GridMapMemory::kNoOverride};

uint64_t GridMapMemory::bytesNeeded(unsigned int size_x, unsigned int size_y) {
  return uint64_t{size_x} * size_y * kPeakBytesPerCell + uint64_t{size_x} * kScratchBytesPerColumn +
         kFixedBytes;
}

std::optional<uint64_t> GridMapMemory::available() {
  const uint64_t forced = available_override_.load();
  if (forced != kNoOverride) {
    return forced;
  }
  if (const auto room = availableMemory()) {
    return room;
  }
  // Without /proc: what the C library can tell, free pages only.
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) {
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
  }
  return std::nullopt;
}

void GridMapMemory::admit(unsigned int size_x, unsigned int size_y) {
  const uint64_t needed = bytesNeeded(size_x, size_y);
  const auto room = available();
  if (!room || needed <= *room) {
    return;
  }
  throw std::invalid_argument("occupancy grid of " + std::to_string(size_x) + " x " +
                              std::to_string(size_y) + " cells needs " +
                              std::to_string((needed + kMiB - 1) / kMiB) +
                              " MiB of memory for its grid map, more than the " +
                              std::to_string(*room / kMiB) + " MiB available");
}

}  // namespace vantrell_nav2_gridmap
