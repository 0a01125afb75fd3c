#include "planning/custom_planning/uptake_path.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "planning/geometry.hpp"
#include "support/log_capture.hpp"

namespace {

using geometry_msgs::msg::PoseStamped;
using planning::custom_planning::UptakePath;
using planning::custom_planning::UptakePathCase;
using planning::custom_planning::UptakePathParams;

constexpr double kPi = 3.141592653589793;

PoseStamped pose(double x, double y, const std::string& frame = "") {
  return planning::geometry::planarPose(x, y, 0.0, frame);
}

double heading(const PoseStamped& p) { return p.pose.orientation.z; }

class UptakePathTest : public ::testing::Test {
 protected:
  void SetUp() override { log_ = test_support::clearedLog(); }

  // A 20 m x 20 m map at 5 cm, free everywhere unless the test says otherwise.
  std::vector<PoseStamped> run(PoseStamped near, PoseStamped far, const PoseStamped& robot,
                               const UptakePathParams& params = UptakePathParams()) {
    UptakePath uptake(params, costmap_);
    std::vector<PoseStamped> path{near, far};
    uptake.computeUptakePath(mask_, path, robot);
    return path;
  }

  bool logged(const std::string& text) {
    const auto texts = log_->texts();
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(text) != std::string::npos; });
  }

  nav2_costmap_2d::Costmap2D costmap_{400, 400, 0.05, 0.0, 0.0};
  cv::Mat mask_{400, 400, CV_8UC1, cv::Scalar(255)};
  std::shared_ptr<test_support::CaptureSink> log_;
};

void expectAt(const PoseStamped& p, double x, double y, double yaw) {
  EXPECT_NEAR(p.pose.position.x, x, 1e-9);
  EXPECT_NEAR(p.pose.position.y, y, 1e-9);
  EXPECT_NEAR(p.pose.position.z, 0.0, 1e-12);
  EXPECT_NEAR(heading(p), yaw, 1e-9);
  EXPECT_EQ(p.pose.orientation.x, 0.0);
  EXPECT_EQ(p.pose.orientation.y, 0.0);
  EXPECT_EQ(p.pose.orientation.w, 1.0);
}

TEST_F(UptakePathTest, OnePointModeFarFromTheZone) {
  const auto path = run(pose(5, 5), pose(8, 5), pose(5, 15));
  ASSERT_EQ(path.size(), 5u);
  expectAt(path[0], 5, 5, -kPi / 2);      // heading from the robot to the corner
  expectAt(path[1], 7.5, 5, 0);           // 0.5 m short of the far corner
  expectAt(path[2], 8.0, 5, 0);           // a forward step further
  expectAt(path[3], 7.0, 5.5, kPi / 2);   // 0.5 m back, 0.5 m to the left
  expectAt(path[4], 7.0, 4.3, -kPi / 2);  // then 1.2 m to the right
  EXPECT_TRUE(logged("water_uptake : task_finish_path_len_ is 8, part 1/2/total dis is 10/3/13"));
  EXPECT_TRUE(logged("water_uptake mode 1: one point, get task_finish_path_len_:8, 10, 0"));
  EXPECT_TRUE(logged("end_point_valid_flag is true, uptake_path_case is 0"));
  EXPECT_TRUE(logged("修改吸水路径模式"));
  EXPECT_TRUE(logged("return path_vec size is 5"));
}

TEST_F(UptakePathTest, TwoPointModePullsTheFarCornerBack) {
  const auto path = run(pose(2, 10), pose(11, 10), pose(2, 12));
  ASSERT_EQ(path.size(), 5u);
  EXPECT_TRUE(logged("water_uptake mode 2: two points, get task_finish_path_len_:8, 2, 6"));
  EXPECT_TRUE(logged("uptake_path_case is 1"));
  // The end point follows the unshortened diagonal: 5 m, the longest repeat move.
  expectAt(path[1], 7, 10, 0);
  expectAt(path[2], 7.5, 10, 0);
}

TEST_F(UptakePathTest, TwoPointModeKeepsAShortDiagonal) {
  const auto path = run(pose(2, 10), pose(6, 10), pose(2, 12));
  EXPECT_TRUE(logged("end_point_valid_flag is true, uptake_path_case is 2"));
  expectAt(path[1], 5.5, 10, 0);
}

TEST_F(UptakePathTest, VeryShortDiagonalEndsOnTheFarCorner) {
  const auto path = run(pose(2, 10), pose(2.3, 10), pose(2, 12));
  expectAt(path[1], 2.3, 10, 0);
}

TEST_F(UptakePathTest, ZeroDiagonalStaysOnTheCorner) {
  const auto path = run(pose(3, 3), pose(3, 3), pose(3, 4));
  ASSERT_EQ(path.size(), 5u);
  expectAt(path[1], 3, 3, 0);
  expectAt(path[2], 3.5, 3, 0);
}

