#include "tf2/time.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tf2 {

Duration durationFromSec(double t_sec) {
  const double nanoseconds = std::round(t_sec * 1e9);
  // Beyond this range the conversion to an integer count would be undefined.
  constexpr double limit = static_cast<double>(std::numeric_limits<int64_t>::max());
  if (!std::isfinite(nanoseconds) || nanoseconds >= limit || nanoseconds <= -limit) {
    throw std::invalid_argument("tf2::durationFromSec: " + std::to_string(t_sec) +
                                " s is not a representable duration");
  }
  return Duration(static_cast<int64_t>(nanoseconds));
}

TimePoint timeFromSec(double t_sec) { return TimePoint(durationFromSec(t_sec)); }

double durationToSec(const Duration& input) { return static_cast<double>(input.count()) / 1e9; }

double timeToSec(const TimePoint& timepoint) { return durationToSec(timepoint.time_since_epoch()); }

std::string displayTimePoint(const TimePoint& stamp) {
  const int64_t count = stamp.time_since_epoch().count();
  const uint64_t magnitude =
      count < 0 ? static_cast<uint64_t>(-(count + 1)) + 1 : static_cast<uint64_t>(count);
  char text[48];
  std::snprintf(text, sizeof(text), "%s%" PRIu64 ".%09" PRIu64, count < 0 ? "-" : "",
                magnitude / 1000000000u, magnitude % 1000000000u);
  return text;
}

}  // namespace tf2
