#ifndef PLANNING_SIM__SPREAD_HPP_
#define PLANNING_SIM__SPREAD_HPP_

#include <cstddef>
#include <limits>
#include <vector>

namespace planning_sim {

/// Mean, median, percentiles and largest of a set of measurements; NaN for an empty set.
struct Spread {
  size_t count{0};
  double mean{std::numeric_limits<double>::quiet_NaN()};
  /// Middle value; the mean of the two middle values for an even count.
  double median{std::numeric_limits<double>::quiet_NaN()};
  /// Nearest rank: the smallest value that at least 95 (99) % of the values do not exceed.
  double p95{std::numeric_limits<double>::quiet_NaN()};
  double p99{std::numeric_limits<double>::quiet_NaN()};
  double max{std::numeric_limits<double>::quiet_NaN()};
};

Spread spreadOf(std::vector<double> values);

}  // namespace planning_sim

#endif  // PLANNING_SIM__SPREAD_HPP_
