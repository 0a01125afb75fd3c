#ifndef PLANNING__LOCAL_PLANNING__LOCAL_FORCE_BACKWARD_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_FORCE_BACKWARD_HPP_

#include <memory>

#include "planning/local_planning/nav_local_planning.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * Planner "force_backward": a short local path towards a free local goal on the current piece,
 * to be driven backward. The path keeps the headings the search gave it; only its flag says
 * backward.
 */
class LocalForceBackward final : public NavLocalPlanning {
 public:
  LocalForceBackward(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                     std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                     std::shared_ptr<GridMapROS> third_map);

  /// False when there is no robot pose, no free local goal or no path from this cycle's search
  /// (`need_replan` set when the search was blocked).
  bool makePlan(Path& out, ControlState& state, bool& need_replan) override;
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  void reset() override;

  /// Turning room kept, 0.5 m start-side tolerance, the goal cell itself, a budget of 400 and
  /// no reference path. The piece is not read.
  vantrell_nav2_planner::astar2::AstarOptions setForceBackwardAstarOptions(const Path& piece) const;

 private:
  std::shared_ptr<PathSmoother> path_smoother_;
  std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> constrained_smoother_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_FORCE_BACKWARD_HPP_
