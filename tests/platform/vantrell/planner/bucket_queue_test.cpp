// The open list against an ordered multiset: smallest key first, the last pushed first among
// equal keys, whatever the spread of the keys.

#include "vantrell_nav2_planner/astar2/bucket_queue.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace {

using vantrell_nav2_planner::astar2::BucketQueue;

TEST(BucketQueue, TakesTheSmallestKeyAndTheNewestOfEqualKeysAtAnySpread) {
  std::mt19937 random(33);
  BucketQueue queue;
  // Spans below, at and far above the ring's size; keys reach beyond the ring and wrap it.
  for (const std::uint32_t span : {0U, 63U, 1000U, 70000U, 5000000U}) {
    SCOPED_TRACE(span);
    std::uniform_int_distribution<std::uint32_t> rise(0, span + span / 2 + 1);
    std::uniform_int_distribution<int> pushes(0, 3);
    queue.reset(span);
    // key -> cells in push order; the queue must hand back the last of the smallest key.
    std::map<std::uint32_t, std::vector<std::uint32_t>> expected;
    std::uint32_t last = 0;
    std::uint32_t cell = 0;
    for (int round = 0; round < 3000; ++round) {
      for (int n = pushes(random); n > 0; --n) {
        const std::uint32_t key = last + rise(random) % 4U * (rise(random) / 4U + 1U) / 2U;
        queue.push(key, cell);
        expected[key].push_back(cell++);
      }
      if (expected.empty()) {
        continue;
      }
      ASSERT_FALSE(queue.empty());
      auto smallest = expected.begin();
      const std::uint32_t popped = queue.pop();
      ASSERT_EQ(popped, smallest->second.back()) << "round " << round;
      EXPECT_EQ(queue.lastKey(), smallest->first);
      last = smallest->first;
      smallest->second.pop_back();
      if (smallest->second.empty()) {
        expected.erase(smallest);
      }
    }
    while (!expected.empty()) {
      ASSERT_EQ(queue.pop(), expected.begin()->second.back());
      expected.begin()->second.pop_back();
      if (expected.begin()->second.empty()) {
        expected.erase(expected.begin());
      }
    }
    EXPECT_TRUE(queue.empty());
    // Left full on purpose: the next reset must forget what is queued.
    queue.push(last + 5U, 1U);
    queue.push(last + 9U, 2U);
  }
  queue.reset(10U);
  queue.push(7U, 3U);
  EXPECT_EQ(queue.pop(), 3U);
  EXPECT_TRUE(queue.empty());
}

}  // namespace
