#ifndef LOCAL_PLANNING__PATH_PRODUCT__PATH_GEOMETRY_HPP_
#define LOCAL_PLANNING__PATH_PRODUCT__PATH_GEOMETRY_HPP_

// Small helpers shared by the toolbox's sources; outside the library's API.

#include <cmath>
#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

namespace planning {
namespace path_geometry {

// Orientation of a planar heading: x = y = 0, one sincos of half the yaw.
geometry_msgs::msg::Quaternion yawToQuaternion(double yaw);

// Writes z and w of the heading into `orientation`, keeping its x and y.
void setYawKeepingXY(geometry_msgs::msg::Quaternion& orientation, double yaw);

// Planar distance between the positions of two poses.
double planarDistance(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b);

// Heading from pose a to pose b.
double headingBetween(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b);

// The grid and costmap behind a grid map, held for the length of one call so
// that the grid cannot go away while it is read.
struct MapView {
  std::shared_ptr<vantrell_nav2_gridmap::MultiGridMap> grid;
  nav2_costmap_2d::Costmap2D* costmap{nullptr};

  bool toCell(const geometry_msgs::msg::PoseStamped& pose, unsigned int& mx,
              unsigned int& my) const {
    return costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my);
  }
};

// Fills `view` from `grid_map`; false (logged as an ERROR naming `operation`)
// when the map, its grid or its costmap is missing.
bool openMap(const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map,
             const char* operation, MapView& view);

// `quotient` truncated towards zero into `count`; false, `count` untouched,
// when an int cannot hold it (what a zero step or a NaN coordinate gives).
bool truncatedCount(double quotient, int& count);

}  // namespace path_geometry
}  // namespace planning

#endif  // LOCAL_PLANNING__PATH_PRODUCT__PATH_GEOMETRY_HPP_