TEST_F(UptakePathTest, SidewaysHeadingsWrapAtPi) {
  // Diagonal pointing up: alpha = pi stays, beta wraps to 0.
  auto up = run(pose(10, 2), pose(10, 5), pose(10, 1));
  EXPECT_NEAR(heading(up[1]), kPi / 2, 1e-12);
  EXPECT_NEAR(heading(up[3]), kPi, 1e-12);
  EXPECT_NEAR(heading(up[4]), 0.0, 1e-12);
  // E at 2.5 m, Q 0.5 m back, S 0.5 m towards -x, R 1.2 m towards +x.
  expectAt(up[3], 9.5, 4.0, kPi);
  expectAt(up[4], 10.7, 4.0, 0.0);

  auto down = run(pose(10, 8), pose(10, 5), pose(10, 9));
  EXPECT_NEAR(heading(down[3]), 0.0, 1e-12);
  EXPECT_NEAR(heading(down[4]), kPi, 1e-12);
}

TEST_F(UptakePathTest, HeadersOfCornersCarryOverSidewaysPosesAreBlank) {
  auto path = run(pose(5, 5, "corner"), pose(8, 5, "corner"), pose(5, 6));
  EXPECT_EQ(path[0].header.frame_id, "corner");
  EXPECT_EQ(path[1].header.frame_id, "corner");
  EXPECT_EQ(path[2].header.frame_id, "corner");
  EXPECT_EQ(path[3].header.frame_id, "");
  EXPECT_EQ(path[4].header.frame_id, "");
  // The near corner faces away from the robot, not along the diagonal.
  EXPECT_NEAR(heading(path[0]), -kPi / 2, 1e-12);
}

TEST_F(UptakePathTest, NarrowFreeAreaFailsTheEndPointTest) {
  // A 1 m wide corridor: the 1.8 m erosion leaves nothing free.
  mask_.setTo(0);
  mask_(cv::Rect(0, 90, 400, 20)).setTo(255);
  const auto path = run(pose(2, 5), pose(5, 5), pose(2, 16));
  ASSERT_EQ(path.size(), 5u);
  EXPECT_TRUE(logged("end_point_valid_flag is false, uptake_path_case is 0"));
  expectAt(path[1], 4.5, 5, 0);
}

TEST_F(UptakePathTest, PulledBackSearchLooksOnlyBeyondTheNewEnd) {
  // Free only near the start of the diagonal: the stretch beyond the pulled-back end is blocked.
  mask_.setTo(0);
  mask_(cv::Rect(0, 0, 170, 400)).setTo(255);
  auto path = run(pose(2, 10), pose(14, 10), pose(2, 12));
  EXPECT_TRUE(logged("end_point_valid_flag is false, uptake_path_case is 1"));

  log_->clear();
  mask_.setTo(255);
  path = run(pose(2, 10), pose(14, 10), pose(2, 12));
  EXPECT_TRUE(logged("end_point_valid_flag is true, uptake_path_case is 1"));
}

TEST_F(UptakePathTest, ErodeRadiusBelowOneCellDoesNotAbort) {
  UptakePathParams params;
  params.costmap_erode_radius = 0.01;
  const auto path = run(pose(2, 5), pose(5, 5), pose(2, 16), params);
  ASSERT_EQ(path.size(), 5u);
  EXPECT_TRUE(logged("end_point_valid_flag is true, uptake_path_case is 0"));
}

TEST_F(UptakePathTest, SearchCandidatesOffTheMapAreSkipped) {
  // The diagonal enters the map from below its origin: the first candidates are skipped.
  auto path = run(pose(-1, 10), pose(2, 10), pose(-1, 0));
  ASSERT_EQ(path.size(), 5u);
  EXPECT_TRUE(logged("end_point_valid_flag is true, uptake_path_case is 0"));

  log_->clear();
  path = run(pose(25, 10), pose(28, 10), pose(25, 0));
  ASSERT_EQ(path.size(), 5u);
  EXPECT_TRUE(logged("end_point_valid_flag is false, uptake_path_case is 0"));
}

TEST_F(UptakePathTest, TooFewCornersLeaveThePathAlone) {
  UptakePath uptake(UptakePathParams(), costmap_);
  std::vector<PoseStamped> path{pose(1, 1)};
  uptake.computeUptakePath(mask_, path, pose(0, 0));
  ASSERT_EQ(path.size(), 1u);
  EXPECT_EQ(path[0].pose.position.x, 1.0);
  EXPECT_TRUE(logged("computeUptakePath needs two corners, got 1"));
}

TEST(ErodeKernelSize, TwiceTheRadiusInCellsClampedToAUsableKernel) {
  EXPECT_EQ(UptakePath::erodeKernelSize(1.8, 0.05, 400), 72);
  EXPECT_EQ(UptakePath::erodeKernelSize(0.07, 0.05, 400), 2);
  EXPECT_EQ(UptakePath::erodeKernelSize(0.01, 0.05, 400), 1);
  EXPECT_EQ(UptakePath::erodeKernelSize(0.0, 0.05, 400), 1);
  EXPECT_EQ(UptakePath::erodeKernelSize(-3.0, 0.05, 400), 1);
  EXPECT_EQ(UptakePath::erodeKernelSize(1.8, 0.0, 400), 1);
  EXPECT_EQ(UptakePath::erodeKernelSize(1.0e9, 0.05, 400), 801);
  EXPECT_EQ(UptakePath::erodeKernelSize(std::nan(""), 0.05, 400), 1);
}

}  // namespace
