#include "vantrell_nav2_common/collision_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

#include "vantrell_nav2_common/spin_collision.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

namespace gm = vantrell_nav2_gridmap::testing;
using Footprint = Collision::CollisionCheck::Footprint;

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

geometry_msgs::msg::Pose2D pose2d(double x, double y, double theta = 0.0) {
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

// 0.6 m long, 0.5 m wide, centred on the robot.
Footprint rectangle(double half_length = 0.3, double half_width = 0.25) {
  return {point(half_length, half_width), point(half_length, -half_width),
          point(-half_length, -half_width), point(-half_length, half_width)};
}

// A drawn map of free cells; the caller draws walls into it.
class DrawnMap {
 public:
  DrawnMap(int cols, int rows, double resolution)
      : image_(rows, cols, CV_8UC1, cv::Scalar(gm::kDrawnFree)), resolution_(resolution) {}

  DrawnMap& fill(int col0, int row0, int col1, int row1, uint8_t value = gm::kDrawnOccupied) {
    for (int r = row0; r <= row1; ++r) {
      for (int c = col0; c <= col1; ++c) {
        image_.at<uint8_t>(r, c) = value;
      }
    }
    return *this;
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> build(const Footprint& footprint) {
    auto map = gm::makeGridMap("collision_test", image_, resolution_);
    gm::setFootprint(*map, footprint);
    map->getMultiGridMap()->updateMap();
    return map;
  }

 private:
  cv::Mat image_;
  double resolution_;
};

TEST(CollisionCheck, OpenSpaceIsFree) {
  auto map = DrawnMap(100, 100, 0.05).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.5, 2.5), true));
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.5, 2.5, 1.0), false));
  EXPECT_EQ(check.getFootprint().size(), 4u);
}

TEST(CollisionCheck, OutlineOnAnObstacleCollides) {
  // One obstacle cell at x 2.80..2.85, y 2.50..2.55: under the front edge of a
  // robot at (2.525, 2.5) facing +x (front edge at x 2.825).
  auto map = DrawnMap(100, 100, 0.05).fill(56, 50, 56, 50).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.525, 2.5), false));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.525, 2.5), true));
  // Backed off by two cells it clears.
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.425, 2.5), true));
  // Turned a quarter turn the front edge is elsewhere.
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.525, 2.5, M_PI / 2), true));
}

TEST(CollisionCheck, ObstacleInsideTheOutlineNeedsTheInsideTest) {
  auto map = DrawnMap(100, 100, 0.05).fill(50, 50, 50, 50).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.5, 2.5), false));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.5, 2.5), true));
}

TEST(CollisionCheck, CloseToAWallIsNotACollision) {
  // Wall along x = 3.5; the robot's front edge stops 0.1 m short of it, well
  // inside the inflated band where its centre could not be.
  auto map = DrawnMap(100, 100, 0.05).fill(70, 0, 99, 99).build(rectangle());
  Collision::CollisionCheck check(map);
  ASSERT_TRUE(map->getMultiGridMap()->inDanger(68, 50, 0));
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(3.1, 2.5), true));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(3.25, 2.5), true));
}

TEST(CollisionCheck, UnknownAndOffMapCollide) {
  auto map = DrawnMap(100, 100, 0.05).fill(0, 0, 19, 99, gm::kDrawnUnknown).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(1.2, 2.5), true));
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(1.4, 2.5), true));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(4.9, 2.5), true));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(-3.0, -3.0), false));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(1e12, 2.5), false));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(NAN, 2.5), false));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.5, 2.5, INFINITY), false));
}

TEST(CollisionCheck, HeadingMattersInACorridor) {
  // A corridor 0.55 m wide along x between walls at y < 2.25 and y >= 2.8: the
  // robot fits lengthwise (0.5 m wide) but not across (0.6 m long).
  auto map = DrawnMap(100, 100, 0.05).fill(0, 0, 99, 44).fill(0, 56, 99, 99).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.5, 2.525), true));
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.5, 2.525, M_PI), true));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.5, 2.525, M_PI / 2), true));
}

