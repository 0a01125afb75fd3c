#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2/LinearMath/Matrix3x3.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEps = 1e-9;

void expectSameRotation(const tf2::Quaternion& a, const tf2::Quaternion& b) {
  // q and -q are the same rotation.
  EXPECT_NEAR(std::fabs(a.normalized().dot(b.normalized())), 1.0, kEps);
}

void expectNear(const tf2::Vector3& a, const tf2::Vector3& b, double eps = kEps) {
  EXPECT_NEAR(a.x(), b.x(), eps);
  EXPECT_NEAR(a.y(), b.y(), eps);
  EXPECT_NEAR(a.z(), b.z(), eps);
}

geometry_msgs::msg::Quaternion msgFromRpy(double roll, double pitch, double yaw) {
  tf2::Quaternion q;
  q.setRPY(roll, pitch, yaw);
  return tf2::toMsg(q);
}

}  // namespace

TEST(Quaternion, SetRpyMatchesAxisAngleForEachAxis) {
  tf2::Quaternion q;
  q.setRPY(0.3, 0.0, 0.0);
  expectSameRotation(q, tf2::Quaternion(tf2::Vector3(1, 0, 0), 0.3));
  q.setRPY(0.0, -0.7, 0.0);
  expectSameRotation(q, tf2::Quaternion(tf2::Vector3(0, 1, 0), -0.7));
  q.setRPY(0.0, 0.0, 2.5);
  expectSameRotation(q, tf2::Quaternion(tf2::Vector3(0, 0, 5), 2.5));
}

TEST(Quaternion, SetRpyRotatesRollFirstThenPitchThenYaw) {
  tf2::Quaternion q;
  q.setRPY(0.4, -0.2, 1.1);
  const tf2::Quaternion expected = tf2::Quaternion(tf2::Vector3(0, 0, 1), 1.1) *
                                   tf2::Quaternion(tf2::Vector3(0, 1, 0), -0.2) *
                                   tf2::Quaternion(tf2::Vector3(1, 0, 0), 0.4);
  expectSameRotation(q, expected);
}

TEST(Quaternion, ProductRotatesVectorsLikeTheMatrixProduct) {
  const tf2::Quaternion a(tf2::Vector3(0, 0, 1), kPi / 2);
  const tf2::Quaternion b(tf2::Vector3(1, 0, 0), kPi / 2);
  const tf2::Vector3 v(1.0, 2.0, 3.0);
  // b first, then a.
  expectNear(tf2::quatRotate(a * b, v), tf2::quatRotate(a, tf2::quatRotate(b, v)));
  expectNear(tf2::quatRotate(a * b, v), tf2::Matrix3x3(a) * (tf2::Matrix3x3(b) * v));
  expectNear(tf2::quatRotate(a, tf2::Vector3(1, 0, 0)), tf2::Vector3(0, 1, 0));
}

