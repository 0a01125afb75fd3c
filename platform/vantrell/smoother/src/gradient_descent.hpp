#ifndef VANTRELL_NAV2_SMOOTHER__GRADIENT_DESCENT_HPP_
#define VANTRELL_NAV2_SMOOTHER__GRADIENT_DESCENT_HPP_

#include <vector>

#include "smoothing_energy.hpp"
#include "vec2.hpp"

namespace vantrell_nav2_smoother {

// Moves `points` downhill on `energy` (accelerated gradient descent; a step
// that would raise the energy drops the acceleration, then halves the step,
// and every step that lowers it lets the step grow back a little)
// until no pose is pushed by more than `force_tolerance`, until no step,
// however short, lowers the energy, or, once the step has been cut far down
// (a minimum where the obstacle field has a crease), until the poses stop
// moving. Returns false, with `points` at the lowest state found, when
// neither happens within `max_evaluations` evaluations of the energy.
bool descend(const SmoothingEnergy& energy, std::vector<Vec2>& points, double force_tolerance,
             int max_evaluations);

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__GRADIENT_DESCENT_HPP_
