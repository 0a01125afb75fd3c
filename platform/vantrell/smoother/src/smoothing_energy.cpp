#include "smoothing_energy.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vantrell_nav2_smoother {
namespace {

// Staying on the original path weighs 1; the other weights are relative to it.
constexpr double kDataWeight = 1.0;
// Segments shorter than this have no direction to turn from.
constexpr double kShortestSegment = 1e-9;

}  // namespace

SmoothingEnergy::SmoothingEnergy(std::vector<Vec2> original, std::vector<Vec2> predicted,
                                 std::vector<double> prediction_weights,
                                 const EnergyWeights& weights, const ClearanceField* clearance)
    : original_(std::move(original)),
      predicted_(std::move(predicted)),
      prediction_weights_(std::move(prediction_weights)),
      weights_(weights),
      clearance_(clearance) {}

double SmoothingEnergy::evaluate(const std::vector<Vec2>& points,
                                 std::vector<Vec2>& gradient) const {
  gradient.assign(points.size(), Vec2{});
  if (points.size() < 3) {
    return 0.0;
  }
  const double energy = poseTerms(points, gradient) + bendingTerms(points, gradient);
  gradient.front() = Vec2{};
  gradient.back() = Vec2{};
  return energy;
}

double SmoothingEnergy::poseTerms(const std::vector<Vec2>& points,
                                  std::vector<Vec2>& gradient) const {
  double energy = 0.0;
  const bool use_obstacles =
      clearance_ != nullptr && weights_.obstacle > 0.0 && weights_.obstacle_distance > 0.0;
  for (size_t i = 1; i + 1 < points.size(); ++i) {
    const Vec2 off = points[i] - original_[i];
    energy += kDataWeight * off.squaredNorm();
    gradient[i] += off * (2.0 * kDataWeight);

    const double lambda = prediction_weights_[i];
    if (lambda > 0.0) {
      const Vec2 drift = points[i] - predicted_[i];
      energy += lambda * drift.squaredNorm();
      gradient[i] += drift * (2.0 * lambda);
    }

    double distance = 0.0;
    Vec2 slope;
    if (use_obstacles && clearance_->sample(points[i], distance, slope) &&
        distance < weights_.obstacle_distance) {
      const double shortfall = weights_.obstacle_distance - distance;
      energy += weights_.obstacle * shortfall * shortfall;
      gradient[i] += slope * (-2.0 * weights_.obstacle * shortfall);
    }
  }
  return energy;
}

double SmoothingEnergy::bendingTerms(const std::vector<Vec2>& points,
                                     std::vector<Vec2>& gradient) const {
  double energy = 0.0;
  const double turn_scale = weights_.curvature * weights_.step * weights_.step;
  for (size_t i = 1; i + 1 < points.size(); ++i) {
    if (weights_.smoothness > 0.0) {
      const Vec2 second = points[i - 1] - points[i] * 2.0 + points[i + 1];
      energy += weights_.smoothness * second.squaredNorm();
      gradient[i - 1] += second * (2.0 * weights_.smoothness);
      gradient[i] += second * (-4.0 * weights_.smoothness);
      gradient[i + 1] += second * (2.0 * weights_.smoothness);
    }
    if (turn_scale <= 0.0) {
      continue;
    }
    const Vec2 a = points[i] - points[i - 1];
    const Vec2 b = points[i + 1] - points[i];
    const double a2 = a.squaredNorm();
    const double b2 = b.squaredNorm();
    if (a2 < kShortestSegment * kShortestSegment || b2 < kShortestSegment * kShortestSegment) {
      continue;
    }
    const double turn = std::atan2(a.cross(b), a.dot(b));
    energy += turn_scale * turn * turn;
    const double factor = 2.0 * turn_scale * turn;
    const Vec2 d_prev = a.perpendicular() * (1.0 / a2);
    const Vec2 d_next = b.perpendicular() * (1.0 / b2);
    gradient[i - 1] += d_prev * factor;
    gradient[i] += (d_prev + d_next) * (-factor);
    gradient[i + 1] += d_next * factor;
  }
  return energy;
}

double SmoothingEnergy::curvatureBound() const {
  const double prediction =
      prediction_weights_.empty()
          ? 0.0
          : *std::max_element(prediction_weights_.begin(), prediction_weights_.end());
  // The second difference operator has eigenvalues up to 16; a turn moves by
  // about 1/step per metre at each of three poses.
  return 2.0 * kDataWeight + 32.0 * weights_.smoothness + 16.0 * weights_.curvature +
         2.0 * weights_.obstacle + 2.0 * prediction;
}

}  // namespace vantrell_nav2_smoother
