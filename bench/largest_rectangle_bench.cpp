// Largest free rectangle of a water-uptake zone on large masks: the grid
// search alone, and the whole turn-search-turn-back round.
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "planning/custom_planning/largest_rectangle.hpp"

namespace {

using planning::custom_planning::LargestRectangle;

struct Zone {
  cv::Mat_<unsigned char> mask;
  std::vector<cv::Point> outline;
};

// A tilted, non-convex zone filling most of a side x side mask, dotted with
// small obstacles, as a cleaned hall looks on the costmap.
Zone makeZone(int side) {
  Zone zone;
  zone.mask = cv::Mat_<unsigned char>::zeros(side, side);
  const double s = side;
  zone.outline = {{static_cast<int>(0.10 * s), static_cast<int>(0.30 * s)},
                  {static_cast<int>(0.60 * s), static_cast<int>(0.05 * s)},
                  {static_cast<int>(0.95 * s), static_cast<int>(0.55 * s)},
                  {static_cast<int>(0.55 * s), static_cast<int>(0.60 * s)},
                  {static_cast<int>(0.45 * s), static_cast<int>(0.95 * s)},
                  {static_cast<int>(0.15 * s), static_cast<int>(0.80 * s)}};
  cv::fillPoly(zone.mask, std::vector<std::vector<cv::Point>>{zone.outline}, cv::Scalar(255));
  std::mt19937 random(7);
  std::uniform_int_distribution<int> where(0, side - 1);
  for (int k = 0; k < side / 20; ++k) {
    cv::circle(zone.mask, {where(random), where(random)}, side / 100 + 1, cv::Scalar(0), -1);
  }
  return zone;
}

void BM_GetMaxRect(benchmark::State& state) {
  const Zone zone = makeZone(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    cv::Rect result(0, 0, 0, 0);
    LargestRectangle::getMaxRect(result, zone.mask, LargestRectangle::kCellSize);
    benchmark::DoNotOptimize(result);
  }
  state.SetComplexityN(state.range(0) * state.range(0));
}
BENCHMARK(BM_GetMaxRect)
    ->RangeMultiplier(2)
    ->Range(256, 2048)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_LargestRectInNonConvexPoly(benchmark::State& state) {
  const Zone zone = makeZone(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const cv::RotatedRect r = LargestRectangle::largestRectInNonConvexPoly(zone.outline, zone.mask);
    benchmark::DoNotOptimize(r);
  }
  state.SetComplexityN(state.range(0) * state.range(0));
}
BENCHMARK(BM_LargestRectInNonConvexPoly)
    ->RangeMultiplier(2)
    ->Range(256, 2048)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
