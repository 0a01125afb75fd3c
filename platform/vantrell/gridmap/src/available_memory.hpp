#ifndef VANTRELL_NAV2_GRIDMAP__AVAILABLE_MEMORY_HPP_
#define VANTRELL_NAV2_GRIDMAP__AVAILABLE_MEMORY_HPP_

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vantrell_nav2_gridmap {

// Bytes this process can still be given: the kernel's MemAvailable, within
// the room left under every memory cgroup the process belongs to (version 1
// or 2, each level up to the root). Page cache that the kernel would drop
// counts as room. Nothing when the system tells neither. `root` is where the
// /proc and /sys trees are read from.
std::optional<uint64_t> availableMemory(const std::filesystem::path& root = "/");

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__AVAILABLE_MEMORY_HPP_