TEST(CollisionCheck, GivenFootprintAndPlacedPolygon) {
  auto map = DrawnMap(100, 100, 0.05).fill(56, 50, 56, 50).build(rectangle());
  Collision::CollisionCheck check(map);
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.525, 2.5), true));
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.525, 2.5), true, rectangle(0.1, 0.1)));
  // No outline at all: only the centre cell counts.
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.525, 2.5), true, Footprint{}));
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.81, 2.51), true, Footprint{}));

  EXPECT_FALSE(check.isCollisionFree({point(2.7, 2.4), point(2.9, 2.4), point(2.9, 2.6)}, false));
  EXPECT_TRUE(check.isCollisionFree({point(1.0, 1.0), point(1.5, 1.0), point(1.5, 1.5)}, true));
  EXPECT_TRUE(check.isCollisionFree({}, true));
}

TEST(CollisionCheck, SeesObstaclesAfterTheNextUpdate) {
  auto map = DrawnMap(100, 100, 0.05).build(rectangle());
  Collision::CollisionCheck check(map);
  gm::markObstacleCells(*map, {{56, 50}});
  EXPECT_TRUE(check.isCollisionFreePose(pose2d(2.525, 2.5), true));
  map->getMultiGridMap()->updateMap();
  EXPECT_FALSE(check.isCollisionFreePose(pose2d(2.525, 2.5), true));
}

TEST(CollisionCheck, NeedsAGridMap) {
  EXPECT_THROW(Collision::CollisionCheck(nullptr), std::invalid_argument);
  EXPECT_THROW(Collision::SpinCollision(nullptr), std::invalid_argument);
}

