#include "tf2/buffer_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2/utils.h"
#include "tf2_testing/transforms.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEps = 1e-9;

using tf2_testing::makeTransform;

double stampSec(const geometry_msgs::msg::TransformStamped& t) {
  return t.header.stamp.sec + t.header.stamp.nanosec * 1e-9;
}

class BufferCoreTest : public ::testing::Test {
 protected:
  // map -> odom -> base_link -> laser, and base_link -> camera.
  void SetUp() override {
    ASSERT_TRUE(buffer_.setTransform(makeTransform("map", "odom", 10.0, 0.0, kPi / 2), "test"));
    ASSERT_TRUE(buffer_.setTransform(makeTransform("odom", "base_link", 1.0, 2.0, 0.0), "test"));
    ASSERT_TRUE(
        buffer_.setTransform(makeTransform("base_link", "laser", 0.5, 0.0, 0.0), "test", true));
    ASSERT_TRUE(
        buffer_.setTransform(makeTransform("base_link", "camera", 0.0, 0.3, kPi), "test", true));
  }

  tf2::BufferCore buffer_;
};

}  // namespace

TEST_F(BufferCoreTest, LooksUpThroughAChainOfFrames) {
  const auto t = buffer_.lookupTransform("map", "base_link", tf2::TimePointZero);
  EXPECT_EQ(t.header.frame_id, "map");
  EXPECT_EQ(t.child_frame_id, "base_link");
  // odom is turned by 90 degrees in map: (1, 2) in odom is (-2, 1) in map.
  EXPECT_NEAR(t.transform.translation.x, 8.0, kEps);
  EXPECT_NEAR(t.transform.translation.y, 1.0, kEps);
  EXPECT_NEAR(tf2::getYaw(t.transform.rotation), kPi / 2, kEps);

  const auto laser = buffer_.lookupTransform("map", "laser", tf2::TimePointZero);
  EXPECT_NEAR(laser.transform.translation.x, 8.0, kEps);
  EXPECT_NEAR(laser.transform.translation.y, 1.5, kEps);
}

TEST_F(BufferCoreTest, ReverseLookupIsTheInverse) {
  const auto t = buffer_.lookupTransform("base_link", "map", tf2::TimePointZero);
  EXPECT_EQ(t.header.frame_id, "base_link");
  EXPECT_EQ(t.child_frame_id, "map");
  // The map origin seen from the robot at (8, 1) heading +y.
  EXPECT_NEAR(t.transform.translation.x, -1.0, kEps);
  EXPECT_NEAR(t.transform.translation.y, 8.0, kEps);
  EXPECT_NEAR(tf2::getYaw(t.transform.rotation), -kPi / 2, kEps);
}

TEST_F(BufferCoreTest, LooksUpBetweenSiblingBranches) {
  const auto t = buffer_.lookupTransform("camera", "laser", tf2::TimePointZero);
  // The laser at (0.5, 0) of base_link, seen from the camera at (0, 0.3)
  // turned by pi.
  EXPECT_NEAR(t.transform.translation.x, -0.5, kEps);
  EXPECT_NEAR(t.transform.translation.y, 0.3, kEps);
  EXPECT_NEAR(std::fabs(tf2::getYaw(t.transform.rotation)), kPi, kEps);
}

