#ifndef VANTRELL_NAV2_COMMON__GET_SPECIAL_POINTS_HPP_
#define VANTRELL_NAV2_COMMON__GET_SPECIAL_POINTS_HPP_

/**
 * A utility of the maker's library that the local planners hold from
 * construction to destruction and never call. It has no state and no
 * operations here.
 */
class get_special_points {
 public:
  get_special_points() = default;
};

#endif  // VANTRELL_NAV2_COMMON__GET_SPECIAL_POINTS_HPP_
