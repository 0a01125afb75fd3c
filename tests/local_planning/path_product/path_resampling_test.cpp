// Respacing, densifying and orienting paths.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"
#include "support/log_capture.hpp"

namespace {

using path_product_test::pathOf;
using path_product_test::pose;
using path_product_test::yawOf;

class PathResampling : public path_product_test::ToolboxTest {};

TEST_F(PathResampling, OnePoseIsLeftAloneWithAWarning) {
  auto path = pathOf({{1.0, 2.0}});
  const auto before = path;
  const auto copy = product_.resamplePath(path, 0.1f);
  EXPECT_EQ(path, before);
  EXPECT_EQ(copy, before);
  EXPECT_TRUE(path_product_test::logged(
      *log_, "[WARN] PathProduct::resamplePath is too short, path size is 1"));
}

TEST_F(PathResampling, StepsAlongAStraightSegmentAndKeepsTheLastPose) {
  auto path = pathOf({{0.0, 0.0}, {0.25, 0.0}});
  const auto copy = product_.resamplePath(path, 0.1f);
  ASSERT_EQ(path.poses.size(), 4u);
  EXPECT_EQ(copy, path);
  const double expected[] = {0.0, 0.1, 0.2, 0.25};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(path.poses[i].pose.position.x, expected[i], 1e-6) << i;
    EXPECT_EQ(path.poses[i].pose.position.y, 0.0);
    const auto& q = path.poses[i].pose.orientation;
    EXPECT_EQ(q.x, 0.0);
    EXPECT_EQ(q.y, 0.0);
    EXPECT_EQ(q.z, 0.0);
    EXPECT_EQ(q.w, 1.0);
  }
  EXPECT_EQ(path.poses[3].pose.position.x, 0.25);
}

TEST_F(PathResampling, NewPosesComeFromSinglePrecisionChords) {
  auto path = pathOf({{0.5, 0.25}, {0.8, 0.95}});
  product_.resamplePath(path, 0.13f);
  // Chord, length, ratio and offset in float; only the sum is in double.
  const float dx = static_cast<float>(0.8 - 0.5);
  const float dy = static_cast<float>(0.95 - 0.25);
  const float d = std::sqrt(dx * dx + dy * dy);
  const float ratio = 0.13f / d;
  ASSERT_GE(path.poses.size(), 3u);
  EXPECT_EQ(path.poses[1].pose.position.x, 0.5 + dx * ratio);
  EXPECT_EQ(path.poses[1].pose.position.y, 0.25 + dy * ratio);
  const double in_double = 0.5 + 0.3 * (static_cast<double>(0.13f) / std::hypot(0.3, 0.7));
  EXPECT_NE(path.poses[1].pose.position.x, in_double);
}

TEST_F(PathResampling, CutsTheCornerOfAnLShapeByAChord) {
  auto path = pathOf({{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}});
  product_.resamplePath(path, 0.4f);
  const auto& poses = path.poses;
  ASSERT_EQ(poses.size(), 6u);
  EXPECT_NEAR(poses[1].pose.position.x, 0.4, 1e-6);
  EXPECT_NEAR(poses[2].pose.position.x, 0.8, 1e-6);
  // The chord from (0.8, 0) to (1, 1) carries the rest; (1, 0) never appears.
  for (size_t i = 3; i < 5; ++i) {
    const double x = poses[i].pose.position.x;
    const double y = poses[i].pose.position.y;
    EXPECT_NEAR((x - 0.8) * 1.0 - y * 0.2, 0.0, 1e-6) << i;
    EXPECT_NEAR(std::hypot(x - poses[i - 1].pose.position.x, y - poses[i - 1].pose.position.y), 0.4,
                1e-6)
        << i;
  }
  for (const auto& p : poses) {
    EXPECT_FALSE(p.pose.position.x == 1.0 && p.pose.position.y == 0.0);
  }
  EXPECT_EQ(poses[5].pose.position.x, 1.0);
  EXPECT_EQ(poses[5].pose.position.y, 1.0);
  // Inner poses look back along the path; the ends copy their neighbours.
  EXPECT_NEAR(yawOf(poses[3]), std::atan2(1.0, 0.2), 1e-5);
  EXPECT_NEAR(yawOf(poses[2]), 0.0, 1e-9);
  EXPECT_EQ(poses[0].pose.orientation, poses[1].pose.orientation);
  EXPECT_EQ(poses[5].pose.orientation, poses[4].pose.orientation);
  EXPECT_NEAR(yawOf(poses[4]), std::atan2(1.0, 0.2), 1e-5);
}

