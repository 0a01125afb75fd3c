#ifndef PLANNING__GLOBAL_PLANNING__RECOMMAND_POINTS_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__RECOMMAND_POINTS_PLANNING_HPP_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/nav_global_planning.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_common/collision_check.hpp"

namespace planning {

/**
 * Planner "recommand_points_planning": the goal poses are recommended points in order of
 * preference. The planner plans to the first one at which the robot's footprint is free and
 * shows the chosen point ("origin_goal_posture") and the end of the planned path
 * ("global_goal_posture"), whatever the node's lifecycle state.
 */
class RecommandPointsPlanning final : public NavGlobalPlanning {
 public:
  /// Collision tests run on `local_map`, or on `global_map` when no local map is given.
  RecommandPointsPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                          std::shared_ptr<GridMapROS> global_map,
                          std::shared_ptr<GridMapROS> local_map);

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;

  /// The pose at which the first path of `paths` ends, in frame "map"; nothing when there is no
  /// first path or it holds no pose.
  static std::optional<geometry_msgs::msg::PoseStamped> globalGoalPosture(
      const vantrell_nav2_protocol::msg::MultiPaths& paths);

 private:
  /// Index of the first collision-free goal, or -1; every goal is logged.
  int chooseGoal(const std::vector<geometry_msgs::msg::PoseStamped>& goals) const;
  void publishGoals(const geometry_msgs::msg::PoseStamped& chosen,
                    const vantrell_nav2_protocol::msg::MultiPaths& paths) const;

  std::shared_ptr<Collision::CollisionCheck> collision_checker_;
  std::string origin_goal_topic_;
  std::string global_goal_topic_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> parent_node_;
  std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PoseStamped>> origin_goal_pub_;
  std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PoseStamped>> global_goal_pub_;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__RECOMMAND_POINTS_PLANNING_HPP_
