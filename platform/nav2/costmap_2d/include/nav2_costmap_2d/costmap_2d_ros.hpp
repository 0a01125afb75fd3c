#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_

#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"

namespace nav2_costmap_2d {

// A costmap with its frames, robot footprint and robot pose. Not a lifecycle
// node here: the hosting process builds it ready to use.
//
// As in Nav2, the robot pose is the transform global frame <- robot base frame
// in the costmap's own tf buffer, which its own listener fills from "/tf" and
// "/tf_static": whoever localises the robot broadcasts that transform.
class Costmap2DROS {
 public:
  using SharedPtr = std::shared_ptr<Costmap2DROS>;

  explicit Costmap2DROS(const std::string& name, const std::string& global_frame = "map",
                        const std::string& robot_base_frame = "base_footprint",
                        double transform_tolerance = 0.3, bool track_unknown = true);
  ~Costmap2DROS();
  Costmap2DROS(const Costmap2DROS&) = delete;
  Costmap2DROS& operator=(const Costmap2DROS&) = delete;

  const char* get_name() const { return name_.c_str(); }
  std::string getName() const { return name_; }

  // The latest robot transform, waiting up to the transform tolerance for a
  // first one. False when there is none; otherwise the pose in the global frame.
  bool getRobotPose(geometry_msgs::msg::PoseStamped& global_pose);
  std::string getGlobalFrameID() { return global_frame_; }
  std::string getBaseFrameID() { return robot_base_frame_; }
  double getTransformTolerance() const { return transform_tolerance_; }
  std::shared_ptr<tf2_ros::Buffer> getTfBuffer() { return tf_buffer_; }

  // Points in the robot frame, metres. A copy: safe while the host changes it.
  std::vector<geometry_msgs::msg::Point> getRobotFootprint();
  geometry_msgs::msg::Polygon getRobotFootprintPolygon();
  void setRobotFootprint(const std::vector<geometry_msgs::msg::Point>& points);
  void setRobotFootprintPolygon(const geometry_msgs::msg::Polygon::SharedPtr footprint);

  Costmap2D* getCostmap() { return layered_costmap_->getCostmap(); }
  LayeredCostmap* getLayeredCostmap() { return layered_costmap_.get(); }

  // Every layer rebuilds from its sources at the next updateMap. The master
  // grid keeps its costs until then, so that nobody reads an empty map.
  void resetLayers();
  // Lets the layers write the master grid. The layers do not follow the
  // robot, so this runs whether or not a robot pose is available.
  void updateMap();

 private:
  std::string name_;
  std::string global_frame_;
  std::string robot_base_frame_;
  double transform_tolerance_;
  std::unique_ptr<LayeredCostmap> layered_costmap_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::shared_ptr<tf2_ros::TransformListener> tf_listener_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
