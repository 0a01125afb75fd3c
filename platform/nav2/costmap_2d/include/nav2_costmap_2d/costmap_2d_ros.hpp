#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"

namespace tf2_ros {
class Buffer;
}  // namespace tf2_ros

namespace nav2_costmap_2d {

namespace testing {
struct Costmap2DROSAccess;
}  // namespace testing

// A costmap with its frames, robot footprint and robot pose. Not a lifecycle
// node here: the hosting process builds it ready to use.
//
// The robot pose comes from the host: either set directly, or looked up in
// an attached tf2_ros::Buffer (global frame <- robot base frame). Until one of
// these is given there is no pose and getRobotPose() returns false.
class Costmap2DROS {
 public:
  using SharedPtr = std::shared_ptr<Costmap2DROS>;

  explicit Costmap2DROS(const std::string &name, const std::string &global_frame = "map",
                        const std::string &robot_base_frame = "base_footprint",
                        double transform_tolerance = 0.3, bool track_unknown = true);
  ~Costmap2DROS();
  Costmap2DROS(const Costmap2DROS &) = delete;
  Costmap2DROS &operator=(const Costmap2DROS &) = delete;

  const char *get_name() const { return name_.c_str(); }

  // False when no pose is available; otherwise the pose in the global frame.
  bool getRobotPose(geometry_msgs::msg::PoseStamped &global_pose);
  std::string getGlobalFrameID() const { return global_frame_; }
  std::string getBaseFrameID() const { return robot_base_frame_; }
  double getTransformTolerance() const { return transform_tolerance_; }

  // Points in the robot frame, metres. A copy: safe while the host changes it.
  std::vector<geometry_msgs::msg::Point> getRobotFootprint() const;
  geometry_msgs::msg::Polygon getRobotFootprintPolygon() const;
  void setRobotFootprint(const std::vector<geometry_msgs::msg::Point> &points);
  void setRobotFootprintPolygon(const geometry_msgs::msg::Polygon &footprint);
  double getInscribedRadius() const { return layered_costmap_->getInscribedRadius(); }
  double getCircumscribedRadius() const { return layered_costmap_->getCircumscribedRadius(); }

  Costmap2D *getCostmap() { return layered_costmap_->getCostmap(); }
  LayeredCostmap *getLayeredCostmap() { return layered_costmap_.get(); }

  // Every layer rebuilds from its sources at the next updateMap. The master
  // grid keeps its costs until then, so that nobody reads an empty map.
  void resetLayers();
  // Lets the layers write the master grid. The layers do not follow the
  // robot, so this runs whether or not a robot pose is available.
  void updateMap();

 private:
  friend struct testing::Costmap2DROSAccess;

  std::string name_;
  std::string global_frame_;
  std::string robot_base_frame_;
  double transform_tolerance_;
  std::unique_ptr<LayeredCostmap> layered_costmap_;

  mutable std::mutex pose_mutex_;
  std::optional<geometry_msgs::msg::PoseStamped> fixed_pose_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
