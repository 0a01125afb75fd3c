#include "planning/global_planning/lift_planning.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "rclcpp/rclcpp.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace planning {

namespace {

struct FloodEntry {
  unsigned int mx;
  unsigned int my;
  double g;
  double h;
};

// Orders the heap so that the entry with the smallest g + h is on top.
bool costsMore(const FloodEntry& a, const FloodEntry& b) { return a.g + a.h > b.g + b.h; }

uint64_t cellKey(unsigned int mx, unsigned int my) {
  return (static_cast<uint64_t>(mx) << 32) | static_cast<uint64_t>(my);
}

double manhattan(double wx, double wy, const geometry_msgs::msg::Point& to) {
  return std::fabs(wx - to.x) + std::fabs(wy - to.y);
}

geometry_msgs::msg::Pose placeAt(double wx, double wy) {
  geometry_msgs::msg::Pose pose;
  pose.position.x = wx;
  pose.position.y = wy;
  pose.position.z = 0.0;
  pose.orientation.x = 0.0;
  pose.orientation.y = 0.0;
  pose.orientation.z = 0.0;
  pose.orientation.w = 1.0;
  return pose;
}

visualization_msgs::msg::Marker searchedPointsMarker() {
  visualization_msgs::msg::Marker marker;
  marker.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  marker.header.frame_id = "map";
  marker.ns = "searched_point";
  marker.id = 0;
  marker.type = visualization_msgs::msg::Marker::POINTS;
  marker.action = visualization_msgs::msg::Marker::ADD;
  marker.scale.x = 0.02;
  marker.scale.y = 0.02;
  marker.scale.z = 0.0;
  marker.color.r = 1.0F;
  marker.color.g = 0.0F;
  marker.color.b = 0.0F;
  marker.color.a = 1.0F;
  return marker;
}

}  // namespace

bool floodConnectiveArea(const vantrell_nav2_gridmap::GridMapROS& grid_map,
                         vantrell_communicator::CommunicatorEngine& communicator,
                         const ConnectiveAreaRules& rules,
                         const geometry_msgs::msg::PoseStamped& start,
                         const geometry_msgs::msg::PoseStamped& goal,
                         geometry_msgs::msg::PoseStamped& result,
                         const geometry_msgs::msg::Polygon& target_area) {
  result = goal;
  const auto grid = grid_map.getMultiGridMap();
  nav2_costmap_2d::Costmap2D* const costmap = grid ? grid->getCostmap() : nullptr;
  if (costmap == nullptr) {
    LOG_ERROR_FROM("connectiveAreaSearch", "{}::connectiveAreaSearch has no grid map to search",
                   rules.owner);
    return false;
  }
  unsigned int start_x = 0;
  unsigned int start_y = 0;
  if (!costmap->worldToMap(start.pose.position.x, start.pose.position.y, start_x, start_y)) {
    LOG_ERROR_FROM("connectiveAreaSearch", "{}::connectiveAreaSearch worldToMap failed!",
                   rules.owner);
    return false;
  }

  const BaseRobot geometry;
  const geometry_msgs::msg::Point& target = goal.pose.position;
  const auto in_target = [&geometry, &target_area](double wx, double wy) {
    return geometry.isPointInPolygon(target_area, placeAt(wx, wy));
  };
  const auto has_turning_room = [&rules, &grid](unsigned int mx, unsigned int my) {
    return !rules.need_turning_room || !grid->inDanger(mx, my, 1);
  };

  std::vector<FloodEntry> queue;
  std::unordered_set<uint64_t> visited;
  queue.push_back(
      {start_x, start_y, 0.0, manhattan(start.pose.position.x, start.pose.position.y, target)});
  visited.insert(cellKey(start_x, start_y));
  visualization_msgs::msg::Marker marker = searchedPointsMarker();
  double best = std::numeric_limits<double>::max();

  while (!queue.empty()) {
    std::pop_heap(queue.begin(), queue.end(), costsMore);
    const FloodEntry current = queue.back();
    queue.pop_back();

    double wx = 0.0;
    double wy = 0.0;
    costmap->mapToWorld(current.mx, current.my, wx, wy);
    geometry_msgs::msg::Point searched;
    searched.x = wx;
    searched.y = wy;
    marker.points.push_back(searched);

    const double to_goal = std::hypot(wx - target.x, wy - target.y);
    if (costmap->getResolution() >= to_goal && in_target(wx, wy) &&
        has_turning_room(current.mx, current.my)) {
      result.pose = placeAt(wx, wy);
      communicator.getPlanningUnit()->publishConnectiveArea(marker);
      return true;
    }

    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        if (std::abs(dx) == std::abs(dy)) {
          continue;
        }
        const double step_cost = costmap->getResolution();
        const int64_t x = static_cast<int64_t>(current.mx) + dx;
        const int64_t y = static_cast<int64_t>(current.my) + dy;
        if (x < 0 || y < 0 || x >= costmap->getSizeInCellsX() || y >= costmap->getSizeInCellsY()) {
          continue;
        }
        const auto nx = static_cast<unsigned int>(x);
        const auto ny = static_cast<unsigned int>(y);
        if (grid->inDanger(nx, ny, 0)) {
          continue;
        }
        double nwx = 0.0;
        double nwy = 0.0;
        costmap->mapToWorld(nx, ny, nwx, nwy);
        if (!rules.may_flood(nwx, nwy) || !visited.insert(cellKey(nx, ny)).second) {
          continue;
        }
        queue.push_back({nx, ny, current.g + step_cost, manhattan(nwx, nwy, target)});
        std::push_heap(queue.begin(), queue.end(), costsMore);

        const double neighbour_to_goal = std::hypot(nwx - target.x, nwy - target.y);
        if (has_turning_room(nx, ny) && in_target(nwx, nwy) && neighbour_to_goal < best) {
          best = neighbour_to_goal;
          result.pose = placeAt(nwx, nwy);
        }
      }
    }
  }
  communicator.getPlanningUnit()->publishConnectiveArea(marker);
  return best < rules.fallback_distance;
}

LiftPlanning::LiftPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr),
      communicator_(vantrell_communicator::CommunicatorEngine::GetInstance()) {}

bool LiftPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                            vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  // Without a goal or an engine the plan fails as a search that found nothing does.
  const bool found =
      hasGoalAndEngines("LiftPlanning", goals, Engines::kGlobal) &&
      global_planner_->searchPaths(robot_pose, goals.front(), liftSearchOptions(0.0), paths);
  return searchSucceeded(found, paths) || searchFailed();
}

bool LiftPlanning::connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& start,
                                        const geometry_msgs::msg::PoseStamped& goal,
                                        geometry_msgs::msg::PoseStamped& result,
                                        const geometry_msgs::msg::Polygon& search_area,
                                        const geometry_msgs::msg::Polygon& target_area) {
  if (!global_gridmap_ros_) {
    result = goal;
    LOG_ERROR("LiftPlanning::connectiveAreaSearch has no grid map to search");
    return false;
  }
  ConnectiveAreaRules rules;
  rules.may_flood = [this, &search_area](double wx, double wy) {
    return base_robot_.isPointInPolygon(search_area, placeAt(wx, wy));
  };
  rules.owner = "LiftPlanning";
  return floodConnectiveArea(*global_gridmap_ros_, *communicator_, rules, start, goal, result,
                             target_area);
}

}  // namespace planning
