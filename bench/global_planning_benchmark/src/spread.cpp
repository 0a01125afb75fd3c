#include "global_planning_benchmark/spread.hpp"

#include <algorithm>
#include <numeric>

namespace global_planning_benchmark {

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
  // Rank ceil(0.95 n), counted from 1, in whole numbers so that 0.95 * 20 is exactly 19.
  const size_t rank = (95 * n + 99) / 100;
  spread.p95 = values[rank - 1];
  return spread;
}

}  // namespace global_planning_benchmark
