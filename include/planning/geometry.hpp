#ifndef PLANNING__GEOMETRY_HPP_
#define PLANNING__GEOMETRY_HPP_

// The library's one vocabulary for planar geometry: yaw and quaternions (by tf2's rule), planar
// distances and headings, angle normalisation, the map view of a grid map, and the two footprint
// and point helpers every node shares. A routine that must compute one of these its own way (a
// closed component's function, say) says so where it does.

#include <memory>
#include <string>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"

namespace planning {
namespace geometry {

inline constexpr double kPi = 3.141592653589793;

/// The yaw of an orientation by tf2's getYaw rule (its branches at +-0.99999 of the pitch term
/// included); a zero quaternion has yaw 0.
double yawOf(const geometry_msgs::msg::Quaternion& orientation);
double yawOf(const geometry_msgs::msg::PoseStamped& pose);

/// Orientation of a planar heading: x = y = 0, one sincos of half the yaw.
geometry_msgs::msg::Quaternion yawToQuaternion(double yaw);

/// Writes z and w of the heading into `orientation`, keeping its x and y.
void setYawKeepingXY(geometry_msgs::msg::Quaternion& orientation, double yaw);

/// A pose at (x, y) heading `yaw`, in `frame`, stamp zero.
geometry_msgs::msg::PoseStamped planarPose(double x, double y, double yaw = 0.0,
                                           const std::string& frame = "map");

/// Whether every coordinate of the position and the orientation is a finite number.
bool isFinitePose(const geometry_msgs::msg::PoseStamped& pose);

/// Planar distance between two positions, z left out.
double planarDistance(const geometry_msgs::msg::Point& a, const geometry_msgs::msg::Point& b);
double planarDistance(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b);

/// Heading from the position of `from` to the position of `to`.
double headingBetween(const geometry_msgs::msg::PoseStamped& from,
                      const geometry_msgs::msg::PoseStamped& to);

/// `angle` wrapped into (-pi, pi]; NaN and infinities give NaN.
double normalizeAngle(double angle);

/// `quotient` truncated towards zero into `count`; false, `count` untouched, when an int cannot
/// hold it (what a zero step or a NaN coordinate gives).
bool truncatedCount(double quotient, int& count);

/// The grid and costmap behind a grid map, held for the length of one call so that the grid
/// cannot go away while it is read.
struct MapView {
  std::shared_ptr<vantrell_nav2_gridmap::MultiGridMap> grid;
  nav2_costmap_2d::Costmap2D* costmap{nullptr};

  /// The cell under the pose's position; false off the map (NaN included).
  bool toCell(const geometry_msgs::msg::PoseStamped& pose, unsigned int& mx,
              unsigned int& my) const {
    return costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my);
  }
};

/// Fills `view` from `grid_map`; false, with an ERROR "<owner>::<operation> ..." recorded as
/// written by `operation`, when the map, its grid or its costmap is missing.
bool openMap(const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map, const char* owner,
             const char* operation, MapView& view);

/// The same without a log line, for callers that treat a missing map as an ordinary answer.
bool viewOf(const vantrell_nav2_gridmap::GridMapROS* grid_map, MapView& view);

}  // namespace geometry

/// `start` moved by `distance` along `angle` (radians, counter-clockwise from x); computed in
/// double precision, stored as single precision, z kept.
geometry_msgs::msg::Point32 calculatePoint(const geometry_msgs::msg::Point32& start, double angle,
                                           double distance);

}  // namespace planning

/// The largest y of the robot footprint held by the grid map's costmap, never below 0.0; used as
/// the robot's half width. Throws std::invalid_argument for a missing grid map or costmap.
double getFootprintMaxY(const vantrell_nav2_gridmap::GridMapROS* grid_map);
/// The largest x of that footprint, never below 0.0: how far the robot reaches ahead of its
/// centre. Throws as getFootprintMaxY does.
double getFootprintMaxX(const vantrell_nav2_gridmap::GridMapROS* grid_map);

#endif  // PLANNING__GEOMETRY_HPP_
