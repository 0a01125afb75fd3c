#include "global_planning_benchmark/path_metrics.hpp"

#include <algorithm>
#include <cmath>

#include "nav2_costmap_2d/cost_values.hpp"

namespace global_planning_benchmark {

namespace {

double costUnder(const geometry_msgs::msg::Point& position,
                 const vantrell_nav2_gridmap::GridLayers& layers) {
  const double column = std::floor((position.x - layers.origin_x) / layers.resolution);
  const double row = std::floor((position.y - layers.origin_y) / layers.resolution);
  if (!(column >= 0.0 && row >= 0.0 && column < layers.size_x && row < layers.size_y)) {
    return nav2_costmap_2d::NO_INFORMATION;
  }
  return layers
      .cost[layers.index(static_cast<unsigned int>(column), static_cast<unsigned int>(row))];
}

}  // namespace

PathMetrics measurePaths(const std::vector<vantrell_nav2_protocol::msg::Path>& paths,
                         const vantrell_nav2_gridmap::GridLayers& layers) {
  PathMetrics metrics;
  double cost_sum = 0.0;
  double cost_max = 0.0;
  for (const auto& path : paths) {
    const auto& poses = path.nav_path.poses;
    for (size_t i = 0; i < poses.size(); ++i) {
      const auto& position = poses[i].pose.position;
      if (i > 0) {
        const auto& before = poses[i - 1].pose.position;
        metrics.length_m += std::hypot(position.x - before.x, position.y - before.y);
      }
      const double cost = costUnder(position, layers);
      cost_sum += cost;
      cost_max = std::max(cost_max, cost);
    }
    metrics.poses += poses.size();
  }
  if (metrics.poses > 0) {
    metrics.mean_cost = cost_sum / static_cast<double>(metrics.poses);
    metrics.max_cost = cost_max;
  }
  return metrics;
}

}  // namespace global_planning_benchmark
