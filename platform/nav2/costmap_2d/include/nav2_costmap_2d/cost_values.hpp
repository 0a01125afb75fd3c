#ifndef NAV2_COSTMAP_2D__COST_VALUES_HPP_
#define NAV2_COSTMAP_2D__COST_VALUES_HPP_

namespace nav2_costmap_2d {

// The byte values a costmap cell can take. Everything from 1 to 252 is a
// decaying inflation cost; 253 and up mean the robot's centre cannot be there.
static constexpr unsigned char NO_INFORMATION = 255;
static constexpr unsigned char LETHAL_OBSTACLE = 254;
static constexpr unsigned char INSCRIBED_INFLATED_OBSTACLE = 253;
static constexpr unsigned char MAX_NON_OBSTACLE = 252;
static constexpr unsigned char FREE_SPACE = 0;

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COST_VALUES_HPP_
