#ifndef GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_
#define GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_

#include <cstddef>
#include <limits>
#include <vector>

namespace global_planning_benchmark {

/// Mean, median and 95th percentile of a set of measurements; NaN for an empty set.
struct Spread {
  size_t count{0};
  double mean{std::numeric_limits<double>::quiet_NaN()};
  /// Middle value; the mean of the two middle values for an even count.
  double median{std::numeric_limits<double>::quiet_NaN()};
  /// Nearest rank: the smallest value that at least 95 % of the values do not exceed.
  double p95{std::numeric_limits<double>::quiet_NaN()};
};

Spread spreadOf(std::vector<double> values);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_