TEST(Quaternion, NormalizeInverseAndDegenerateInput) {
  tf2::Quaternion q(0.0, 0.0, 3.0, 4.0);
  q.normalize();
  EXPECT_NEAR(q.length(), 1.0, kEps);
  EXPECT_NEAR(q.z(), 0.6, kEps);
  const tf2::Quaternion product = q * q.inverse();
  expectSameRotation(product, tf2::Quaternion::getIdentity());
  // Non-unit input still inverts exactly.
  const tf2::Quaternion scaled(0.2, -0.4, 1.0, 2.0);
  const tf2::Quaternion unit = scaled * scaled.inverse();
  EXPECT_NEAR(unit.w(), 1.0, kEps);
  // A zero quaternion never turns into NaNs.
  tf2::Quaternion zero(0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(zero.normalized(), tf2::Quaternion::getIdentity());
  EXPECT_EQ(tf2::Matrix3x3(zero), tf2::Matrix3x3::getIdentity());
  EXPECT_EQ(tf2::Quaternion(tf2::Vector3(0, 0, 0), 1.0), tf2::Quaternion::getIdentity());
}

TEST(Quaternion, AngleAxisAndSlerp) {
  const tf2::Quaternion q(tf2::Vector3(0, 0, 2), 1.2);
  EXPECT_NEAR(q.getAngle(), 1.2, kEps);
  expectNear(q.getAxis(), tf2::Vector3(0, 0, 1));
  const tf2::Quaternion from(tf2::Vector3(0, 0, 1), 0.2);
  const tf2::Quaternion to(tf2::Vector3(0, 0, 1), 1.0);
  expectSameRotation(from.slerp(to, 0.5), tf2::Quaternion(tf2::Vector3(0, 0, 1), 0.6));
  // The shorter arc is taken when the signs of the two quaternions differ.
  expectSameRotation(from.slerp(-to, 0.25), tf2::Quaternion(tf2::Vector3(0, 0, 1), 0.4));
  EXPECT_NEAR(from.angleShortestPath(to), 0.8, kEps);
}

TEST(Matrix3x3, RpyRoundTripsAwayFromTheSingularity) {
  for (double roll = -3.0; roll <= 3.0; roll += 0.75) {
    for (double pitch = -1.5; pitch <= 1.5; pitch += 0.5) {
      for (double yaw = -3.0; yaw <= 3.0; yaw += 0.75) {
        tf2::Quaternion q;
        q.setRPY(roll, pitch, yaw);
        double r = 0, p = 0, y = 0;
        tf2::Matrix3x3(q).getRPY(r, p, y);
        EXPECT_NEAR(r, roll, 1e-7) << roll << " " << pitch << " " << yaw;
        EXPECT_NEAR(p, pitch, 1e-7) << roll << " " << pitch << " " << yaw;
        EXPECT_NEAR(y, yaw, 1e-7) << roll << " " << pitch << " " << yaw;
        // The second solution is another name for the same rotation.
        tf2::Matrix3x3(q).getRPY(r, p, y, 2);
        tf2::Quaternion again;
        again.setRPY(r, p, y);
        expectSameRotation(again, q);
      }
    }
  }
}

TEST(Matrix3x3, RpyAtGimbalLockGivesAnEquivalentRotation) {
  for (const double pitch : {kPi / 2, -kPi / 2}) {
    tf2::Quaternion q;
    q.setRPY(0.3, pitch, 1.0);
    double r = 0, p = 0, y = 0;
    tf2::Matrix3x3(q).getRPY(r, p, y);
    EXPECT_NEAR(p, pitch, 1e-6);
    EXPECT_DOUBLE_EQ(y, 0.0);
    tf2::Quaternion again;
    again.setRPY(r, p, y);
    expectSameRotation(again, q);
  }
}

TEST(Matrix3x3, QuaternionRoundTripCoversEveryBranch) {
  // Rotations by pi about each axis drive each branch of the conversion.
  const tf2::Quaternion samples[] = {
      tf2::Quaternion(tf2::Vector3(1, 2, 3), 0.5), tf2::Quaternion(tf2::Vector3(1, 0, 0), kPi),
      tf2::Quaternion(tf2::Vector3(0, 1, 0), kPi), tf2::Quaternion(tf2::Vector3(0, 0, 1), kPi),
      tf2::Quaternion(tf2::Vector3(1, 1, 0), 3.0)};
  for (const tf2::Quaternion& q : samples) {
    tf2::Quaternion back;
    tf2::Matrix3x3(q).getRotation(back);
    expectSameRotation(back, q);
  }
}

TEST(Matrix3x3, InverseAndSingularMatrix) {
  const tf2::Matrix3x3 m(2, 0, 1, 0, 3, 0, 1, 0, 1);
  const tf2::Matrix3x3 identity = m * m.inverse();
  for (int i = 0; i < 3; ++i) {
    expectNear(identity[i], tf2::Matrix3x3::getIdentity()[i]);
  }
  EXPECT_THROW(tf2::Matrix3x3(1, 2, 3, 2, 4, 6, 0, 0, 1).inverse(), std::invalid_argument);
}

TEST(Transform, ComposesAndInverts) {
  tf2::Quaternion yaw90;
  yaw90.setRPY(0, 0, kPi / 2);
  const tf2::Transform a(yaw90, tf2::Vector3(1.0, 0.0, 0.0));
  const tf2::Transform b(tf2::Quaternion::getIdentity(), tf2::Vector3(0.0, 2.0, 0.0));
  // b first: (0, 0) -> (0, 2) -> rotated to (-2, 0) -> shifted to (-1, 0).
  expectNear((a * b) * tf2::Vector3(0, 0, 0), tf2::Vector3(-1.0, 0.0, 0.0));
  const tf2::Transform round_trip = a * a.inverse();
  expectNear(round_trip.getOrigin(), tf2::Vector3(0, 0, 0));
  expectSameRotation(round_trip.getRotation(), tf2::Quaternion::getIdentity());
  const tf2::Transform relative = a.inverseTimes(b);
  expectNear(relative * tf2::Vector3(0.5, 0.5, 0), a.inverse() * (b * tf2::Vector3(0.5, 0.5, 0)));
}

TEST(GetYaw, MatchesTheYawOfSetRpyIncludingScaledQuaternions) {
  for (double yaw = -3.1; yaw <= 3.1; yaw += 0.4) {
    geometry_msgs::msg::Quaternion q = msgFromRpy(0.2, -0.3, yaw);
    EXPECT_NEAR(tf2::getYaw(q), yaw, 1e-9);
    q.x *= 3.0;
    q.y *= 3.0;
    q.z *= 3.0;
    q.w *= 3.0;
    EXPECT_NEAR(tf2::getYaw(q), yaw, 1e-9);
  }
  EXPECT_DOUBLE_EQ(tf2::getYaw(geometry_msgs::msg::Quaternion()), 0.0);
}

TEST(GetYaw, SingularityGivesTheWholeHeadingToYaw) {
  // Pitch +-90 degrees: t reaches +-1 and the yaw is read as 2 atan2(y, x).
  for (const double pitch : {kPi / 2, -kPi / 2}) {
    const tf2::Quaternion q = [&] {
      tf2::Quaternion r;
      r.setRPY(0.0, pitch, 0.8);
      return r;
    }();
    const double expected = (pitch > 0 ? 2.0 : -2.0) * std::atan2(q.y(), q.x());
    EXPECT_NEAR(tf2::getYaw(q), expected, kEps);
    double yaw = 0, p = 0, roll = 1;
    tf2::getEulerYPR(q, yaw, p, roll);
    EXPECT_NEAR(yaw, expected, kEps);
    EXPECT_NEAR(p, pitch, kEps);
    EXPECT_DOUBLE_EQ(roll, 0.0);
  }
  // Just inside the threshold the regular formula still applies.
  tf2::Quaternion near_singular;
  near_singular.setRPY(0.0, std::asin(0.99998), 0.5);
  EXPECT_NEAR(tf2::getYaw(near_singular), 0.5, 1e-9);
}

TEST(GetYaw, EulerYprAgreesWithMatrixAwayFromTheSingularity) {
  const geometry_msgs::msg::Quaternion q = msgFromRpy(-0.6, 0.9, 2.2);
  double yaw = 0, pitch = 0, roll = 0;
  tf2::getEulerYPR(q, yaw, pitch, roll);
  EXPECT_NEAR(roll, -0.6, 1e-9);
  EXPECT_NEAR(pitch, 0.9, 1e-9);
  EXPECT_NEAR(yaw, 2.2, 1e-9);
}

TEST(Conversions, MessagesRoundTrip) {
  tf2::Quaternion q;
  q.setRPY(0.1, 0.2, 0.3);
  tf2::Quaternion back;
  tf2::fromMsg(tf2::toMsg(q), back);
  EXPECT_EQ(back, q);

  const tf2::Transform t(q, tf2::Vector3(1, 2, 3));
  tf2::Transform t_back;
  tf2::fromMsg(tf2::toMsg(t), t_back);
  expectNear(t_back.getOrigin(), t.getOrigin());
  expectSameRotation(t_back.getRotation(), q);

  geometry_msgs::msg::Pose pose;
  tf2::toMsg(t, pose);
  EXPECT_DOUBLE_EQ(pose.position.z, 3.0);
  tf2::Transform from_pose;
  tf2::convert(pose, from_pose);
  expectNear(from_pose.getOrigin(), t.getOrigin());
}

TEST(Conversions, DoTransformMovesPosesAndKeepsTheTransformHeader) {
  geometry_msgs::msg::TransformStamped map_from_base;
  map_from_base.header.frame_id = "map";
  map_from_base.header.stamp.sec = 7;
  map_from_base.child_frame_id = "base_link";
  map_from_base.transform.translation.x = 2.0;
  map_from_base.transform.rotation = msgFromRpy(0, 0, kPi / 2);

  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "base_link";
  in.pose.position.x = 1.0;
  in.pose.orientation = msgFromRpy(0, 0, 0.25);
  geometry_msgs::msg::PoseStamped out;
  tf2::doTransform(in, out, map_from_base);
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_EQ(out.header.stamp.sec, 7);
  EXPECT_NEAR(out.pose.position.x, 2.0, kEps);
  EXPECT_NEAR(out.pose.position.y, 1.0, kEps);
  EXPECT_NEAR(tf2::getYaw(out.pose.orientation), kPi / 2 + 0.25, kEps);
}

TEST(Time, SecondsConversionsRoundToTheNanosecond) {
  EXPECT_EQ(tf2::durationFromSec(1.5).count(), 1500000000);
  EXPECT_EQ(tf2::durationFromSec(-0.25).count(), -250000000);
  EXPECT_EQ(tf2::durationFromSec(0.1).count(), 100000000);
  EXPECT_DOUBLE_EQ(tf2::timeToSec(tf2::timeFromSec(2.5)), 2.5);
  EXPECT_EQ(tf2::timeFromSec(0.0), tf2::TimePointZero);
  EXPECT_EQ(tf2::displayTimePoint(tf2::timeFromSec(3.000000007)), "3.000000007");
  EXPECT_EQ(tf2::displayTimePoint(tf2::timeFromSec(-1.5)), "-1.500000000");
  EXPECT_THROW(tf2::durationFromSec(std::nan("")), std::invalid_argument);
  EXPECT_THROW(tf2::durationFromSec(1e300), std::invalid_argument);
}
