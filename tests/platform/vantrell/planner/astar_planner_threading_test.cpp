// Several threads searching on one engine at once, while the map refreshes underneath, must get
// exactly the answers of a lone thread.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "text_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace {

using planner_test::mapFromText;
using planner_test::poseAt;
using vantrell_nav2_planner::astar2::AstarOptions;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;

using Trace = std::vector<std::pair<double, double>>;

// 6 x 6 rooms of 20 cells with doors, 0.05 m cells.
std::vector<std::string> rooms() {
  constexpr int kSize = 121;
  std::vector<std::string> rows(kSize, std::string(kSize, '.'));
  for (int i = 0; i < kSize; ++i) {
    for (int wall = 0; wall < kSize; wall += 20) {
      const bool door = (i % 20) >= 8 && (i % 20) <= 12 && i != 0 && i != kSize - 1;
      const bool border = wall == 0 || wall == kSize - 1;
      if (!door || border) {
        rows[i][wall] = '#';
        rows[wall][i] = '#';
      }
    }
  }
  return rows;
}

struct Query {
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
};

std::vector<Query> queries() {
  std::vector<Query> all;
  for (int i = 0; i < 12; ++i) {
    const double a = 0.5 + 0.45 * i;
    const double b = 5.5 - 0.4 * i;
    all.push_back({poseAt(a, 0.5 + 0.2 * i), poseAt(b, 5.6 - 0.3 * i)});
  }
  return all;
}

Trace searchTrace(AstarPlanner& engine, const Query& query, bool& found) {
  AstarOptions options{};
  options.byte_0 = true;
  options.fuzzy_range = 0.3;
  options.goal_fuzzy_range = 0.3;
  options.int_60 = 400;
  vantrell_nav2_protocol::msg::MultiPaths paths;
  found = engine.searchPaths(query.start, query.goal, options, paths);
  Trace trace;
  if (found) {
    for (const auto& pose : paths.paths.at(0).nav_path.poses) {
      trace.emplace_back(pose.pose.position.x, pose.pose.position.y);
    }
  }
  return trace;
}

TEST(AstarPlannerThreading, ConcurrentSearchesMatchALoneThread) {
  auto map = mapFromText(rooms(), 0.05, 0.1);
  auto engine = std::make_shared<AstarPlanner>("shared_engine", map);
  const auto all = queries();

  std::vector<Trace> expected;
  std::vector<bool> expected_found;
  for (const auto& query : all) {
    bool found = false;
    expected.push_back(searchTrace(*engine, query, found));
    expected_found.push_back(found);
  }
  int found_count = 0;
  for (const bool found : expected_found) {
    found_count += found ? 1 : 0;
  }
  ASSERT_GE(found_count, 8);

  constexpr int kThreads = 4;
  constexpr int kRounds = 3;
  std::promise<void> go;
  std::shared_future<void> started = go.get_future().share();
  std::atomic<int> searching{kThreads};
  std::vector<std::future<int>> mismatches;
  for (int t = 0; t < kThreads; ++t) {
    mismatches.push_back(std::async(std::launch::async, [&, t]() {
      started.wait();
      int wrong = 0;
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < all.size(); ++k) {
          const std::size_t i = (k + static_cast<std::size_t>(t) * 3) % all.size();
          bool found = false;
          const Trace trace = searchTrace(*engine, all[i], found);
          wrong += (found != expected_found[i] || trace != expected[i]) ? 1 : 0;
        }
      }
      searching.fetch_sub(1);
      return wrong;
    }));
  }
  // The map refreshes and the record is read while the searches run. The edits mark and clear
  // a cell inside a wall, so every refresh swaps in a new snapshot with the same cells.
  auto refresher = std::async(std::launch::async, [&]() {
    started.wait();
    std::size_t refreshes = 0;
    while (searching.load() > 0) {
      if (refreshes % 2 == 0) {
        vantrell_nav2_gridmap::testing::markObstacleCells(*map, {{40, 3}});
      } else {
        vantrell_nav2_gridmap::testing::clearObstacleCells(*map, {{40, 3}});
      }
      map->getMultiGridMap()->updateMap();
      AstarPlannerProbe::lastCall(*engine);
      ++refreshes;
    }
    return refreshes;
  });
  go.set_value();
  for (auto& result : mismatches) {
    EXPECT_EQ(result.get(), 0);
  }
  EXPECT_GT(refresher.get(), 0U);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine).calls,
            all.size() * (1U + static_cast<std::size_t>(kThreads) * kRounds));
}

TEST(AstarPlannerThreading, EnginesOnMapsOfDifferentSizesShareNoMemory) {
  // One thread alternates between a large and a small map while another does the reverse: the
  // per-thread memory must serve both sizes without mixing their cells.
  auto large_map = mapFromText(rooms(), 0.05, 0.1);
  auto small_map = mapFromText(
      {
          "##########",
          "#........#",
          "#..##....#",
          "#..##....#",
          "#........#",
          "##########",
      },
      0.05, 0.01);
  AstarPlanner large("large", large_map);
  AstarPlanner small("small", small_map);
  const Query large_query{poseAt(0.3, 0.3), poseAt(5.7, 5.7)};
  const Query small_query{poseAt(0.08, 0.08), poseAt(0.42, 0.22)};
  bool found = false;
  const Trace large_expected = searchTrace(large, large_query, found);
  ASSERT_TRUE(found);
  const Trace small_expected = searchTrace(small, small_query, found);
  ASSERT_TRUE(found);

  auto run = [&](bool large_first) {
    int wrong = 0;
    for (int i = 0; i < 10; ++i) {
      const bool use_large = (i % 2 == 0) == large_first;
      bool ok = false;
      const Trace trace =
          use_large ? searchTrace(large, large_query, ok) : searchTrace(small, small_query, ok);
      wrong += (!ok || trace != (use_large ? large_expected : small_expected)) ? 1 : 0;
    }
    return wrong;
  };
  auto first = std::async(std::launch::async, run, true);
  auto second = std::async(std::launch::async, run, false);
  EXPECT_EQ(first.get(), 0);
  EXPECT_EQ(second.get(), 0);
}

}  // namespace
