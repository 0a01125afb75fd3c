#ifndef TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
#define TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_

#include <string>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point_stamped.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/transform.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"

// Conversions between the tf2 math types and geometry_msgs, and the
// doTransform overloads that tf2_ros::BufferInterface::transform uses.
namespace tf2 {

geometry_msgs::msg::Vector3 toMsg(const Vector3& in);
void fromMsg(const geometry_msgs::msg::Vector3& in, Vector3& out);

geometry_msgs::msg::Point& toMsg(const Vector3& in, geometry_msgs::msg::Point& out);
void fromMsg(const geometry_msgs::msg::Point& in, Vector3& out);

geometry_msgs::msg::Quaternion toMsg(const Quaternion& in);
void fromMsg(const geometry_msgs::msg::Quaternion& in, Quaternion& out);

geometry_msgs::msg::Transform toMsg(const Transform& in);
void fromMsg(const geometry_msgs::msg::Transform& in, Transform& out);

geometry_msgs::msg::Pose& toMsg(const Transform& in, geometry_msgs::msg::Pose& out);
void fromMsg(const geometry_msgs::msg::Pose& in, Transform& out);

void convert(const geometry_msgs::msg::Quaternion& in, Quaternion& out);
void convert(const Quaternion& in, geometry_msgs::msg::Quaternion& out);
void convert(const geometry_msgs::msg::Transform& in, Transform& out);
void convert(const Transform& in, geometry_msgs::msg::Transform& out);
void convert(const geometry_msgs::msg::Pose& in, Transform& out);

// Stamp and frame of a stamped message, as the buffer's transform() reads them.
TimePoint getTimestamp(const geometry_msgs::msg::PoseStamped& in);
TimePoint getTimestamp(const geometry_msgs::msg::PointStamped& in);
TimePoint getTimestamp(const geometry_msgs::msg::TransformStamped& in);
std::string getFrameId(const geometry_msgs::msg::PoseStamped& in);
std::string getFrameId(const geometry_msgs::msg::PointStamped& in);
std::string getFrameId(const geometry_msgs::msg::TransformStamped& in);

// `in` mapped by `transform`; the stamped forms take the transform's header.
void doTransform(const geometry_msgs::msg::Point& in, geometry_msgs::msg::Point& out,
                 const geometry_msgs::msg::TransformStamped& transform);
void doTransform(const geometry_msgs::msg::PointStamped& in, geometry_msgs::msg::PointStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform);
void doTransform(const geometry_msgs::msg::Quaternion& in, geometry_msgs::msg::Quaternion& out,
                 const geometry_msgs::msg::TransformStamped& transform);
void doTransform(const geometry_msgs::msg::Pose& in, geometry_msgs::msg::Pose& out,
                 const geometry_msgs::msg::TransformStamped& transform);
void doTransform(const geometry_msgs::msg::PoseStamped& in, geometry_msgs::msg::PoseStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform);
// Composition: `in` (child -> its frame) followed by `transform`.
void doTransform(const geometry_msgs::msg::TransformStamped& in,
                 geometry_msgs::msg::TransformStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform);

}  // namespace tf2

#endif  // TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
