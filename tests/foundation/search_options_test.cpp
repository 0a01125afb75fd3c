#include "planning/search_options.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> bytesOf(const planning::AstarOptions& options) {
  std::vector<uint8_t> bytes(sizeof(options));
  std::memcpy(bytes.data(), &options, sizeof(options));
  return bytes;
}

template <typename T>
void put(std::vector<uint8_t>& bytes, size_t offset, T value) {
  std::memcpy(&bytes[offset], &value, sizeof(value));
}

// The record the engine reads: the six fields at their offsets, every other byte zero.
std::vector<uint8_t> expected(bool cost_aware, bool turning, double start, double goal, double path,
                              int32_t budget) {
  std::vector<uint8_t> bytes(88, 0);
  bytes[0] = cost_aware ? 1 : 0;
  bytes[2] = turning ? 1 : 0;
  put(bytes, 8, start);
  put(bytes, 16, goal);
  put(bytes, 48, path);
  put(bytes, 60, budget);
  return bytes;
}

TEST(SearchOptions, EveryRecordIsZeroButTheFieldsItNames) {
  planning::SearchFields fields;
  fields.cost_aware = true;
  fields.start_tolerance = 0.5;
  fields.goal_tolerance = 0.1;
  fields.path_tolerance = 0.25;
  fields.budget = 400;
  EXPECT_EQ(bytesOf(planning::searchOptions(fields)), expected(true, false, 0.5, 0.1, 0.25, 400));
  EXPECT_EQ(bytesOf(planning::searchOptions({})), std::vector<uint8_t>(88, 0));

  EXPECT_EQ(bytesOf(planning::globalSearchOptions(1.0, 0.0)),
            expected(true, true, 1.0, 0.0, 0.3, 400));
  EXPECT_EQ(bytesOf(planning::liftSearchOptions(0.0)), expected(false, true, 0.0, 0.0, 0.2, 0));
  EXPECT_EQ(bytesOf(planning::liftSearchOptions(0.2)), expected(false, true, 0.0, 0.2, 0.2, 0));
}

}  // namespace
