#ifndef PLANNING__GLOBAL_PLANNING__LIFT_OUT_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__LIFT_OUT_PLANNING_HPP_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/nav_global_planning.hpp"
#include "vantrell_communicator/communicator_engine.hpp"

namespace planning {

/**
 * Planner "lift_out": the way out of a lift car, driven backwards, and the free place in the
 * waiting area in front of the lift that the robot can reach.
 *
 * Its search floods a disc around the midpoint of start and goal instead of a hall polygon.
 * The disc's radius is the largest start-to-goal distance this planner has seen, so it only
 * grows. The search runs on the "is_fuzzy_global_free" worker only, one goal at a time.
 */
class LiftOutPlanning final : public NavGlobalPlanning {
 public:
  LiftOutPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                  std::shared_ptr<GridMapROS> global_map);

  /// One grid search from the robot to goals[0]; the first path is marked for backward driving.
  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;

  /**
   * Floods the disc from `start` towards `goal` and looks for a cell of `target_area` with room
   * to turn on the spot within one resolution of the goal, or else the nearest such cell under
   * 20 m from it. `search_area` is not used.
   */
  bool connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& start,
                            const geometry_msgs::msg::PoseStamped& goal,
                            geometry_msgs::msg::PoseStamped& result,
                            const geometry_msgs::msg::Polygon& search_area,
                            const geometry_msgs::msg::Polygon& target_area) override;

  /// Radius of the search disc, in metres.
  double maxSearchRadius() const { return max_search_radius_; }

 private:
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  double max_search_radius_{0.0};
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__LIFT_OUT_PLANNING_HPP_
