#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

using nav2_costmap_2d::LETHAL_OBSTACLE;
using vantrell_nav2_gridmap::GridLayers;
using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_gridmap::ObsTypeBitMap;
namespace hooks = vantrell_nav2_gridmap::testing;

// Waits until `count` parties have arrived.
class StartLine {
 public:
  explicit StartLine(int count) : remaining_(count) {}
  void arriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (--remaining_ == 0) {
      cv_.notify_all();
      return;
    }
    cv_.wait(lock, [this] { return remaining_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int remaining_;
};

// Column 10 (pattern A) or column 30 (pattern B) of rows 5..24 is a
// wheelchair-typed wall; the writer switches between them.
const hooks::Cells& column(unsigned int x) {
  static const hooks::Cells a = [] {
    hooks::Cells cells;
    for (unsigned int y = 5; y < 25; ++y) {
      cells.push_back({10, y});
    }
    return cells;
  }();
  static const hooks::Cells b = [] {
    hooks::Cells cells;
    for (unsigned int y = 5; y < 25; ++y) {
      cells.push_back({30, y});
    }
    return cells;
  }();
  return x == 10 ? a : b;
}

// Within one snapshot the cost, distance, danger and type layers must all
// show the same pattern, and exactly one of the two.
bool snapshotIsWhole(const GridLayers& layers) {
  const bool a = layers.cost[layers.index(10, 15)] == LETHAL_OBSTACLE;
  const bool b = layers.cost[layers.index(30, 15)] == LETHAL_OBSTACLE;
  if (a == b) {
    return false;
  }
  const unsigned int on = a ? 10 : 30;
  const unsigned int off = a ? 30 : 10;
  for (unsigned int y = 5; y < 25; ++y) {
    if (layers.cost[layers.index(on, y)] != LETHAL_OBSTACLE ||
        layers.distance[layers.index(on, y)] != 0.0f ||
        layers.obstacleTypes(layers.index(on, y)) != ObsTypeBitMap::WHEELCHAIR ||
        layers.cost[layers.index(off, y)] == LETHAL_OBSTACLE ||
        layers.obstacleTypes(layers.index(off, y)) != 0 ||
        (layers.danger[layers.index(on + 2, y)] & GridLayers::DANGER_LEVEL_0) == 0) {
      return false;
    }
  }
  return true;
}

class ConcurrentUpdates : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks::markObstacleCells(*map_, column(10), ObsTypeBitMap::WHEELCHAIR);
    map_->getMultiGridMap()->updateMap();
  }

  std::shared_ptr<GridMapROS> map_ =
      hooks::makeGridMap("shared", test_support::drawEmptyRoom(40, 30).image, 0.05);
};

TEST_F(ConcurrentUpdates, ReadersNeverSeeHalfAnUpdate) {
  constexpr int kReaders = 4;
  constexpr int kUpdates = 40;
  const auto grid = map_->getMultiGridMap();
  StartLine start(kReaders + 1);
  std::atomic<bool> writing{true};
  std::vector<std::future<int>> readers;
  for (int r = 0; r < kReaders; ++r) {
    readers.push_back(std::async(std::launch::async, [&, r] {
      start.arriveAndWait();
      int torn = 0;
      do {
        if (r % 2 == 0) {
          // The engine's way: one snapshot, many cells.
          torn += snapshotIsWhole(*grid->getLayers()) ? 0 : 1;
        } else {
          // The library's way: the master grid under its mutex, and the
          // cell queries, which stay on one snapshot while it is held.
          auto* costmap = grid->getCostmap();
          std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
          const bool a = costmap->getCost(10, 15) == LETHAL_OBSTACLE;
          const unsigned int on = a ? 10 : 30;
          for (unsigned int y = 5; y < 25; ++y) {
            ObsTypeBitMap types;
            grid->getObstacleType(on, y, types);
            const bool whole = costmap->getCost(on, y) == LETHAL_OBSTACLE &&
                               costmap->getCost(40 - on, y) != LETHAL_OBSTACLE &&
                               grid->getDistance(on, y) == 0.0 && grid->inDanger(on + 1, y, 0) &&
                               types.any(ObsTypeBitMap::WHEELCHAIR);
            torn += whole ? 0 : 1;
          }
        }
      } while (writing.load());
      return torn;
    }));
  }

  start.arriveAndWait();
  for (int k = 0; k < kUpdates; ++k) {
    const unsigned int from = k % 2 == 0 ? 10 : 30;
    hooks::clearObstacleCells(*map_, column(from));
    hooks::markObstacleCells(*map_, column(40 - from), ObsTypeBitMap::WHEELCHAIR);
    ASSERT_TRUE(grid->updateMap());
  }
  writing = false;
  for (auto& reader : readers) {
    EXPECT_EQ(reader.get(), 0);
  }
  EXPECT_TRUE(snapshotIsWhole(*grid->getLayers()));
}

