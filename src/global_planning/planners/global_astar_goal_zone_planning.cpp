#include "planning/global_planning/global_astar_goal_zone_planning.hpp"

#include <cmath>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/zone_raster.hpp"

namespace planning {

GlobalAstarGoalZonePlanning::GlobalAstarGoalZonePlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

void GlobalAstarGoalZonePlanning::updateGoal(std::shared_ptr<const GlobalPlanningGoal> goal) {
  if (!goal) {
    LOG_WARN("GlobalAstarGoalZonePlanning received no goal data");
    return;
  }
  goal_zone_ = goal->goal_zone;
  goal_mode_ = goal->goal_mode;
  goal_poses_ = goal->goal_poses;
  action_id_ = goal->action_id;
  covered_points_ = goal->covered_points_frm_taskcenter;
  LOG_INFO(
      "GlobalAstarGoalZonePlanning, global planner received goal data, goal pose size {}, and "
      "goal zone points size:{}, goal_mode: {}, action id{}, covered_points_frm_taskcenter "
      "size:{}",
      goal_poses_.size(), goal_zone_.size(), goal_mode_, action_id_, covered_points_.size());
}

std::vector<geometry_msgs::msg::PoseStamped>
GlobalAstarGoalZonePlanning::findBestStartPointInContours(
    std::vector<geometry_msgs::msg::Point32> zone, std::shared_ptr<GridMapROS> map) const {
  std::vector<geometry_msgs::msg::PoseStamped> result;
  if (!map || !map->getMultiGridMap() || !map->getCostmapROS()) {
    return result;
  }
  const auto grid = map->getMultiGridMap();
  nav2_costmap_2d::Costmap2D* costmap = grid->getCostmap();
  if (costmap == nullptr) {
    return result;
  }

  // Holding the costmap's lock keeps the layers and the map geometry from changing under us.
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  LOG_INFO("------>goal_zone size: {}, map size: {}, {}", zone.size(), size_x, size_y);
  if (size_x == 0U || size_y == 0U) {
    return result;
  }

  // Corners off the map are left out rather than guessed.
  const ZoneCells cells = zoneCells(zone, *costmap);
  if (cells.outline.size() < 3U) {
    return result;
  }

  // 255 on every cell where the robot's centre may stand and that lies in the zone.
  const cv::Mat free_image = gridImage(size_x, size_y, [&grid](unsigned int mx, unsigned int my) {
    return !grid->inDanger(mx, my, 0);
  });
  cv::Mat zone_image = cv::Mat::zeros(free_image.size(), CV_8UC1);
  fillZone(cells.outline, zone_image);
  cv::bitwise_and(free_image, zone_image, zone_image);

  cv::Mat distance;
  cv::distanceTransform(zone_image, distance, cv::DIST_L2, cv::DIST_MASK_5, CV_32F);
  double max_distance = 0.0;
  cv::Point best_cell;
  cv::minMaxLoc(distance, nullptr, &max_distance, nullptr, &best_cell);
  if (max_distance <= 0.0) {
    // No free cell in the zone: an all-zero image would point at the map's corner cell.
    return result;
  }

  double wx = 0.0;
  double wy = 0.0;
  costmap->mapToWorld(static_cast<unsigned int>(best_cell.x),
                      static_cast<unsigned int>(best_cell.y), wx, wy);
  geometry_msgs::msg::PoseStamped goal;
  goal.header.frame_id = map->getCostmapROS()->getGlobalFrameID();
  goal.pose.position.x = wx;
  goal.pose.position.y = wy;
  goal.pose.orientation.w = 1.0;
  LOG_INFO("------>new goal: {}, {}", wx, wy);
  result.push_back(goal);
  return result;
}

bool GlobalAstarGoalZonePlanning::makePlan(
    const std::vector<geometry_msgs::msg::PoseStamped>& /*goals*/,
    vantrell_nav2_protocol::msg::MultiPaths& paths) {
  LOG_INFO("------>makePlan  get goal zone, size:{}, goal_mode: {}, action id:{}",
           goal_zone_.size(), goal_mode_, action_id_);
  if (goal_zone_.empty()) {
    LOG_WARN("------>Global Astar Goal Zone Planning get empty goal zone");
    return false;
  }
  if (!global_planner_) {
    LOG_WARN("GlobalAstarGoalZonePlanning has no global grid search");
    return false;
  }
  LOG_INFO("------>Global Astar Goal Zone Planning makePlan, pose size is {}", goal_zone_.size());

  const std::vector<geometry_msgs::msg::PoseStamped> best =
      findBestStartPointInContours(goal_zone_, global_gridmap_ros_);
  if (best.empty()) {
    LOG_WARN("------>Global Astar Goal Zone Planning can't find best final point");
    error_code_ = codes::kGlobalPlanFailed;
    return false;
  }

  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  // The zone is reached within the fuzzy range even when the goal forbids a fuzzy goal.
  const AstarOptions options = globalSearchOptions(fuzzy_range_, fuzzy_range_);
  const bool found = global_planner_->searchPaths(robot_pose, best.front(), options, paths);
  return searchSucceeded(found, paths) || searchFailed();
}

}  // namespace planning