class SpinCollisionTest : public ::testing::Test {
 protected:
  // A 1 m room at 1 cm cells, the robot in its middle facing +x, and one
  // obstacle cell at polar angle 60 degrees, 0.36 m out: beyond the sides and
  // the front, inside the reach of the corners. Turning left by 16 to 26
  // degrees brings the front-left corner onto it; turning right it is only met
  // by the back-left corner after 76 degrees.
  void SetUp() override {
    const double angle = M_PI / 3;
    const int col = static_cast<int>((0.5 + 0.36 * std::cos(angle)) / 0.01);
    const int row = static_cast<int>((0.5 + 0.36 * std::sin(angle)) / 0.01);
    map_ = DrawnMap(100, 100, 0.01).fill(col, row, col, row).build(rectangle());
    check_ = std::make_shared<Collision::CollisionCheck>(map_);
    spin_ = std::make_shared<Collision::SpinCollision>(check_);
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
  std::shared_ptr<Collision::CollisionCheck> check_;
  std::shared_ptr<Collision::SpinCollision> spin_;
  const double deg_ = M_PI / 180.0;
};

TEST_F(SpinCollisionTest, SweepFindsTheSideThatHits) {
  const auto robot = pose2d(0.5, 0.5, 0.0);
  ASSERT_TRUE(check_->isCollisionFreePose(robot, true));
  EXPECT_TRUE(spin_->isCollisionFree(robot, -70 * deg_, 0.0));
  EXPECT_TRUE(spin_->isCollisionFree(robot, 0.0, 12 * deg_));
  EXPECT_FALSE(spin_->isCollisionFree(robot, 0.0, 30 * deg_));
  EXPECT_FALSE(spin_->isCollisionFree(robot, 30 * deg_, 0.0));
  EXPECT_FALSE(spin_->isCollisionFree(robot, -90 * deg_, 0.0));
  EXPECT_FALSE(spin_->isCollisionFree(robot, -M_PI, M_PI));
  // The sweep is relative to the robot's heading.
  EXPECT_TRUE(spin_->isCollisionFree(pose2d(0.5, 0.5, -30 * deg_), 0.0, 30 * deg_));
  EXPECT_FALSE(spin_->isCollisionFree(pose2d(0.5, 0.5, 20 * deg_), 0.0, 0.0));
  EXPECT_FALSE(spin_->isCollisionFree(robot, NAN, 0.0));

  // A stamped pose heading -30 degrees.
  geometry_msgs::msg::PoseStamped stamped;
  stamped.pose.position.x = 0.5;
  stamped.pose.position.y = 0.5;
  stamped.pose.orientation.z = std::sin(-15 * deg_);
  stamped.pose.orientation.w = std::cos(-15 * deg_);
  EXPECT_TRUE(spin_->isCollisionFree(stamped, 0.0, 40 * deg_));
  EXPECT_FALSE(spin_->isCollisionFree(stamped, 0.0, 60 * deg_));
}

TEST_F(SpinCollisionTest, OpenSpaceTurnsFreely) {
  auto open = DrawnMap(100, 100, 0.05).build(rectangle());
  Collision::SpinCollision spin(std::make_shared<Collision::CollisionCheck>(open));
  EXPECT_TRUE(spin.isCollisionFree(pose2d(2.5, 2.5), -M_PI, M_PI));
  EXPECT_TRUE(spin.isCollisionFree(pose2d(2.5, 2.5), -100.0, 100.0));
}

TEST_F(SpinCollisionTest, TurningAnglesBetweenHeadings) {
  double min_angle = 1.0;
  double max_angle = 1.0;
  EXPECT_TRUE(spin_->getSpinAngle(0.0, M_PI / 2, min_angle, max_angle));
  EXPECT_NEAR(max_angle, M_PI / 2, 1e-12);
  EXPECT_NEAR(min_angle, -1.5 * M_PI, 1e-12);

  spin_->getSpinAngle(M_PI - 0.1, -M_PI + 0.1, min_angle, max_angle);
  EXPECT_NEAR(max_angle, 0.2, 1e-12);
  EXPECT_NEAR(min_angle, 0.2 - 2 * M_PI, 1e-12);

  spin_->getSpinAngle(0.3, -0.2, min_angle, max_angle);
  EXPECT_NEAR(min_angle, -0.5, 1e-12);
  EXPECT_NEAR(max_angle, 2 * M_PI - 0.5, 1e-12);

  spin_->getSpinAngle(1.0, 1.0 + 2 * M_PI, min_angle, max_angle);
  EXPECT_NEAR(min_angle, 0.0, 1e-9);
  EXPECT_NEAR(max_angle, 0.0, 1e-9);
}

TEST_F(SpinCollisionTest, TurningAnglesTowardsAPath) {
  geometry_msgs::msg::PoseStamped robot;  // at the origin, facing +x
  nav_msgs::msg::Path path;
  auto add = [&path](double x, double y) {
    geometry_msgs::msg::PoseStamped p;
    p.pose.position.x = x;
    p.pose.position.y = y;
    path.poses.push_back(p);
  };
  double min_angle = 1.0;
  double max_angle = 1.0;
  EXPECT_FALSE(spin_->getSpinAngle(robot, path, 0.3, min_angle, max_angle));
  EXPECT_EQ(min_angle, 0.0);
  EXPECT_EQ(max_angle, 0.0);

  add(0.1, 0.0);
  add(0.0, 0.2);
  EXPECT_FALSE(spin_->getSpinAngle(robot, path, 0.3, min_angle, max_angle));

  // The first pose far enough away sets the heading: straight left.
  add(0.0, 0.5);
  add(5.0, 0.0);
  EXPECT_TRUE(spin_->getSpinAngle(robot, path, 0.3, min_angle, max_angle));
  EXPECT_NEAR(max_angle, M_PI / 2, 1e-12);
  EXPECT_NEAR(min_angle, -1.5 * M_PI, 1e-12);

  // A path behind the robot needs more than a quarter turn either way.
  path.poses.clear();
  add(-1.0, -0.01);
  EXPECT_TRUE(spin_->getSpinAngle(robot, path, 0.3, min_angle, max_angle));
  EXPECT_LT(min_angle, -M_PI / 2);
  EXPECT_GT(max_angle, M_PI / 2);
}

TEST(SpinCollision, BesideAWallOnlyTheTurnsThatSwingACornerOverItHit) {
  // A wall whose face runs along y = 2.85 m; the robot's left side at 2.75 m.
  auto map = DrawnMap(100, 100, 0.05).fill(0, 57, 99, 60).build(rectangle());
  Collision::SpinCollision spin(std::make_shared<Collision::CollisionCheck>(map));
  const double deg = M_PI / 180.0;
  struct Case {
    double y;
    double min_deg;
    double max_deg;
    bool free;
  };
  for (const Case& c : {Case{2.5, -10, 10, true}, Case{2.5, 0, 45, false}, Case{2.5, -45, 0, false},
                        Case{2.5, -180, 180, false}, Case{2.0, -180, 180, true}}) {
    SCOPED_TRACE(testing::Message() << "y " << c.y << " from " << c.min_deg << " to " << c.max_deg);
    EXPECT_EQ(spin.isCollisionFree(pose2d(2.5, c.y, 0.0), c.min_deg * deg, c.max_deg * deg),
              c.free);
  }
}

}  // namespace
