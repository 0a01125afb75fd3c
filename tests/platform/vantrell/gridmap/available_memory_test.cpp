#include "available_memory.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vantrell_nav2_gridmap::availableMemory;

constexpr uint64_t kGiB = uint64_t{1} << 30;

// A /proc and /sys tree of its own, as the kernel would show it.
class FakeSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("available_memory_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void write(const std::string& file, const std::string& text) {
    const fs::path path = root_ / file;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  void memAvailable(uint64_t bytes) {
    write("proc/meminfo",
          "MemTotal:       24000000 kB\nMemFree:          100000 kB\n"
          "MemAvailable:   " +
              std::to_string(bytes / 1024) + " kB\n");
  }
  // One group of a hierarchy: limit ("max" or bytes), usage, and droppable page cache.
  void group(const std::string& dir, const std::string& limit, const std::string& usage,
             const std::string& stat) {
    const bool v2 = dir.rfind("sys/fs/cgroup/memory", 0) != 0;
    write(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"), limit + "\n");
    write(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"), usage + "\n");
    write(dir + "/memory.stat", stat);
  }

  fs::path root_;
};

TEST_F(FakeSystem, NothingToReadTellsNothing) { EXPECT_EQ(availableMemory(root_), std::nullopt); }

TEST_F(FakeSystem, WithoutCgroupLimitsTheKernelsFigureHolds) {
  memAvailable(12 * kGiB);
  EXPECT_EQ(availableMemory(root_), 12 * kGiB);
  write("proc/self/cgroup", "4:memory:/\n0::/\n");
  group("sys/fs/cgroup/memory", "9223372036854771712", std::to_string(kGiB), "");
  EXPECT_EQ(availableMemory(root_), 12 * kGiB);
}

TEST_F(FakeSystem, VersionOneGroupsUpToTheRootBoundTheRoom) {
  memAvailable(12 * kGiB);
  write("proc/self/cgroup", "9:name=systemd:/\n4:cpu,memory:/jobs/one\n1:cpu:/\n");
  group("sys/fs/cgroup/memory/jobs/one", std::to_string(8 * kGiB), std::to_string(3 * kGiB),
        "total_cache 100\ntotal_inactive_file " + std::to_string(kGiB) + "\n");
  // Limit 8, used 3 of which 1 can be dropped: room for 6.
  EXPECT_EQ(availableMemory(root_), 6 * kGiB);
  // A parent with less room left wins.
  group("sys/fs/cgroup/memory/jobs", std::to_string(5 * kGiB), std::to_string(2 * kGiB), "");
  EXPECT_EQ(availableMemory(root_), 3 * kGiB);
  // A group over its limit has no room at all.
  group("sys/fs/cgroup/memory/jobs", std::to_string(kGiB), std::to_string(2 * kGiB), "");
  EXPECT_EQ(availableMemory(root_), 0u);
}

TEST_F(FakeSystem, VersionTwoGroupsWithoutALimitDeferToTheirParents) {
  memAvailable(2 * kGiB);
  write("proc/self/cgroup", "0::/user.slice/session\n");
  group("sys/fs/cgroup/user.slice/session", "max", std::to_string(kGiB), "");
  group("sys/fs/cgroup/user.slice", std::to_string(10 * kGiB), std::to_string(kGiB),
        "anon 5\ninactive_file " + std::to_string(kGiB / 2) + "\n");
  // The parent leaves 9.5 GiB, the kernel only 2.
  EXPECT_EQ(availableMemory(root_), 2 * kGiB);
  memAvailable(20 * kGiB);
  EXPECT_EQ(availableMemory(root_), 10 * kGiB - kGiB / 2);
}

}  // namespace
