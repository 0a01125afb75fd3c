// What one grid map keeps per cell, weighed by counting what operator new hands out. This
// program replaces the global allocation functions, so it runs on its own.

#include "vantrell_nav2_gridmap/grid_map_memory.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"
#include "vantrell_nav2_gridmap/testing/available_memory_override.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

std::atomic<size_t> g_allocated{0};
std::atomic<size_t> g_peak{0};

// Each block carries its size ahead of the caller's bytes, so that every form of delete can
// give it back to the count.
struct alignas(std::max_align_t) BlockHeader {
  size_t size;
};

void* countedAllocate(size_t size) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) {
    return nullptr;
  }
  header->size = size;
  const size_t now = g_allocated.fetch_add(size) + size;
  size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  return header + 1;
}

void countedFree(void* pointer) {
  if (pointer == nullptr) {
    return;
  }
  auto* header = static_cast<BlockHeader*>(pointer) - 1;
  g_allocated.fetch_sub(header->size);
  std::free(header);
}

void* throwingAllocate(size_t size) {
  void* pointer = countedAllocate(size);
  if (pointer == nullptr) {
    throw std::bad_alloc();
  }
  return pointer;
}

}  // namespace

void* operator new(size_t size) { return throwingAllocate(size); }
void* operator new[](size_t size) { return throwingAllocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void operator delete(void* pointer) noexcept { countedFree(pointer); }
void operator delete[](void* pointer) noexcept { countedFree(pointer); }
void operator delete(void* pointer, size_t) noexcept { countedFree(pointer); }
void operator delete[](void* pointer, size_t) noexcept { countedFree(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { countedFree(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { countedFree(pointer); }

namespace {

using vantrell_nav2_gridmap::GridMapMemory;
using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_gridmap::ObsTypeBitMap;
namespace hooks = vantrell_nav2_gridmap::testing;

// Bytes per cell held from `base` on: now, and at the highest point since the peak was reset.
struct Weight {
  double kept;
  double peak;
};

Weight weigh(size_t base, size_t cells) {
  return {static_cast<double>(g_allocated.load() - base) / cells,
          static_cast<double>(g_peak.load() - base) / cells};
}

void resetPeak() { g_peak.store(g_allocated.load()); }

// The office floor as a map; walls, unknown space outside the building and free rooms: every
// layer has work to do. `base` is what the process holds once a first grid map has brought up
// what every costmap's tf listener shares (the process's topic and node registries), which stays
// for the life of the process.
struct WeighedFloor {
  test_support::DrawnMap office;
  nav_msgs::msg::OccupancyGrid grid;
  size_t cells{0};
  size_t base{0};
};

WeighedFloor weighedOfficeFloor() {
  WeighedFloor floor;
  floor.office = test_support::drawOfficeFloor();
  floor.grid = hooks::occupancyGridFromDrawing(floor.office.image, floor.office.resolution);
  floor.cells = floor.grid.data.size();
  std::make_shared<GridMapROS>("first", floor.grid).reset();
  floor.base = g_allocated.load();
  resetPeak();
  return floor;
}

TEST(GridMapMemory, OneGridMapKeepsFewerThanSixteenBytesPerCell) {
  const auto floor = weighedOfficeFloor();
  const auto& office = floor.office;
  const auto& grid = floor.grid;
  const size_t cells = floor.cells;
  const size_t base = floor.base;
  auto map = std::make_shared<GridMapROS>("global", grid);
  const Weight built = weigh(base, cells);

  // Obstacles of several types, blocking and not, arrive while the map is in use.
  const cv::Point corridor = office.place("corridor_west");
  hooks::Cells marked;
  for (int dx = 0; dx < 40; ++dx) {
    marked.push_back(
        {static_cast<unsigned int>(corridor.x + dx), static_cast<unsigned int>(corridor.y)});
  }
  hooks::markObstacleCells(*map, marked, ObsTypeBitMap::WHEELCHAIR);
  hooks::markObstacleCells(*map, marked, ObsTypeBitMap::MILK | ObsTypeBitMap::CARPET, false);
  resetPeak();
  map->getMultiGridMap()->updateMap();
  const Weight updated = weigh(base, cells);

  std::printf(
      "bytes per cell of one grid map: %.2f kept, %.2f while building, %.2f while "
      "updating\n",
      updated.kept, built.peak, updated.peak);
  RecordProperty("bytes_per_cell_kept", std::to_string(updated.kept));
  RecordProperty("bytes_per_cell_building", std::to_string(built.peak));
  RecordProperty("bytes_per_cell_updating", std::to_string(updated.peak));
  EXPECT_LT(updated.kept, 16.0);
  EXPECT_LT(updated.kept, GridMapMemory::kKeptBytesPerCell + 0.1);
  // Admission counts on the most a grid map ever holds.
  const double admitted =
      static_cast<double>(GridMapMemory::bytesNeeded(grid.info.width, grid.info.height)) / cells;
  EXPECT_LE(built.peak, admitted);
  EXPECT_LE(updated.peak, admitted);
  map.reset();
  EXPECT_LT(weigh(base, cells).kept, 0.01);
}

// A host builds the global node's two maps and the local node's three from one floor: they share
// the static costs and every layer computed from equal inputs, and a map whose inputs change
// (an obstacle, a footprint) gets layers of its own, copied on that write only.
TEST(GridMapMemory, MapsOfOneFloorShareWhatTheyHaveInCommon) {
  const auto floor = weighedOfficeFloor();
  const auto& office = floor.office;
  const size_t cells = floor.cells;
  const size_t base = floor.base;
  std::vector<std::shared_ptr<GridMapROS>> maps;
  for (const char* name : {"global", "local", "global_costmap", "local_costmap", "zone_costmap"}) {
    maps.push_back(std::make_shared<GridMapROS>(name, floor.grid));
  }
  auto layers = [&maps](size_t i) { return maps[i]->getMultiGridMap()->getLayers(); };
  const Weight five = weigh(base, cells);
  std::printf("bytes per cell of five grid maps of one floor: %.2f kept, %.2f at the peak\n",
              five.kept, five.peak);
  // One map's layers plus a master costmap of its own for each.
  EXPECT_LT(five.kept, GridMapMemory::kKeptBytesPerCell + 4.5);
  for (size_t i = 1; i < maps.size(); ++i) {
    EXPECT_EQ(layers(i).get(), layers(0).get());
  }

  const cv::Point corridor = office.place("corridor_west");
  const hooks::Cells marked{
      {static_cast<unsigned int>(corridor.x), static_cast<unsigned int>(corridor.y)}};
  hooks::markObstacleCells(*maps[1], marked, ObsTypeBitMap::WHEELCHAIR);
  std::vector<geometry_msgs::msg::Point> big(4);
  for (size_t k = 0; k < big.size(); ++k) {
    big[k].x = k < 2 ? 0.5 : -0.5;
    big[k].y = k == 0 || k == 3 ? 0.5 : -0.5;
  }
  hooks::setFootprint(*maps[4], big);
  for (const auto& map : maps) {
    map->getMultiGridMap()->updateMap();
  }
  EXPECT_NE(layers(1).get(), layers(0).get());
  EXPECT_NE(layers(4).get(), layers(0).get());
  EXPECT_NE(layers(4).get(), layers(1).get());
  EXPECT_EQ(layers(2).get(), layers(0).get());
  EXPECT_EQ(layers(1)->cost[layers(1)->index(corridor.x, corridor.y)],
            nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_NE(layers(0)->cost[layers(0)->index(corridor.x, corridor.y)],
            nav2_costmap_2d::LETHAL_OBSTACLE);
  auto unreachable = [](const auto& snapshot) {
    return std::count_if(snapshot->cost.begin(), snapshot->cost.end(), [](uint8_t cost) {
      return cost >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
    });
  };
  EXPECT_GT(unreachable(layers(4)), unreachable(layers(0)));

  // Cleared again, the map shares once more.
  hooks::clearObstacles(*maps[1]);
  maps[1]->getMultiGridMap()->updateMap();
  EXPECT_EQ(layers(1).get(), layers(0).get());
  maps.clear();
  EXPECT_LT(weigh(base, cells).kept, 0.01);
}

TEST(GridMapMemory, MapsThatDoNotFitAreRefusedBeforeAnyCellIsAllocated) {
  const auto grid =
      hooks::occupancyGridFromDrawing(test_support::drawEmptyRoom(300, 200).image, 0.05);
  const size_t cells = grid.data.size();
  const uint64_t needed = GridMapMemory::bytesNeeded(300, 200);
  {
    hooks::AvailableMemoryOverride room(needed - 1);
    const size_t base = g_allocated.load();
    resetPeak();
    try {
      GridMapROS("global", grid);
      ADD_FAILURE() << "a map without room was built";
    } catch (const std::invalid_argument& error) {
      EXPECT_THAT(error.what(), ::testing::StartsWith("occupancy grid of 300 x 200 cells needs "));
      EXPECT_THAT(error.what(), ::testing::EndsWith(" MiB available"));
    }
    EXPECT_LT(weigh(base, cells).peak, 0.1);
  }
  std::shared_ptr<GridMapROS> map;
  {
    hooks::AvailableMemoryOverride room(needed);
    EXPECT_NO_THROW(map = std::make_shared<GridMapROS>("global", grid));
  }
  // A map handed in later meets the same rule, and the running one stays.
  hooks::AvailableMemoryOverride room(needed - 1);
  EXPECT_THROW(hooks::replaceStaticMap(*map, grid), std::invalid_argument);
  EXPECT_EQ(map->getMultiGridMap()->getCostmap()->getSizeInCellsX(), 300u);
}

TEST(GridMapMemory, TheLargestMapTheLoaderAdmitsNeedsRoomForItsLayers) {
  {
    hooks::AvailableMemoryOverride room(uint64_t{4} << 30);
    try {
      GridMapMemory::admit(16384, 16384);
      ADD_FAILURE() << "5.5 GiB of layers admitted into 4 GiB";
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(error.what(),
                   "occupancy grid of 16384 x 16384 cells needs 5634 MiB of memory for its grid "
                   "map, more than the 4096 MiB available");
    }
  }
  hooks::AvailableMemoryOverride room(uint64_t{8} << 30);
  EXPECT_NO_THROW(GridMapMemory::admit(16384, 16384));
}

}  // namespace
