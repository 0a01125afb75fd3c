#ifndef TF2__TIME_H_
#define TF2__TIME_H_

#include <chrono>
#include <string>

namespace tf2 {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::system_clock, Duration>;

// Asks a lookup for the latest transform available.
constexpr TimePoint TimePointZero{Duration::zero()};

// Seconds as double to Duration and TimePoint, rounded to the nanosecond.
Duration durationFromSec(double t_sec);
TimePoint timeFromSec(double t_sec);

double durationToSec(const Duration& input);
double timeToSec(const TimePoint& timepoint);

// Seconds with nanosecond digits, for error messages.
std::string displayTimePoint(const TimePoint& stamp);

}  // namespace tf2

#endif  // TF2__TIME_H_
