#include "available_memory.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace vantrell_nav2_gridmap {

namespace fs = std::filesystem;

namespace {

// Where one cgroup version keeps a group's limit, its usage and its statistics.
struct CgroupFiles {
  fs::path mount;
  const char* limit;
  const char* usage;
  // The statistic of page cache that can be dropped without writing it back.
  const char* inactive_file;
};

const CgroupFiles kVersion1{"sys/fs/cgroup/memory", "memory.limit_in_bytes",
                            "memory.usage_in_bytes", "total_inactive_file"};
const CgroupFiles kVersion2{"sys/fs/cgroup", "memory.max", "memory.current", "inactive_file"};

// The number a file starts with; nothing for a missing file or "max".
std::optional<uint64_t> readNumber(const fs::path& file) {
  std::ifstream in(file);
  uint64_t value = 0;
  if (in >> value) {
    return value;
  }
  return std::nullopt;
}

// The value after `key` in a file of "key value" lines.
std::optional<uint64_t> readField(const fs::path& file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    uint64_t value = 0;
    if (fields >> name >> value && name == key) {
      return value;
    }
  }
  return std::nullopt;
}

// The room left under one group's limit.
std::optional<uint64_t> groupRoom(const fs::path& group, const CgroupFiles& files) {
  const auto limit = readNumber(group / files.limit);
  const auto usage = readNumber(group / files.usage);
  if (!limit || !usage) {
    return std::nullopt;
  }
  const uint64_t droppable = readField(group / "memory.stat", files.inactive_file).value_or(0);
  const uint64_t used = *usage - std::min(*usage, droppable);
  return *limit - std::min(*limit, used);
}

// The tightest room from the process's group up to the hierarchy's root.
std::optional<uint64_t> hierarchyRoom(const fs::path& root, const CgroupFiles& files,
                                      const std::string& group_path) {
  std::optional<uint64_t> room;
  fs::path group = fs::path(group_path).relative_path();
  while (true) {
    const auto here = groupRoom(root / files.mount / group, files);
    if (here) {
      room = std::min(room.value_or(*here), *here);
    }
    if (group.empty()) {
      return room;
    }
    group = group.parent_path();
  }
}

bool listsMemory(const std::string& controllers) {
  std::istringstream names(controllers);
  std::string name;
  while (std::getline(names, name, ',')) {
    if (name == "memory") {
      return true;
    }
  }
  return false;
}

// Lines of /proc/self/cgroup: "id:controllers:path"; version 2 lists no controllers.
std::optional<uint64_t> cgroupRoom(const fs::path& root) {
  std::ifstream in(root / "proc/self/cgroup");
  std::optional<uint64_t> room;
  std::string line;
  while (std::getline(in, line)) {
    const auto first = line.find(':');
    const auto second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
      continue;
    }
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string group_path = line.substr(second + 1);
    std::optional<uint64_t> here;
    if (controllers.empty()) {
      here = hierarchyRoom(root, kVersion2, group_path);
    } else if (listsMemory(controllers)) {
      here = hierarchyRoom(root, kVersion1, group_path);
    }
    if (here) {
      room = std::min(room.value_or(*here), *here);
    }
  }
  return room;
}

}  // namespace

std::optional<uint64_t> availableMemory(const fs::path& root) {
  std::optional<uint64_t> room;
  if (const auto kib = readField(root / "proc/meminfo", "MemAvailable:")) {
    room = *kib * 1024;
  }
  if (const auto group = cgroupRoom(root)) {
    room = std::min(room.value_or(*group), *group);
  }
  return room;
}

}  // namespace vantrell_nav2_gridmap