TEST_F(ConcurrentUpdates, EditsFromManyThreadsAreAllApplied) {
  constexpr int kThreads = 4;
  const auto grid = map_->getMultiGridMap();
  StartLine start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arriveAndWait();
      for (unsigned int x = 12; x < 28; ++x) {
        hooks::markObstacleCells(*map_, {{x, 2u + static_cast<unsigned int>(t)}},
                                 ObsTypeBitMap::MILK, false);
        grid->updateMap();
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  // Every caller's updateMap returned after its own edit was applied, so
  // the last snapshot holds them all.
  const auto layers = grid->getLayers();
  for (unsigned int y = 2; y < 2 + kThreads; ++y) {
    for (unsigned int x = 12; x < 28; ++x) {
      EXPECT_EQ(layers->obstacleTypes(layers->index(x, y)), ObsTypeBitMap::MILK) << x << "," << y;
    }
  }
  auto* costmap = grid->getCostmap();
  EXPECT_EQ(0, std::memcmp(costmap->getCharMap(), layers->cost.data(), layers->cost.size()));
}

TEST_F(ConcurrentUpdates, UpdateWaitsForAReaderHoldingTheCostmapMutex) {
  const auto grid = map_->getMultiGridMap();
  const auto before = grid->getLayers();
  std::future<bool> update;
  {
    std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*grid->getCostmap()->getMutex());
    hooks::clearObstacles(*map_);
    std::promise<void> launched;
    update = std::async(std::launch::async, [&] {
      launched.set_value();
      return grid->updateMap();
    });
    launched.get_future().wait();
    // Whatever the updater has reached, it cannot publish while we hold the mutex.
    EXPECT_EQ(grid->getCostmap()->getCost(10, 15), LETHAL_OBSTACLE);
    EXPECT_EQ(grid->getLayers(), before);
    EXPECT_EQ(grid->getCost(10, 15, false), LETHAL_OBSTACLE);
  }
  ASSERT_TRUE(update.get());
  EXPECT_NE(grid->getCostmap()->getCost(10, 15), LETHAL_OBSTACLE);
}

TEST_F(ConcurrentUpdates, UpdateCalledWhileHoldingTheCostmapMutexDoesNotDeadlock) {
  const auto grid = map_->getMultiGridMap();
  std::atomic<bool> running{true};
  StartLine start(2);
  auto background = std::async(std::launch::async, [&] {
    start.arriveAndWait();
    int n = 0;
    do {
      hooks::markObstacleCells(*map_, {{2, 2}}, n % 2 ? ObsTypeBitMap::MILK : 0u, false);
      grid->updateMap();
      ++n;
    } while (running.load());
    return n;
  });
  start.arriveAndWait();
  for (int k = 0; k < 30; ++k) {
    std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*grid->getCostmap()->getMutex());
    hooks::clearObstacleCells(*map_, {{2, 2}});
    EXPECT_TRUE(grid->updateMap());
  }
  running = false;
  EXPECT_GE(background.get(), 1);
}

}  // namespace
