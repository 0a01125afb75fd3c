#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "vantrell_nav2_common/base_robot.hpp"

namespace {

TEST(GenerateUuid, IsAVersionFourUuid) {
  // xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx with y one of 8, 9, a, b.
  const auto well_formed = [](const std::string& id) {
    if (id.size() != 36 || id[14] != '4' || std::string("89ab").find(id[19]) == std::string::npos) {
      return false;
    }
    for (size_t i = 0; i < id.size(); ++i) {
      const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
      const bool hex = (id[i] >= '0' && id[i] <= '9') || (id[i] >= 'a' && id[i] <= 'f');
      if (dash ? id[i] != '-' : !hex) {
        return false;
      }
    }
    return true;
  };
  BaseRobot robot;
  for (int i = 0; i < 100; ++i) {
    const std::string id = robot.generateUuid();
    EXPECT_TRUE(well_formed(id)) << id;
  }
}

TEST(GenerateUuid, UniqueAcrossThreads) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 2000;
  const BaseRobot robot;  // shared: the object holds no state
  std::vector<std::vector<std::string>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&robot, &out = made[t]] {
      for (int i = 0; i < kPerThread; ++i) {
        out.push_back(robot.generateUuid());
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  std::set<std::string> all;
  for (const auto& ids : made) {
    all.insert(ids.begin(), ids.end());
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
