#include "planning_sim/spread.hpp"

#include <algorithm>
#include <numeric>

namespace planning_sim {

namespace {

// Rank ceil(percent / 100 * n), counted from 1, in whole numbers so that 0.95 * 20 is exactly 19.
double nearestRank(const std::vector<double>& sorted, size_t percent) {
  const size_t rank = (percent * sorted.size() + 99) / 100;
  return sorted[rank - 1];
}

}  // namespace

Spread spreadOf(std::vector<double> values) {
  Spread spread;
  spread.count = values.size();
  if (values.empty()) {
    return spread;
  }
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  spread.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(n);
  spread.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
  spread.p95 = nearestRank(values, 95);
  spread.p99 = nearestRank(values, 99);
  spread.max = values.back();
  return spread;
}

}  // namespace planning_sim