TEST_F(PathResampling, ShortPathKeepsItsEndsHeadedFromFirstToLast) {
  auto path = pathOf({{0.0, 0.0}, {0.05, 0.0}, {0.1, 0.1}});
  product_.resamplePath(path, 1.0f);
  ASSERT_EQ(path.poses.size(), 2u);
  EXPECT_EQ(path.poses[1].pose.position.x, 0.1);
  EXPECT_NEAR(yawOf(path.poses[0]), M_PI / 4.0, 1e-9);
  EXPECT_NEAR(yawOf(path.poses[1]), M_PI / 4.0, 1e-9);
}

TEST_F(PathResampling, NewPosesAreUnstampedWhileTheEndsKeepTheirHeaders) {
  auto path = pathOf({{0.0, 0.0}, {0.5, 0.0}});
  path.poses[1].header.stamp.sec = 99;
  product_.resamplePath(path, 0.2f);
  ASSERT_EQ(path.poses.size(), 4u);
  EXPECT_EQ(path.poses[0].header.frame_id, "map");
  EXPECT_EQ(path.poses[0].header.stamp.sec, 7);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(path.poses[i].header.frame_id, "") << i;
    EXPECT_EQ(path.poses[i].header.stamp.sec, 0) << i;
    EXPECT_EQ(path.poses[i].header.stamp.nanosec, 0u) << i;
  }
  EXPECT_EQ(path.poses[3].header.frame_id, "map");
  EXPECT_EQ(path.poses[3].header.stamp.sec, 99);
  EXPECT_EQ(path.header.frame_id, "map");
}

TEST_F(PathResampling, StepOfZeroOrLessLeavesThePathAlone) {
  for (const float step : {0.0f, -0.1f, std::nanf("")}) {
    auto path = pathOf({{0.0, 0.0}, {0.5, 0.0}});
    const auto before = path;
    EXPECT_EQ(product_.resamplePath(path, step), before);
    EXPECT_EQ(path, before);
  }
}

TEST_F(PathResampling, StepBelowTheSpacingOfDoublesEnds) {
  auto path = pathOf({{1e9, 0.0}, {1e9 + 1.0, 0.0}});
  product_.resamplePath(path, 1e-9f);
  EXPECT_GE(path.poses.size(), 2u);
  EXPECT_EQ(path.poses.back().pose.position.x, 1e9 + 1.0);
}

// A step far below the path's length would rebuild it into more poses than any path may hold:
// refused as fillPath refuses such a gap, the path left as it was.
TEST_F(PathResampling, AStepThatWouldNeedTooManyPosesLeavesThePathAlone) {
  auto path = pathOf({{0.0, 0.0}, {150.0, 0.0}, {150.0, 100.0}});
  const auto before = path;
  EXPECT_EQ(product_.resamplePath(path, 1e-4f), before);
  EXPECT_EQ(path, before);
  EXPECT_TRUE(path_product_test::logged(*log_, "a path holds at most 1000000"));
  EXPECT_EQ(log_->records().back().function, "resamplePath");
}

class FillPathByStep : public PathResampling {};

TEST_F(FillPathByStep, InsertsPosesAlongEachSegment) {
  auto in = pathOf({{0.0, 0.0}, {0.25, 0.0}});
  in.poses[0] = pose(0.0, 0.0, 1.0, "start");
  in.poses[1] = pose(0.25, 0.0, -2.0, "end");
  in.poses[1].header.stamp.sec = 42;
  nav_msgs::msg::Path out;
  out.header.frame_id = "kept";
  ASSERT_TRUE(product_.fillPath(in, 0.1, out));
  ASSERT_EQ(out.poses.size(), 4u);
  EXPECT_EQ(out.header.frame_id, "kept");
  EXPECT_EQ(out.poses[0], in.poses[0]);
  EXPECT_NEAR(out.poses[1].pose.position.x, 0.1, 1e-12);
  EXPECT_NEAR(out.poses[2].pose.position.x, 0.2, 1e-12);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(out.poses[i].header.frame_id, "end");
    EXPECT_EQ(out.poses[i].header.stamp.sec, 42);
    EXPECT_EQ(out.poses[i].pose.orientation.w, 1.0);
    EXPECT_EQ(out.poses[i].pose.orientation.z, 0.0);
  }
  EXPECT_EQ(out.poses[3], in.poses[1]);
}

