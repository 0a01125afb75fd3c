#ifndef PLANNING__LOCAL_PLANNING__LOCAL_FORCE_ENTER_LIFT_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_FORCE_ENTER_LIFT_HPP_

#include <memory>

#include "planning/local_planning/nav_local_planning.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * Planner "lift_in": drives the robot forward into a lift car along the global path. The local
 * goal is the pose one short of the end of the free stretch of the path that begins at the free
 * pose nearest to the robot, so that the robot stops before whatever stands in the car; a goal
 * behind the robot is refused.
 */
class LocalForceEnterLift final : public NavLocalPlanning {
 public:
  LocalForceEnterLift(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                      std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                      std::shared_ptr<GridMapROS> third_map);

  /// False when there is no robot pose, no acceptable goal or no path from this cycle's search.
  /// Never asks for a new global plan.
  bool makePlan(Path& out, ControlState& state, bool& need_replan) override;
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  void reset() override;

  /**
   * The local goal on `path` into `goal` (a pose is free when it lies on the local map out of
   * danger). True when the goal lies within 0.2 m of the robot or ahead of it along the path's
   * overall direction; the goal is written even when it is refused for lying behind.
   */
  bool getNearestFreePose(const nav_msgs::msg::Path& path, const PoseStamped& robot,
                          PoseStamped& goal) const;
  /// Turning room kept, 0.5 m start-side and 0.1 m goal-side tolerance, tolerance 0.1, a budget
  /// of 400 and no reference path.
  vantrell_nav2_planner::astar2::AstarOptions setForceEnterLiftAstarOptions() const;

 private:
  bool isFree(const PoseStamped& pose) const;

  std::shared_ptr<PathSmoother> path_smoother_;
  std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> constrained_smoother_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_engine_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_FORCE_ENTER_LIFT_HPP_
