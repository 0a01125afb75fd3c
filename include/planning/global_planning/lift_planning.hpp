#ifndef PLANNING__GLOBAL_PLANNING__LIFT_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__LIFT_PLANNING_HPP_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/nav_global_planning.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_common/base_robot.hpp"

namespace planning {

/**
 * The flood behind both lift planners' connectiveAreaSearch.
 *
 * From the start cell it spreads through edge-connected cells that are not in danger (level 0)
 * and that the rules let in, cheapest-first (cost so far plus Manhattan distance to the goal).
 * It settles at once on a cell within one resolution of the goal that lies in the target area;
 * once the flood is exhausted it falls back on the flooded target-area cell nearest to the
 * goal, if that lies closer than the rules' fallback distance. Every cell taken from the queue
 * becomes a point of the marker published on the communicator's connective-area outlet.
 */
struct ConnectiveAreaRules {
  /// Whether a neighbour centred on (wx, wy) may join the flood.
  std::function<bool(double wx, double wy)> may_flood;
  /// Refuse, as places, the cells where the robot cannot be sure to turn on the spot.
  bool need_turning_room{false};
  /// An exhausted flood still succeeds with a target-area cell nearer to the goal than this.
  double fallback_distance{10.0};
  /// Names the planner in the error line of a start off the map.
  std::string owner;
};

/**
 * Runs the flood on `grid_map` (see ConnectiveAreaRules). `result` becomes a copy of `goal`;
 * on success its position is the place found, with identity orientation. False, without a
 * marker, when the start lies off the map or the map is missing.
 */
bool floodConnectiveArea(const vantrell_nav2_gridmap::GridMapROS& grid_map,
                         vantrell_communicator::CommunicatorEngine& communicator,
                         const ConnectiveAreaRules& rules,
                         const geometry_msgs::msg::PoseStamped& start,
                         const geometry_msgs::msg::PoseStamped& goal,
                         geometry_msgs::msg::PoseStamped& result,
                         const geometry_msgs::msg::Polygon& target_area);

/**
 * Planner "lift": the way from the robot into a lift car, and the free place in the car that
 * the robot can reach through the hall in front of its door.
 *
 * makePlan runs on the "global_planning" worker and connectiveAreaSearch on the
 * "is_fuzzy_global_free" worker, possibly at once: the search keeps nothing in the planner and
 * makePlan writes only the error code.
 */
class LiftPlanning final : public NavGlobalPlanning {
 public:
  LiftPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
               std::shared_ptr<GridMapROS> global_map);

  /// One grid search from the robot to goals[0], without goal-side tolerance.
  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;

  /**
   * Floods the cells of `search_area` (the lift hall) from `start` towards `goal` (the door)
   * and looks for a cell of `target_area` (the car) within one resolution of the goal, or else
   * the nearest one under 10 m from it.
   */
  bool connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& start,
                            const geometry_msgs::msg::PoseStamped& goal,
                            geometry_msgs::msg::PoseStamped& result,
                            const geometry_msgs::msg::Polygon& search_area,
                            const geometry_msgs::msg::Polygon& target_area) override;

 private:
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__LIFT_PLANNING_HPP_
