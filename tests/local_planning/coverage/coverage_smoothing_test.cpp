// The coverage smoothing steps, and the static coverage planner's pathSmooter built on them.
#include "local_planning/coverage/coverage_fixtures.hpp"
#include "vantrell_nav2_smoother/testing/path_smoother_faults.hpp"

namespace static_coverage_test {
namespace {

using planning::CoverageSmoothing;
using SmootherFaults = vantrell_nav2_smoother::testing::PathSmootherFaults;

// Poses through the given corners, `step` apart along each leg.
NavPath polyline(const std::vector<std::pair<double, double>>& corners, double step = 0.05) {
  NavPath path;
  path.header.frame_id = "map";
  for (std::size_t i = 1; i < corners.size(); ++i) {
    NavPath leg = line(corners[i - 1].first, corners[i - 1].second, corners[i].first,
                       corners[i].second, step);
    path.poses.insert(path.poses.end(), leg.poses.begin() + (i > 1 ? 1 : 0), leg.poses.end());
  }
  return path;
}

class SmoothingFixture : public PlannerFixture {
 protected:
  void SetUp() override {
    PlannerFixture::SetUp();
    SmootherFaults::reset();
  }
  void TearDown() override { SmootherFaults::reset(); }

  // The steps as the static planner configures them, on the local map.
  CoverageSmoothing smoothing() const {
    return CoverageSmoothing(maps_.local, std::make_shared<planning::PathProduct>(),
                             {"StaticCoveragePlanning", kCell, 0.15, 0.3, 3.0});
  }
};

TEST_F(SmoothingFixture, CutsAnInsideCornerBehindTheRobotOrTightNearObstacles) {
  cv::Mat floor = room(80, 60);
  build(floor);
  const auto steps = smoothing();
  // Facing east, the path turns back north-west: the corner lies behind the robot's heading.
  NavPath back = polyline({{2.0, 1.0}, {1.8, 1.3}, {1.0, 1.3}});
  const std::size_t before = back.poses.size();
  const std::size_t corner = steps.cornerIndex(back, 0.8);
  ASSERT_TRUE(steps.cutInsideCorner(back, false, 0.8, pose(2.0, 1.0, 0.0)));
  EXPECT_EQ(back.poses.size(), before - (corner - 2));
  EXPECT_EQ(countLogged("del_theta2 "), 1);

  // Heading along the first leg, the corner is cut only with obstacles near and enough bulge.
  NavPath left = polyline({{2.0, 1.0}, {2.0, 1.5}, {2.6, 1.5}});
  NavPath kept = left;
  EXPECT_FALSE(steps.cutInsideCorner(kept, false, 0.8, pose(2.0, 1.0, M_PI / 2)));
  EXPECT_EQ(kept, left);
  EXPECT_TRUE(steps.cutInsideCorner(left, true, 0.8, pose(2.0, 1.0, M_PI / 2)));

  // A chord that passes the wall within the robot's half width is no shortcut.
  wall(floor, 35, 25, 37, 27);
  build(floor);
  NavPath blocked = polyline({{2.0, 1.0}, {1.8, 1.3}, {1.0, 1.3}});
  const NavPath original = blocked;
  EXPECT_FALSE(smoothing().cutInsideCorner(blocked, true, 0.8, pose(2.0, 1.0, 0.0)));
  EXPECT_EQ(blocked, original);
}

TEST_F(SmoothingFixture, StraightensDetoursThatBulgeLeftOrBarelyRight) {
  build(room(140, 60));
  const auto steps = smoothing();
  NavPath straight = line(1.0, 1.5, 3.0, 1.5);
  steps.removeConcavePoints(straight, maps_.local, 0.6, 0.01, false);
  ASSERT_EQ(straight.poses.size(), 2U);
  EXPECT_DOUBLE_EQ(straight.poses[0].pose.position.x, 1.0);
  EXPECT_EQ(countLogged("StaticCoveragePlanning::removeConcavePoints local use time is  "), 1);

  // Longer than the straighten limit: a pose is kept on the way.
  NavPath longer = line(1.0, 1.5, 5.5, 1.5);
  steps.removeConcavePoints(longer, maps_.local, 0.6, 0.01, true);
  EXPECT_EQ(longer.poses.size(), 3U);
  EXPECT_EQ(countLogged("StaticCoveragePlanning::removeConcavePoints global use time is  "), 1);

  // Poses near the wall stay; the last of them is then appended a second time.
  NavPath to_wall = line(3.0, 1.5, 6.5, 1.5);
  steps.removeConcavePoints(to_wall, maps_.local, 0.6, 0.01, false);
  ASSERT_GT(to_wall.poses.size(), 3U);
  EXPECT_EQ(to_wall.poses[to_wall.poses.size() - 1], to_wall.poses[to_wall.poses.size() - 2]);

  // Going east, a bump to the left is straightened, one to the right beyond the offset stays.
  NavPath left = polyline({{1.0, 1.5}, {1.5, 1.6}, {2.0, 1.5}, {3.0, 1.5}});
  steps.removeConcavePoints(left, maps_.local, 0.6, 0.01, false);
  EXPECT_EQ(left.poses.size(), 2U);
  NavPath right = polyline({{1.0, 1.5}, {1.5, 1.4}, {2.0, 1.5}, {3.0, 1.5}});
  steps.removeConcavePoints(right, maps_.local, 0.6, 0.01, false);
  EXPECT_GT(right.poses.size(), 2U);
}

TEST_F(SmoothingFixture, PathSmootherBranches) {
  build(room(100, 60), {rclcpp::Parameter("skip_smoother", true)});
  NavPath any = line(1.0, 1.0, 2.0, 1.0);
  const NavPath untouched = any;
  EXPECT_TRUE(planner_->pathSmooter(any));
  EXPECT_EQ(any, untouched);

  build(room(100, 60));
  placeRobot(1.0, 1.0);
  planner_->updateRobotPose();
  NavPath empty;
  EXPECT_TRUE(planner_->pathSmooter(empty));
  EXPECT_TRUE(empty.poses.empty());

  // One or two poses: driven from the robot, resampled at 0.02 m, in the robot's frame.
  NavPath two = line(1.1, 1.0, 1.2, 1.0, 0.1);
  EXPECT_TRUE(planner_->pathSmooter(two));
  EXPECT_EQ(two.header.frame_id, "map");
  EXPECT_DOUBLE_EQ(two.poses.front().pose.position.x, 1.0);
  EXPECT_GE(two.poses.size(), 10U);
  EXPECT_EQ(countLogged("resample local path finish, x: "), static_cast<int>(two.poses.size()));

  // A longer path starts at the robot; a failing smoother is reported, the path still processed.
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    SmootherFaults::failNext(fail ? 1 : 0);
    NavPath row = line(1.0, 1.0, 3.0, 1.0);
    EXPECT_EQ(planner_->pathSmooter(row), !fail);
    EXPECT_DOUBLE_EQ(row.poses.front().pose.position.x, 1.0);
    EXPECT_GT(row.poses.size(), 30U);
  }
  EXPECT_EQ(countLogged("StaticCoveragePlanning path smooth failed !!!!!!"), 1);
}

TEST_F(SmoothingFixture, SmoothsFromTheLastGoodPoseNeverFromTheOrigin) {
  build(room(100, 60));
  const NavPath row = line(1.0, 1.0, 3.0, 1.0);
  // No pose ever: nothing is smoothed and the cycle fails.
  for (const auto& map : {maps_.global, maps_.local, maps_.zone}) {
    gm::removeRobotPose(*map);
  }
  NavPath first = row;
  EXPECT_FALSE(planner_->pathSmooter(first));
  EXPECT_EQ(first, row);
  PathSmoother smoother(node_, maps_.local);
  EXPECT_FALSE(
      smoothing().runPathSmoother(smoother, first, {0.3, 0.5, 0, 0, 0.005, 0.3, 0.05}, nullptr));
  EXPECT_EQ(first, row);
  EXPECT_EQ(countLogged("StaticCoveragePlanning::pathSmooter no robot pose, the path is not"), 2);

  // The local map loses the pose: the planner's last one stands in.
  placeRobot(1.0, 1.0);
  planner_->updateRobotPose();
  gm::removeRobotPose(*maps_.local);
  NavPath second = row;
  EXPECT_TRUE(planner_->pathSmooter(second));
  EXPECT_EQ(countLogged("smoothing from the last known pose"), 1);
  EXPECT_NEAR(second.poses[1].pose.position.x, 1.0, 0.1);

  // Every map loses it: a path with a corner is smoothed from the last one, and the corner is
  // not searched for, since each try would ask for the pose again, and wait.
  gm::removeRobotPose(*maps_.global);
  NavPath corner = row;
  const NavPath up = line(3.0, 1.05, 3.0, 2.0);
  corner.poses.insert(corner.poses.end(), up.poses.begin(), up.poses.end());
  EXPECT_TRUE(planner_->pathSmooter(corner));
  EXPECT_EQ(countLogged("[ContourManager]updateRobotPose , getRobotPose is failed"), 1);
}

}  // namespace
}  // namespace static_coverage_test
