#ifndef VANTRELL_NAV2_COMMON__COLLISION_CHECK_HPP_
#define VANTRELL_NAV2_COMMON__COLLISION_CHECK_HPP_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace Collision {

/**
 * Footprint collision test on a grid map: the robot outline is placed at a
 * pose and every cell it covers is tested; a cell holding an obstacle or
 * unknown space (cost LETHAL_OBSTACLE or NO_INFORMATION) is a collision, and
 * so is a cell off the map or a map that has no layers yet.
 *
 * Each test reads one snapshot of the grid layers, so it sees a consistent map
 * while another thread refreshes it; the object itself holds no mutable state
 * and may be used from several threads.
 */
class CollisionCheck {
 public:
  using Footprint = std::vector<geometry_msgs::msg::Point>;

  /// Throws std::invalid_argument for an empty grid map pointer.
  explicit CollisionCheck(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap);

  /**
   * True when the robot, with the footprint its costmap holds now, collides
   * with nothing at pose. With check_inside the cells inside the outline are
   * tested too; without it only the cells under the outline, which is enough
   * for poses met along a path (anything inside was crossed by the outline on
   * the way) and cheaper.
   */
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool check_inside) const;

  /// As above with the given footprint (robot frame, metres).
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool check_inside,
                           const Footprint& footprint) const;

  /**
   * True when a polygon already placed in the map frame covers no obstacle or
   * unknown cell. An empty polygon covers nothing and is free; one point tests its cell.
   */
  bool isCollisionFree(const Footprint& polygon, bool check_inside) const;

  /// The robot footprint the grid map's costmap holds now.
  Footprint getFootprint() const;

 private:
  friend class SpinCollision;

  /// The footprint turned by pose.theta and moved onto the pose's position.
  static Footprint placeFootprint(const geometry_msgs::msg::Pose2D& pose,
                                  const Footprint& footprint);

  std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> snapshot() const;

  static bool isFree(const vantrell_nav2_gridmap::GridLayers& layers, const Footprint& placed,
                     bool check_inside);

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap_;
};

}  // namespace Collision

#endif  // VANTRELL_NAV2_COMMON__COLLISION_CHECK_HPP_
