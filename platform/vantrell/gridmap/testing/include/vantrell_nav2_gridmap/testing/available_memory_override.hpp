#ifndef VANTRELL_NAV2_GRIDMAP__TESTING__AVAILABLE_MEMORY_OVERRIDE_HPP_
#define VANTRELL_NAV2_GRIDMAP__TESTING__AVAILABLE_MEMORY_OVERRIDE_HPP_

#include <cstdint>

#include "vantrell_nav2_gridmap/grid_map_memory.hpp"

namespace vantrell_nav2_gridmap {
namespace testing {

// Test hook: while it lives, every grid map of the process is admitted
// against `bytes` of available memory instead of the machine's. One at a
// time per process. Never included by library code.
class AvailableMemoryOverride {
 public:
  explicit AvailableMemoryOverride(uint64_t bytes) {
    GridMapMemory::available_override_.store(bytes);
  }
  ~AvailableMemoryOverride() {
    GridMapMemory::available_override_.store(GridMapMemory::kNoOverride);
  }
  AvailableMemoryOverride(const AvailableMemoryOverride&) = delete;
  AvailableMemoryOverride& operator=(const AvailableMemoryOverride&) = delete;
};

}  // namespace testing
}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__TESTING__AVAILABLE_MEMORY_OVERRIDE_HPP_
