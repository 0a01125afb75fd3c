#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

#include <chrono>

namespace tf2 {

namespace {

TimePoint fromStamp(const builtin_interfaces::msg::Time& stamp) {
  return TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

Transform toTransform(const geometry_msgs::msg::TransformStamped& transform) {
  Transform out;
  fromMsg(transform.transform, out);
  return out;
}

}  // namespace

geometry_msgs::msg::Vector3 toMsg(const Vector3& in) {
  geometry_msgs::msg::Vector3 out;
  out.x = in.x();
  out.y = in.y();
  out.z = in.z();
  return out;
}

void fromMsg(const geometry_msgs::msg::Vector3& in, Vector3& out) {
  out.setValue(in.x, in.y, in.z);
}

geometry_msgs::msg::Point& toMsg(const Vector3& in, geometry_msgs::msg::Point& out) {
  out.x = in.x();
  out.y = in.y();
  out.z = in.z();
  return out;
}

void fromMsg(const geometry_msgs::msg::Point& in, Vector3& out) { out.setValue(in.x, in.y, in.z); }

geometry_msgs::msg::Quaternion toMsg(const Quaternion& in) {
  geometry_msgs::msg::Quaternion out;
  out.x = in.x();
  out.y = in.y();
  out.z = in.z();
  out.w = in.w();
  return out;
}

void fromMsg(const geometry_msgs::msg::Quaternion& in, Quaternion& out) {
  out.setValue(in.x, in.y, in.z, in.w);
}

geometry_msgs::msg::Transform toMsg(const Transform& in) {
  geometry_msgs::msg::Transform out;
  out.translation = toMsg(in.getOrigin());
  out.rotation = toMsg(in.getRotation());
  return out;
}

void fromMsg(const geometry_msgs::msg::Transform& in, Transform& out) {
  Vector3 origin;
  Quaternion rotation;
  fromMsg(in.translation, origin);
  fromMsg(in.rotation, rotation);
  out = Transform(rotation, origin);
}

geometry_msgs::msg::Pose& toMsg(const Transform& in, geometry_msgs::msg::Pose& out) {
  toMsg(in.getOrigin(), out.position);
  out.orientation = toMsg(in.getRotation());
  return out;
}

void fromMsg(const geometry_msgs::msg::Pose& in, Transform& out) {
  Vector3 origin;
  Quaternion rotation;
  fromMsg(in.position, origin);
  fromMsg(in.orientation, rotation);
  out = Transform(rotation, origin);
}

void convert(const geometry_msgs::msg::Quaternion& in, Quaternion& out) { fromMsg(in, out); }

void convert(const Quaternion& in, geometry_msgs::msg::Quaternion& out) { out = toMsg(in); }

void convert(const geometry_msgs::msg::Transform& in, Transform& out) { fromMsg(in, out); }

void convert(const Transform& in, geometry_msgs::msg::Transform& out) { out = toMsg(in); }

void convert(const geometry_msgs::msg::Pose& in, Transform& out) { fromMsg(in, out); }

TimePoint getTimestamp(const geometry_msgs::msg::PoseStamped& in) {
  return fromStamp(in.header.stamp);
}

TimePoint getTimestamp(const geometry_msgs::msg::PointStamped& in) {
  return fromStamp(in.header.stamp);
}

TimePoint getTimestamp(const geometry_msgs::msg::TransformStamped& in) {
  return fromStamp(in.header.stamp);
}

std::string getFrameId(const geometry_msgs::msg::PoseStamped& in) { return in.header.frame_id; }

std::string getFrameId(const geometry_msgs::msg::PointStamped& in) { return in.header.frame_id; }

std::string getFrameId(const geometry_msgs::msg::TransformStamped& in) {
  return in.header.frame_id;
}

void doTransform(const geometry_msgs::msg::Point& in, geometry_msgs::msg::Point& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  Vector3 point;
  fromMsg(in, point);
  toMsg(toTransform(transform) * point, out);
}

void doTransform(const geometry_msgs::msg::PointStamped& in, geometry_msgs::msg::PointStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  doTransform(in.point, out.point, transform);
  out.header = transform.header;
}

void doTransform(const geometry_msgs::msg::Quaternion& in, geometry_msgs::msg::Quaternion& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  Quaternion rotation;
  Quaternion q;
  fromMsg(transform.transform.rotation, rotation);
  fromMsg(in, q);
  out = toMsg(rotation * q);
}

void doTransform(const geometry_msgs::msg::Pose& in, geometry_msgs::msg::Pose& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  // The orientation as a quaternion product keeps its sign and precision, which
  // a trip through the rotation matrix would not.
  geometry_msgs::msg::Point position;
  geometry_msgs::msg::Quaternion orientation;
  doTransform(in.position, position, transform);
  doTransform(in.orientation, orientation, transform);
  out.position = position;
  out.orientation = orientation;
}

void doTransform(const geometry_msgs::msg::PoseStamped& in, geometry_msgs::msg::PoseStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  doTransform(in.pose, out.pose, transform);
  out.header = transform.header;
}

void doTransform(const geometry_msgs::msg::TransformStamped& in,
                 geometry_msgs::msg::TransformStamped& out,
                 const geometry_msgs::msg::TransformStamped& transform) {
  out.transform = toMsg(toTransform(transform) * toTransform(in));
  out.header = transform.header;
  out.child_frame_id = in.child_frame_id;
}

}  // namespace tf2
