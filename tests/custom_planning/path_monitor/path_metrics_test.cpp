#include "planning/custom_planning/path_metrics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using geometry_msgs::msg::PoseStamped;
using nav_msgs::msg::Path;
using planning::custom_planning::cal_point2path;
using planning::custom_planning::cal_pos_dis;
using planning::custom_planning::compare_paths;

PoseStamped at(double x, double y, double z = 0.0) {
  PoseStamped p;
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.position.z = z;
  return p;
}

// Poses every `step` metres along x from `x0`, at height y.
Path straight(double x0, double y, int poses, double step = 0.1) {
  Path path;
  for (int i = 0; i < poses; ++i) {
    path.poses.push_back(at(x0 + i * step, y));
  }
  return path;
}

TEST(PathMetrics, PlanarDistanceIgnoresHeight) {
  EXPECT_DOUBLE_EQ(cal_pos_dis(at(0, 0, 5), at(3, 4, -2)), 5.0);
  EXPECT_DOUBLE_EQ(cal_pos_dis(at(1, 1), at(1, 1)), 0.0);
}

TEST(PathMetrics, PointToPathIsTheNearestPose) {
  const Path path = straight(0.0, 0.0, 11);
  EXPECT_NEAR(cal_point2path(path, at(0.52, 0.3)), std::hypot(0.02, 0.3), 1e-12);
  EXPECT_NEAR(cal_point2path(path, at(-1.0, 0.0)), 1.0, 1e-12);
  EXPECT_EQ(cal_point2path(Path(), at(0, 0)), std::numeric_limits<double>::max());
  EXPECT_EQ(cal_point2path(Path(), at(0, 0)), 1.7976931348623157e308);
}

TEST(PathMetrics, ComparePathsOfIdenticalAndShiftedPaths) {
  const Path path = straight(0.0, 0.0, 40);
  EXPECT_DOUBLE_EQ(compare_paths(path, path, 1.5), 0.0);
  EXPECT_NEAR(compare_paths(path, straight(0.0, 0.3, 40), 1.5), 0.3, 1e-12);
  EXPECT_EQ(compare_paths(Path(), path, 1.5), -1.0);
  EXPECT_EQ(compare_paths(path, Path(), 1.5), -1.0);
}

TEST(PathMetrics, ComparePathsAveragesOnlyTheFirstLengthOfB) {
  // a: along y = 0 from x = 0 to 3.9. b: starts on a, leaves it after 1 m.
  const Path a = straight(0.0, 0.0, 40);
  Path b = straight(0.0, 0.0, 11);  // x = 0 .. 1.0 on a
  for (int i = 1; i <= 10; ++i) {
    b.poses.push_back(at(1.0, i * 1.0));  // then straight up, far from a
  }
  // Length 0.95 is reached at x = 1.0: 11 poses, all on a.
  EXPECT_NEAR(compare_paths(a, b, 0.95), 0.0, 1e-12);
  // Length 1.5 is reached at the first up-pose (1 m off a): 1 / 12.
  EXPECT_NEAR(compare_paths(a, b, 1.5), 1.0 / 12.0, 1e-12);
  // A length beyond b takes all of b.
  double all = 0.0;
  for (int i = 1; i <= 10; ++i) {
    all += i;
  }
  EXPECT_NEAR(compare_paths(a, b, 1000.0), all / 21.0, 1e-12);
  // Length 0 stops at the first pose.
  EXPECT_NEAR(compare_paths(straight(0.0, 0.5, 3), b, 0.0), 0.5, 1e-12);
}

}  // namespace
