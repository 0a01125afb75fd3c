#include "vantrell_nav2_common/collision_check.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "rclcpp/logging.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

namespace Collision {
namespace {

struct Cell {
  int64_t x;
  int64_t y;
};

Cell toCell(const vantrell_nav2_gridmap::GridLayers& layers, double wx, double wy) {
  return {static_cast<int64_t>(std::floor((wx - layers.origin_x) / layers.resolution)),
          static_cast<int64_t>(std::floor((wy - layers.origin_y) / layers.resolution))};
}

bool onMap(const vantrell_nav2_gridmap::GridLayers& layers, const Cell& c) {
  return c.x >= 0 && c.y >= 0 && c.x < static_cast<int64_t>(layers.size_x) &&
         c.y < static_cast<int64_t>(layers.size_y);
}

// An obstacle, an unknown cell or no cell at all. The danger layer is no use
// here: it marks where the robot's centre cannot be, so testing the whole
// footprint against it would count the robot's size twice.
bool blocked(const vantrell_nav2_gridmap::GridLayers& layers, const Cell& c) {
  if (!onMap(layers, c)) {
    return true;
  }
  const auto index = layers.index(static_cast<unsigned int>(c.x), static_cast<unsigned int>(c.y));
  return layers.cost[index] >= nav2_costmap_2d::LETHAL_OBSTACLE;
}

// Every cell crossed by the segment from a to b (Bresenham).
bool lineFree(const vantrell_nav2_gridmap::GridLayers& layers, Cell a, const Cell& b) {
  const int64_t dx = std::llabs(b.x - a.x);
  const int64_t dy = -std::llabs(b.y - a.y);
  const int64_t sx = a.x < b.x ? 1 : -1;
  const int64_t sy = a.y < b.y ? 1 : -1;
  int64_t err = dx + dy;
  while (true) {
    if (blocked(layers, a)) {
      return false;
    }
    if (a.x == b.x && a.y == b.y) {
      return true;
    }
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      a.x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      a.y += sy;
    }
  }
}

// Cells whose centres lie inside the polygon, row by row.
bool insideFree(const vantrell_nav2_gridmap::GridLayers& layers,
                const CollisionCheck::Footprint& polygon) {
  double min_y = polygon.front().y;
  double max_y = polygon.front().y;
  for (const auto& p : polygon) {
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  const double res = layers.resolution;
  const auto first_row = static_cast<int64_t>(std::ceil((min_y - layers.origin_y) / res - 0.5));
  const auto last_row = static_cast<int64_t>(std::floor((max_y - layers.origin_y) / res - 0.5));
  std::vector<double> crossings;
  for (int64_t row = first_row; row <= last_row; ++row) {
    const double y = layers.origin_y + (static_cast<double>(row) + 0.5) * res;
    crossings.clear();
    for (size_t i = 0, n = polygon.size(); i < n; ++i) {
      const auto& a = polygon[i];
      const auto& b = polygon[(i + 1) % n];
      if ((a.y > y) != (b.y > y)) {
        crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      const auto first_col =
          static_cast<int64_t>(std::ceil((crossings[k] - layers.origin_x) / res - 0.5));
      const auto last_col =
          static_cast<int64_t>(std::floor((crossings[k + 1] - layers.origin_x) / res - 0.5));
      for (int64_t col = first_col; col <= last_col; ++col) {
        if (blocked(layers, {col, row})) {
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace

CollisionCheck::CollisionCheck(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap)
    : gridmap_(std::move(gridmap)) {
  if (!gridmap_) {
    throw std::invalid_argument("CollisionCheck needs a grid map, got an empty pointer");
  }
}

bool CollisionCheck::isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose,
                                         bool check_inside) const {
  return isCollisionFreePose(pose, check_inside, getFootprint());
}

bool CollisionCheck::isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool check_inside,
                                         const Footprint& footprint) const {
  const auto layers = snapshot();
  if (!layers) {
    return false;
  }
  return isFree(*layers, placeFootprint(pose, footprint), check_inside);
}

bool CollisionCheck::isCollisionFree(const Footprint& polygon, bool check_inside) const {
  if (polygon.empty()) {
    return true;
  }
  const auto layers = snapshot();
  if (!layers) {
    return false;
  }
  return isFree(*layers, polygon, check_inside);
}

CollisionCheck::Footprint CollisionCheck::getFootprint() const {
  const auto costmap_ros = gridmap_->getCostmapROS();
  return costmap_ros ? costmap_ros->getRobotFootprint() : Footprint{};
}

CollisionCheck::Footprint CollisionCheck::placeFootprint(const geometry_msgs::msg::Pose2D& pose,
                                                         const Footprint& footprint) {
  Footprint placed;
  if (footprint.empty()) {
    // No outline known: the robot is its centre point.
    geometry_msgs::msg::Point centre;
    centre.x = pose.x;
    centre.y = pose.y;
    placed.push_back(centre);
    return placed;
  }
  const double c = std::cos(pose.theta);
  const double s = std::sin(pose.theta);
  placed.reserve(footprint.size());
  for (const auto& p : footprint) {
    geometry_msgs::msg::Point q;
    q.x = pose.x + c * p.x - s * p.y;
    q.y = pose.y + s * p.x + c * p.y;
    q.z = p.z;
    placed.push_back(q);
  }
  return placed;
}

std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> CollisionCheck::snapshot() const {
  const auto multi = gridmap_->getMultiGridMap();
  auto layers = multi ? multi->getLayers() : nullptr;
  if (!layers) {
    RCLCPP_WARN(rclcpp::get_logger("collision_check"),
                "grid map %s has no layers yet: every pose counts as a collision",
                gridmap_->get_name().c_str());
  }
  return layers;
}

bool CollisionCheck::isFree(const vantrell_nav2_gridmap::GridLayers& layers,
                            const Footprint& placed, bool check_inside) {
  if (placed.empty()) {
    return true;
  }
  for (const auto& p : placed) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      return false;
    }
  }
  if (!(layers.resolution > 0.0)) {
    return false;
  }
  const size_t n = placed.size();
  for (size_t i = 0; i < n; ++i) {
    const Cell a = toCell(layers, placed[i].x, placed[i].y);
    const Cell b = toCell(layers, placed[(i + 1) % n].x, placed[(i + 1) % n].y);
    // A corner off the map: the line walk would be long and the answer is known.
    if (!onMap(layers, a) || !onMap(layers, b) || !lineFree(layers, a, b)) {
      return false;
    }
  }
  return !(check_inside && n >= 3) || insideFree(layers, placed);
}

}  // namespace Collision
