#ifndef VANTRELL_NAV2_SMOOTHER__SMOOTHING_ENERGY_HPP_
#define VANTRELL_NAV2_SMOOTHER__SMOOTHING_ENERGY_HPP_

#include <vector>

#include "clearance_field.hpp"
#include "vec2.hpp"

namespace vantrell_nav2_smoother {

struct EnergyWeights {
  double obstacle_distance{0.0};
  double obstacle{0.0};
  double curvature{0.0};
  double smoothness{0.0};
  // Spacing of the poses, which scales the curvature term to metres.
  double step{0.0};
};

// What a smoothed stretch pays for its shape: straying from the original
// poses, bending (second differences and turns), coming closer to an
// obstacle than the obstacle distance, and straying from the robot's
// predicted motion. The first and last pose are held: their gradient is 0.
class SmoothingEnergy {
 public:
  // `predicted` and `prediction_weights` give, per pose, where the robot's
  // motion would carry it and how much that counts (0: not at all).
  SmoothingEnergy(std::vector<Vec2> original, std::vector<Vec2> predicted,
                  std::vector<double> prediction_weights, const EnergyWeights& weights,
                  const ClearanceField* clearance);

  // The energy at `points`, with its gradient written into `gradient`.
  double evaluate(const std::vector<Vec2>& points, std::vector<Vec2>& gradient) const;

  // A bound on how fast the gradient changes, for the first step size.
  double curvatureBound() const;

 private:
  double poseTerms(const std::vector<Vec2>& points, std::vector<Vec2>& gradient) const;
  double bendingTerms(const std::vector<Vec2>& points, std::vector<Vec2>& gradient) const;

  std::vector<Vec2> original_;
  std::vector<Vec2> predicted_;
  std::vector<double> prediction_weights_;
  EnergyWeights weights_;
  const ClearanceField* clearance_;
};

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__SMOOTHING_ENERGY_HPP_
