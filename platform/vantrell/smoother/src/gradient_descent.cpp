#include "gradient_descent.hpp"

#include <algorithm>
#include <cmath>

namespace vantrell_nav2_smoother {
namespace {

// Below this share of the first step size no move can lower the energy any
// more than rounding does.
constexpr double kSmallestStepShare = 1e-6;
// Each step that lowers the energy lets the step grow back by this factor
// towards its first size: a step cut where the poses cross a crease would
// otherwise crawl over the smooth stretches of the path ever after.
constexpr double kStepRegrowth = 1.05;
// A step cut to this share of the first has met a crease of the energy (the
// obstacle term bends sharply where the clearance ridge between two walls or
// a cell boundary lies): the push there never fades, so the descent has
// settled once the poses stop moving.
constexpr double kCreaseStepShare = 1e-3;
// Evaluations over which poses that moved less than `kStillDistance` have
// stopped.
constexpr int kStillWindow = 250;
constexpr double kStillDistance = 1e-4;

double largestMove(const std::vector<Vec2>& from, const std::vector<Vec2>& to) {
  double largest = 0.0;
  for (size_t i = 0; i < from.size() && i < to.size(); ++i) {
    largest = std::max(largest, (to[i] - from[i]).norm());
  }
  return largest;
}

double largestForce(const std::vector<Vec2>& gradient) {
  double largest = 0.0;
  for (const auto& g : gradient) {
    largest = std::max(largest, g.norm());
  }
  return largest;
}

// a + b * scale, into `out`.
void combine(const std::vector<Vec2>& a, const std::vector<Vec2>& b, double scale,
             std::vector<Vec2>& out) {
  out.resize(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    out[i] = a[i] + b[i] * scale;
  }
}

}  // namespace

bool descend(const SmoothingEnergy& energy, std::vector<Vec2>& points, double force_tolerance,
             int max_evaluations) {
  const double first_step = 1.0 / energy.curvatureBound();
  double step = first_step;
  std::vector<Vec2> gradient;
  double value = energy.evaluate(points, gradient);
  int evaluations = 1;
  // Accelerated descent: each step looks ahead along the last move, with a
  // weight that grows while steps keep lowering the energy, and starts over
  // from a plain step when one does not.
  int run = 0;
  std::vector<Vec2> velocity(points.size());
  std::vector<Vec2> ahead, ahead_gradient, trial, trial_gradient;
  std::vector<Vec2> window_start = points;
  int window_end = kStillWindow;
  while (evaluations < max_evaluations) {
    if (!std::isfinite(value)) {
      return false;
    }
    if (largestForce(gradient) <= force_tolerance) {
      return true;
    }
    if (evaluations >= window_end) {
      if (step < first_step * kCreaseStepShare &&
          largestMove(window_start, points) < kStillDistance) {
        return true;
      }
      window_start = points;
      window_end = evaluations + kStillWindow;
    }
    const double look_ahead = static_cast<double>(run) / (run + 3.0);
    if (run > 0) {
      combine(points, velocity, look_ahead, ahead);
      energy.evaluate(ahead, ahead_gradient);
      ++evaluations;
    } else {
      ahead = points;
      ahead_gradient = gradient;
    }
    combine(ahead, ahead_gradient, -step, trial);
    const double trial_value = energy.evaluate(trial, trial_gradient);
    ++evaluations;
    if (trial_value <= value) {
      combine(trial, points, -1.0, velocity);
      points.swap(trial);
      gradient.swap(trial_gradient);
      value = trial_value;
      ++run;
      step = std::min(first_step, step * kStepRegrowth);
    } else if (run > 0) {
      run = 0;
    } else {
      step *= 0.5;
      if (step < first_step * kSmallestStepShare) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace vantrell_nav2_smoother