TEST_F(FillPathByStep, AppendsAfterWhatTheOutputHeld) {
  const auto in = pathOf({{0.0, 0.0}, {0.0, 0.3}});
  nav_msgs::msg::Path out = pathOf({{5.0, 5.0}, {6.0, 6.0}});
  ASSERT_TRUE(product_.fillPath(in, 0.1, out));
  ASSERT_EQ(out.poses.size(), 2u + 4u);
  EXPECT_EQ(out.poses[0].pose.position.x, 5.0);
  EXPECT_EQ(out.poses[1].pose.position.x, 6.0);
  EXPECT_EQ(out.poses[2].pose.position.y, 0.0);
  EXPECT_NEAR(out.poses[3].pose.position.y, 0.1, 1e-12);
  EXPECT_NEAR(yawOf(out.poses[3]), M_PI / 2.0, 1e-12);
  EXPECT_EQ(out.poses[5].pose.position.y, 0.3);
}

TEST_F(FillPathByStep, DropsARepeatedPose) {
  const auto in = pathOf({{0.0, 0.0}, {0.0, 0.0}, {0.05, 0.0}});
  nav_msgs::msg::Path out;
  ASSERT_TRUE(product_.fillPath(in, 0.1, out));
  ASSERT_EQ(out.poses.size(), 2u);
  EXPECT_EQ(out.poses[1].pose.position.x, 0.05);
}

TEST_F(FillPathByStep, RefusesAnEmptyInputOrAStepThatNeverEnds) {
  nav_msgs::msg::Path out = pathOf({{1.0, 1.0}});
  const auto before = out;
  EXPECT_FALSE(product_.fillPath(nav_msgs::msg::Path(), 0.1, out));
  const auto in = pathOf({{0.0, 0.0}, {1.0, 0.0}});
  EXPECT_FALSE(product_.fillPath(in, 0.0, out));
  EXPECT_FALSE(product_.fillPath(in, -0.1, out));
  EXPECT_FALSE(product_.fillPath(in, std::nan(""), out));
  EXPECT_EQ(out, before);
}

TEST_F(FillPathByStep, MayDensifyAPathIntoItself) {
  auto path = pathOf({{0.0, 0.0}, {0.3, 0.0}});
  ASSERT_TRUE(product_.fillPath(path, 0.1, path));
  ASSERT_EQ(path.poses.size(), 2u + 4u);
  EXPECT_EQ(path.poses[2].pose.position.x, 0.0);
  EXPECT_EQ(path.poses[5].pose.position.x, 0.3);
}

class FillPathByGaps : public PathResampling {};

TEST_F(FillPathByGaps, DropsCloseAndSplitsLongGaps) {
  const auto in = pathOf({{0.0, 0.0}, {0.02, 0.0}, {0.3, 0.0}}).poses;
  std::vector<geometry_msgs::msg::PoseStamped> out = {pose(9.0, 9.0)};
  ASSERT_TRUE(product_.fillPath(in, 0.05, 0.1, out));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].pose.position.x, 0.0);
  EXPECT_NEAR(out[1].pose.position.x, 0.1, 1e-12);
  EXPECT_NEAR(out[2].pose.position.x, 0.2, 1e-12);
  EXPECT_EQ(out[3].pose.position.x, 0.3);
}

TEST_F(FillPathByGaps, SplitsEvenWhenTheMinimumGapIsLarger) {
  const auto in = pathOf({{0.0, 0.0}, {0.375, 0.0}, {0.4375, 0.0}, {0.5, 0.0}}).poses;
  std::vector<geometry_msgs::msg::PoseStamped> out;
  ASSERT_TRUE(product_.fillPath(in, 0.5, 0.125, out));
  // 0.4375 is dropped (0.0625 from 0.375), the last pose always stays.
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[1].pose.position.x, 0.125);
  EXPECT_EQ(out[2].pose.position.x, 0.25);
  EXPECT_EQ(out[3].pose.position.x, 0.375);
  EXPECT_EQ(out[4].pose.position.x, 0.5);
}

TEST_F(FillPathByGaps, KeepsTheLastPoseHoweverClose) {
  const auto in = pathOf({{0.0, 0.0}, {0.2, 0.0}, {0.21, 0.0}}).poses;
  std::vector<geometry_msgs::msg::PoseStamped> out;
  ASSERT_TRUE(product_.fillPath(in, 0.05, 1.0, out));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[2].pose.position.x, 0.21);
}

