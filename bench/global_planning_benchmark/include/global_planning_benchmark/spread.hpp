#ifndef GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_
#define GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_

#include "planning_sim/spread.hpp"

namespace global_planning_benchmark {

// The benchmarks and the demo summarise their timings alike.
using planning_sim::Spread;
using planning_sim::spreadOf;

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__SPREAD_HPP_
