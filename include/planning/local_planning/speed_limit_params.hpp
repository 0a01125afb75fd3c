#ifndef PLANNING__LOCAL_PLANNING__SPEED_LIMIT_PARAMS_HPP_
#define PLANNING__LOCAL_PLANNING__SPEED_LIMIT_PARAMS_HPP_

#include <cstdint>

namespace planning {

/**
 * The thresholds of the path judge, handed by value to every predicate. Speeds share the unit
 * of a goal's maximum speed (1.0 is full speed); angles are degrees; distances metres. The
 * defaults are those of the local node's parameters.
 */
struct SpeedLimitParams {
  double distance_from_path_to_obstacle{0.5};
  double distance_from_path_to_milk{0.3};
  double max_angle_tolerance{60.0};
  double milk_need_dis{2.5};
  /// Live caps of the grid-search and the cleaning planners; a goal's own speed replaces them.
  double point_nav_max_speed{1.0};
  double non_welt_clean_max_speed{0.8};
  double welt_clean_max_speed{0.5};
  double milk_clean_max_speed{0.32};
  double near_obstacle_max_speed{0.4};
  double big_curve_max_speed{0.4};
  double curve_theta_tolerance_current_to_start{25.0};
  double path_near_obstacle_cut_dis{0.2};
  double big_turn_nead_curve{135.0};
  /// Milliseconds after which a people or moving-obstacle report no longer counts.
  int32_t people_source_timeout{1500};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__SPEED_LIMIT_PARAMS_HPP_