TEST_F(BufferCoreTest, SameFrameIsTheIdentity) {
  const auto t = buffer_.lookupTransform("odom", "odom", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(t.transform.translation.x, 0.0);
  EXPECT_DOUBLE_EQ(t.transform.rotation.w, 1.0);
}

TEST_F(BufferCoreTest, UnknownFrameIsALookupError) {
  EXPECT_THROW(buffer_.lookupTransform("map", "gripper", tf2::TimePointZero), tf2::LookupException);
  EXPECT_THROW(buffer_.lookupTransform("gripper", "gripper", tf2::TimePointZero),
               tf2::LookupException);
  // Every lookup error is a TransformException to the callers that catch it.
  EXPECT_THROW(buffer_.lookupTransform("nowhere", "map", tf2::TimePointZero),
               tf2::TransformException);
  std::string error;
  EXPECT_FALSE(buffer_.canTransform("map", "gripper", tf2::TimePointZero, &error));
  EXPECT_NE(error.find("gripper"), std::string::npos);
  EXPECT_TRUE(buffer_.canTransform("map", "camera", tf2::TimePointZero));
}

TEST_F(BufferCoreTest, DisconnectedTreesAreAConnectivityError) {
  ASSERT_TRUE(buffer_.setTransform(makeTransform("world", "dock", 1.0, 1.0, 0.0), "test"));
  EXPECT_THROW(buffer_.lookupTransform("map", "dock", tf2::TimePointZero),
               tf2::ConnectivityException);
  EXPECT_THROW(buffer_.lookupTransform("laser", "world", tf2::TimePointZero),
               tf2::ConnectivityException);
  // Joining the trees makes the same lookup succeed.
  ASSERT_TRUE(buffer_.setTransform(makeTransform("map", "world", 0.0, 0.0, 0.0), "test"));
  EXPECT_NEAR(buffer_.lookupTransform("map", "dock", tf2::TimePointZero).transform.translation.x,
              1.0, kEps);
}

TEST_F(BufferCoreTest, MalformedFrameIdsAreInvalidArguments) {
  EXPECT_THROW(buffer_.lookupTransform("", "odom", tf2::TimePointZero),
               tf2::InvalidArgumentException);
  EXPECT_THROW(buffer_.lookupTransform("/map", "odom", tf2::TimePointZero),
               tf2::InvalidArgumentException);
}

TEST_F(BufferCoreTest, ALoopIsReportedInsteadOfWalkedForever) {
  // base_link is map's parent now as well as its descendant.
  ASSERT_TRUE(buffer_.setTransform(makeTransform("laser", "map", 0.0, 0.0, 0.0), "test"));
  EXPECT_THROW(buffer_.lookupTransform("odom", "camera", tf2::TimePointZero), tf2::LookupException);
}

TEST_F(BufferCoreTest, RejectsBadTransformsAndKeepsTheOldOnes) {
  auto nan = makeTransform("odom", "base_link", std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(buffer_.setTransform(nan, "test"));
  auto denormalized = makeTransform("odom", "base_link", 0.0, 0.0, 0.0);
  denormalized.transform.rotation.w = 2.0;
  EXPECT_FALSE(buffer_.setTransform(denormalized, "test"));
  EXPECT_FALSE(buffer_.setTransform(makeTransform("odom", "odom", 0.0, 0.0, 0.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(makeTransform("", "base_link", 0.0, 0.0, 0.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(makeTransform("odom", "", 0.0, 0.0, 0.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(makeTransform("/odom", "base_link", 0.0, 0.0, 0.0), "test"));
  const auto t = buffer_.lookupTransform("odom", "base_link", tf2::TimePointZero);
  EXPECT_NEAR(t.transform.translation.x, 1.0, kEps);
  EXPECT_FALSE(buffer_._frameExists(""));
}

TEST(BufferCoreTime, LatestLookupUsesTheNewestTimeCommonToTheChain) {
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "odom", 0.0, 0.0, 0.0, 1.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "odom", 2.0, 0.0, 0.0, 3.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("odom", "base", 0.0, 0.0, 0.0, 1.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("odom", "base", 0.0, 4.0, 0.0, 2.0), "test"));
  const auto t = buffer.lookupTransform("map", "base", tf2::TimePointZero);
  // base is known up to 2 s; odom at 2 s lies half way between its samples.
  EXPECT_DOUBLE_EQ(stampSec(t), 2.0);
  EXPECT_NEAR(t.transform.translation.x, 1.0, kEps);
  EXPECT_NEAR(t.transform.translation.y, 4.0, kEps);
}

TEST(BufferCoreTime, InterpolatesTranslationAndRotation) {
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0, 10.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 4.0, -2.0, 1.0, 12.0), "test"));
  const auto t = buffer.lookupTransform("map", "base", tf2::timeFromSec(10.5));
  EXPECT_NEAR(t.transform.translation.x, 1.0, kEps);
  EXPECT_NEAR(t.transform.translation.y, -0.5, kEps);
  EXPECT_NEAR(tf2::getYaw(t.transform.rotation), 0.25, kEps);
  // A stored stamp is returned exactly.
  const auto exact = buffer.lookupTransform("base", "map", tf2::timeFromSec(12.0));
  EXPECT_NEAR(tf2::getYaw(exact.transform.rotation), -1.0, kEps);
}

TEST(BufferCoreTime, TimesOutsideTheHistoryAreExtrapolationErrors) {
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0, 10.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 1.0, 0.0, 0.0, 11.0), "test"));
  EXPECT_THROW(buffer.lookupTransform("map", "base", tf2::timeFromSec(11.5)),
               tf2::ExtrapolationException);
  EXPECT_THROW(buffer.lookupTransform("map", "base", tf2::timeFromSec(9.0)),
               tf2::ExtrapolationException);
  EXPECT_FALSE(buffer.canTransform("map", "base", tf2::timeFromSec(12.0)));
}

TEST(BufferCoreTime, StaticTransformsHoldAtEveryTime) {
  tf2::BufferCore buffer;
  ASSERT_TRUE(
      buffer.setTransform(makeTransform("base", "laser", 0.2, 0.0, 0.0, 1.0), "test", true));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 3.0, 0.0, 0.0, 50.0), "test"));
  EXPECT_NEAR(
      buffer.lookupTransform("base", "laser", tf2::timeFromSec(1000.0)).transform.translation.x,
      0.2, kEps);
  const auto t = buffer.lookupTransform("map", "laser", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(stampSec(t), 50.0);
  EXPECT_NEAR(t.transform.translation.x, 3.2, kEps);
  // Only static transforms on the way: the result carries time zero.
  EXPECT_DOUBLE_EQ(stampSec(buffer.lookupTransform("base", "laser", tf2::TimePointZero)), 0.0);
}

TEST(BufferCoreTime, OldDataFallsOutOfTheCacheWindow) {
  tf2::BufferCore buffer(tf2::durationFromSec(5.0));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0, 10.0), "test"));
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 1.0, 0.0, 0.0, 20.0), "test"));
  EXPECT_THROW(buffer.lookupTransform("map", "base", tf2::timeFromSec(12.0)),
               tf2::ExtrapolationException);
  // Older than the window behind the newest transform: refused.
  EXPECT_FALSE(buffer.setTransform(makeTransform("map", "base", 9.0, 0.0, 0.0, 14.0), "test"));
  // A repeated stamp replaces the stored transform.
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 7.0, 0.0, 0.0, 20.0), "test"));
  EXPECT_NEAR(buffer.lookupTransform("map", "base", tf2::TimePointZero).transform.translation.x,
              7.0, kEps);
}

TEST(BufferCoreTime, ClearForgetsEverything) {
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(makeTransform("map", "base", 0.0, 0.0, 0.0), "test"));
  EXPECT_TRUE(buffer._frameExists("map"));
  EXPECT_NE(buffer.allFramesAsString().find("Frame base exists with parent map."),
            std::string::npos);
  buffer.clear();
  EXPECT_FALSE(buffer._frameExists("map"));
  EXPECT_THROW(buffer.lookupTransform("map", "base", tf2::TimePointZero), tf2::LookupException);
}