TEST_F(FillPathByGaps, TwoPosesBothTakeTheLastInputOrientation) {
  auto in = pathOf({{0.0, 0.0}, {0.01, 0.0}, {0.5, 0.5}}).poses;
  in[2] = pose(0.5, 0.5, 2.5);
  std::vector<geometry_msgs::msg::PoseStamped> out;
  ASSERT_TRUE(product_.fillPath(in, 0.05, 1.0, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_NEAR(yawOf(out[0]), 2.5, 1e-12);
  EXPECT_NEAR(yawOf(out[1]), 2.5, 1e-12);
}

TEST_F(FillPathByGaps, HeadsInnerPosesAlongThePath) {
  const auto in = pathOf({{0.0, 0.0}, {0.1, 0.0}, {0.1, 0.1}, {0.2, 0.1}}).poses;
  std::vector<geometry_msgs::msg::PoseStamped> out;
  ASSERT_TRUE(product_.fillPath(in, 0.05, 1.0, out));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_NEAR(yawOf(out[1]), 0.0, 1e-12);
  EXPECT_NEAR(yawOf(out[2]), M_PI / 2.0, 1e-12);
  EXPECT_EQ(out[0].pose.orientation, out[1].pose.orientation);
  EXPECT_EQ(out[3].pose.orientation, out[2].pose.orientation);
}

TEST_F(FillPathByGaps, RefusesTooFewPosesOrANonPositiveMaximumGap) {
  std::vector<geometry_msgs::msg::PoseStamped> out = {pose(3.0, 3.0)};
  const auto before = out;
  EXPECT_FALSE(product_.fillPath(pathOf({{0.0, 0.0}}).poses, 0.05, 0.1, out));
  const auto in = pathOf({{0.0, 0.0}, {1.0, 0.0}}).poses;
  EXPECT_FALSE(product_.fillPath(in, 0.05, 0.0, out));
  EXPECT_FALSE(product_.fillPath(in, 0.05, -1.0, out));
  EXPECT_EQ(out, before);
}

// A gap of 1e7 m at 0.1 m would be a hundred million poses: refused, not allocated.
TEST_F(FillPathByGaps, RefusesAGapNoPathCanHoldAndLeavesTheOutputAlone) {
  std::vector<geometry_msgs::msg::PoseStamped> out = pathOf({{7.0, 7.0}}).poses;
  const auto kept = out;
  for (const double far : {1e7, std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(far);
    EXPECT_FALSE(
        product_.fillPath(pathOf({{0.0, 0.0}, {1.0, 0.0}, {far, 0.0}}).poses, 0.05, 0.1, out));
    EXPECT_EQ(out, kept);
  }
  EXPECT_TRUE(path_product_test::logged(*log_, "a path holds at most 1000000"));
  EXPECT_EQ(log_->records().back().function, "fillPath");

  nav_msgs::msg::Path path = pathOf({{7.0, 7.0}});
  EXPECT_FALSE(product_.fillPath(pathOf({{0.0, 0.0}, {0.0, 1e7}}), 0.1, path));
  EXPECT_EQ(path.poses.size(), 1u);
}

TEST_F(FillPathByGaps, PathOverloadKeepsTheHeaderAndMayWorkInPlace) {
  nav_msgs::msg::Path out = pathOf({{7.0, 7.0}});
  out.header.frame_id = "odom";
  ASSERT_TRUE(product_.fillPath(pathOf({{0.0, 0.0}, {0.3, 0.0}}).poses, 0.05, 0.1, out));
  EXPECT_EQ(out.header.frame_id, "odom");
  EXPECT_EQ(out.poses.size(), 4u);

  auto poses = pathOf({{0.0, 0.0}, {0.3, 0.0}}).poses;
  ASSERT_TRUE(product_.fillPath(poses, 0.05, 0.1, poses));
  EXPECT_EQ(poses.size(), 4u);
}

class LocalGoalYaw : public PathResampling {};

TEST_F(LocalGoalYaw, HeadingOfTheSegmentOrTheLastPoseYaw) {
  auto path = pathOf({{0.0, 0.0}, {1.0, 1.0}, {2.0, 1.0}, {3.0, 1.0}, {4.0, 1.0}});
  path.poses[4] = pose(4.0, 1.0, -1.2);
  EXPECT_NEAR(product_.getLocalGoalYaw(path, 0), M_PI / 4.0, 1e-12);
  for (const int index : {1, 4, -1, 100}) {
    EXPECT_NEAR(product_.getLocalGoalYaw(path, index), -1.2, 1e-12) << index;
  }
  path.poses.pop_back();
  path.poses[3] = pose(3.0, 1.0, 0.7);
  for (const int index : {0, 1, 2, 3}) {
    EXPECT_NEAR(product_.getLocalGoalYaw(path, index), 0.7, 1e-12) << index;
  }
}

TEST_F(LocalGoalYaw, PitchedQuaternionTakesTheSingularBranch) {
  // Yaw 0.4, then a pitch of +90 degrees: yaw and roll share one axis, and the
  // yaw comes from 2 * atan2(y, x) alone (the plain formula gives atan2(0, 0)).
  const double s = std::sin(0.2);
  const double c = std::cos(0.2);
  const double r = std::sqrt(0.5);
  auto path = pathOf({{0.0, 0.0}});
  auto& q = path.poses[0].pose.orientation;
  q.x = -s * r;
  q.y = c * r;
  q.z = s * r;
  q.w = c * r;
  EXPECT_NEAR(std::remainder(product_.getLocalGoalYaw(path, 0) - (M_PI + 0.4), 2.0 * M_PI), 0.0,
              1e-12);
  // A pure pitch of -90 degrees takes the other branch.
  q.x = 0.0;
  q.y = -r;
  q.z = 0.0;
  q.w = r;
  EXPECT_NEAR(product_.getLocalGoalYaw(path, 0), M_PI, 1e-12);
}

TEST_F(LocalGoalYaw, EmptyPathGivesZero) {
  EXPECT_EQ(product_.getLocalGoalYaw(nav_msgs::msg::Path(), 0), 0.0);
}

class ForceGlobalPath : public PathResampling {};

TEST_F(ForceGlobalPath, SplitsTheLineIntoWholeSteps) {
  const auto start = pose(0.0, 0.0, 0.9);
  const auto path = product_.generateForceGlobalPath(0.3, start, pose(1.0, 0.0, -3.0));
  ASSERT_EQ(path.nav_path.poses.size(), 4u);
  const double expected[] = {0.0, 1.0 / 3.0, 2.0 / 3.0, 1.0};
  for (size_t k = 0; k < 4; ++k) {
    const auto& p = path.nav_path.poses[k];
    EXPECT_NEAR(p.pose.position.x, expected[k], 1e-12);
    EXPECT_EQ(p.pose.orientation, start.pose.orientation);
    EXPECT_EQ(p.header.frame_id, "");
    EXPECT_EQ(p.header.stamp.sec, 0);
  }
  EXPECT_EQ(path.nav_path.poses[3].pose.position.x, 1.0);
  EXPECT_FLOAT_EQ(path.tolerance, 0.2f);
  EXPECT_FALSE(path.move_backward);
  EXPECT_FALSE(path.check_blocked);
  EXPECT_EQ(path.path_type, 0);
  EXPECT_EQ(path.nav_path.header.frame_id, "");
}

TEST_F(ForceGlobalPath, ShortOrDegenerateLinesGiveTheTwoEnds) {
  const auto start = pose(1.0, 1.0);
  for (const double step : {5.0, 0.0, -1.0}) {
    const auto path = product_.generateForceGlobalPath(step, start, pose(2.0, 1.0));
    ASSERT_EQ(path.nav_path.poses.size(), 2u) << step;
    EXPECT_EQ(path.nav_path.poses[0].pose.position.x, 1.0);
    EXPECT_EQ(path.nav_path.poses[1].pose.position.x, 2.0);
  }
  const auto same = product_.generateForceGlobalPath(0.1, start, start);
  EXPECT_EQ(same.nav_path.poses.size(), 2u);
}

// A step that would need more poses than any path may hold keeps the two ends only, as a step
// that gives no count at all does.
TEST_F(ForceGlobalPath, AStepThatWouldNeedTooManyPosesGivesTheTwoEnds) {
  const auto start = pose(0.0, 0.0);
  const auto path = product_.generateForceGlobalPath(1e-4, start, pose(250.0, 0.0));
  ASSERT_EQ(path.nav_path.poses.size(), 2u);
  EXPECT_EQ(path.nav_path.poses[1].pose.position.x, 250.0);
  EXPECT_TRUE(path_product_test::logged(*log_, "a path holds at most 1000000"));
  EXPECT_EQ(product_.generateForceGlobalPath(5e-4, start, pose(250.0, 0.0)).nav_path.poses.size(),
            500001u);
}

}  // namespace
