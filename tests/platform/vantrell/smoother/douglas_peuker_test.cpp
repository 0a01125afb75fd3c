#include "vantrell_nav2_smoother/douglas_peuker.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

#include "tf2/utils.h"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

namespace gm = vantrell_nav2_gridmap::testing;
using Poses = std::vector<geometry_msgs::msg::PoseStamped>;

geometry_msgs::msg::PoseStamped poseAt(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  return pose;
}

// The polyline through the corners, sampled every 5 cm.
Poses polyline(const std::vector<cv::Point2d>& corners) {
  Poses poses{poseAt(corners.front().x, corners.front().y)};
  for (size_t i = 1; i < corners.size(); ++i) {
    const cv::Point2d d = corners[i] - corners[i - 1];
    const int steps = static_cast<int>(std::round(std::hypot(d.x, d.y) / 0.05));
    for (int k = 1; k <= steps; ++k) {
      const cv::Point2d p = corners[i - 1] + d * (static_cast<double>(k) / steps);
      poses.push_back(poseAt(p.x, p.y));
    }
  }
  return poses;
}

// A quarter circle of the radius around (cx, cy), sampled every 5 cm.
Poses arc(double cx, double cy, double radius) {
  Poses poses;
  const int steps = static_cast<int>(radius * M_PI / 2 / 0.05);
  for (int k = 0; k <= steps; ++k) {
    const double a = -M_PI / 2 + (M_PI / 2) * k / steps;
    poses.push_back(poseAt(cx + radius * std::cos(a), cy + radius * std::sin(a)));
  }
  return poses;
}

class DouglasPeukerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    map_ = gm::makeGridMap("corner_test", cv::Mat(200, 200, CV_8UC1, cv::Scalar(gm::kDrawnFree)),
                           0.05);
  }

  // The defaults the dynamic coverage planner reads.
  DouglasPeuker make() const { return DouglasPeuker(0.3, 0.2, 45.0, 0.5, 1.0, map_); }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
};

TEST_F(DouglasPeukerTest, CandidatesOfKnownPolylines) {
  struct Case {
    const char* name;
    Poses path;
    std::vector<cv::Point2d> corners;  // x, y
    std::vector<double> yaws;
  };
  const Case cases[] = {
      {"right angle", polyline({{1, 1}, {4, 1}, {4, 4}}), {{4, 1}}, {M_PI / 2}},
      {"square loop",
       polyline({{1, 1}, {5, 1}, {5, 5}, {1, 5}, {1, 2}}),
       {{5, 1}, {5, 5}, {1, 5}},
       {M_PI / 2, M_PI, -M_PI / 2}},
      {"slight bend", polyline({{1, 1}, {4, 1}, {7, 2.5}}), {}, {}},
      {"round bend", arc(1, 4, 3), {}, {}},
      {"short leg after", polyline({{1, 1}, {4, 1}, {4, 1.8}}), {}, {}},
      {"zigzag leg after", polyline({{1, 1}, {4, 1}, {4.35, 2}, {4, 3}, {4.35, 4}}), {}, {}},
      {"straight", polyline({{1, 1}, {8, 1}}), {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto corners = make();
    corners.processPath(c.path);
    const auto& found = corners.getCornerCandidates();
    ASSERT_EQ(found.size(), c.corners.size());
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_NEAR(found[i].x, c.corners[i].x, 1e-9);
      EXPECT_NEAR(found[i].y, c.corners[i].y, 1e-9);
      EXPECT_NEAR(std::remainder(found[i].yaw - c.yaws[i], 2 * M_PI), 0.0, 1e-9);
      EXPECT_EQ(c.path[found[i].index].pose.position.x, found[i].x);
    }
  }
}

TEST_F(DouglasPeukerTest, SimplificationKeepsWhatTheToleranceNeeds) {
  auto corners = make();
  const Poses l_shape = polyline({{1, 1}, {4, 1}, {4, 4}});
  corners.processPath(l_shape);
  EXPECT_EQ(corners.getSimplifiedIndices(), (std::vector<size_t>{0, 60, 120}));

  // Within 0.3 m of the chord the bend is dropped; a finer tolerance keeps it.
  const Poses shallow = polyline({{1, 1}, {3, 1.2}, {5, 1}});
  corners.processPath(shallow);
  EXPECT_EQ(corners.getSimplifiedIndices().size(), 2u);
  DouglasPeuker fine(0.1, 0.2, 45.0, 0.5, 1.0, map_);
  fine.processPath(shallow);
  EXPECT_EQ(fine.getSimplifiedIndices().size(), 3u);

  corners.processPath(Poses(l_shape.begin(), l_shape.begin() + 2));
  EXPECT_TRUE(corners.getSimplifiedIndices().empty());
  Poses broken = l_shape;
  broken[5].pose.position.x = NAN;
  corners.processPath(broken);
  EXPECT_TRUE(corners.getCornerCandidates().empty());
}

TEST_F(DouglasPeukerTest, StoresTheCandidateNearTheRobot) {
  const Poses loop = polyline({{1, 1}, {5, 1}, {5, 5}, {1, 5}});
  auto corners = make();
  // Without a robot pose the path's start stands for the robot: no corner is near it.
  corners.processPath(loop);
  EXPECT_FALSE(corners.hasZeltoCorner());

  gm::placeRobot(*map_, 4.8, 4.9, 0.0);
  corners.processPath(loop);
  ASSERT_TRUE(corners.hasZeltoCorner());
  EXPECT_NEAR(corners.getZeltoPose().pose.position.x, 5.0, 1e-9);
  EXPECT_NEAR(corners.getZeltoPose().pose.position.y, 5.0, 1e-9);
  EXPECT_NEAR(corners.getZeltoYaw(), M_PI, 1e-9);
  EXPECT_NEAR(std::abs(tf2::getYaw(corners.getZeltoPose().pose.orientation)), M_PI, 1e-9);

  // Far from every corner the stored one stays until reset.
  gm::placeRobot(*map_, 3.0, 3.0, 0.0);
  corners.processPath(loop);
  EXPECT_TRUE(corners.hasZeltoCorner());
  corners.reset();
  EXPECT_FALSE(corners.hasZeltoCorner());
  EXPECT_TRUE(corners.getCornerCandidates().empty());
}

TEST_F(DouglasPeukerTest, CutsPastTheCornerAndStoresTheCut) {
  const Poses loop = polyline({{1, 1}, {5, 1}, {5, 5}, {1, 5}});
  auto corners = make();
  corners.processPath(loop);
  ASSERT_EQ(corners.getCornerCandidates().size(), 2u);

  Poses cut = loop;
  ASSERT_TRUE(corners.cutPathFromZelto(cut, 1, 0.33));
  // The second corner is (5, 5); 0.33 m on along the next leg, heading -x.
  ASSERT_EQ(cut.size(), 80u + 80u + 6u + 2u);
  EXPECT_NEAR(cut.back().pose.position.x, 4.67, 1e-9);
  EXPECT_NEAR(cut.back().pose.position.y, 5.0, 1e-9);
  EXPECT_NEAR(std::abs(tf2::getYaw(cut.back().pose.orientation)), M_PI, 1e-9);
  EXPECT_EQ(cut.back().header.frame_id, "map");
  ASSERT_TRUE(corners.hasZeltoCorner());
  EXPECT_EQ(corners.getZeltoPose().pose.position, cut.back().pose.position);
  EXPECT_NEAR(corners.getZeltoYaw(), M_PI, 1e-9);

  // An offset on a pose, none at all, and one beyond the end.
  cut = loop;
  ASSERT_TRUE(corners.cutPathFromZelto(cut, 0, 0.5));
  EXPECT_EQ(cut.size(), 91u);
  cut = loop;
  ASSERT_TRUE(corners.cutPathFromZelto(cut, 0, 0.0));
  EXPECT_EQ(cut.size(), 81u);
  EXPECT_NEAR(corners.getZeltoYaw(), M_PI / 2, 1e-9);
  cut = loop;
  ASSERT_TRUE(corners.cutPathFromZelto(cut, 1, 100.0));
  EXPECT_EQ(cut, loop);

  // Refusals leave the path and the stored corner alone.
  const auto stored = corners.getZeltoPose();
  Poses empty;
  const Poses elsewhere = polyline({{1, 8}, {8, 8}});
  for (auto [k, offset, path] :
       {std::make_tuple(size_t{2}, 0.3, loop), std::make_tuple(size_t{0}, -0.1, loop),
        std::make_tuple(size_t{0}, double(NAN), loop), std::make_tuple(size_t{0}, 0.3, empty),
        std::make_tuple(size_t{0}, 0.3, elsewhere)}) {
    SCOPED_TRACE(testing::Message()
                 << "k " << k << " offset " << offset << " poses " << path.size());
    const Poses before = path;
    EXPECT_FALSE(corners.cutPathFromZelto(path, k, offset));
    EXPECT_EQ(path, before);
    EXPECT_EQ(corners.getZeltoPose(), stored);
  }
}

TEST_F(DouglasPeukerTest, RefusesUnusableSettings) {
  EXPECT_THROW(DouglasPeuker(-0.3, 0.2, 45.0, 0.5, 1.0, map_), std::invalid_argument);
  EXPECT_THROW(DouglasPeuker(0.3, 0.2, NAN, 0.5, 1.0, map_), std::invalid_argument);
  EXPECT_THROW(DouglasPeuker(0.3, 0.2, 45.0, 0.5, 1.0, nullptr), std::invalid_argument);
}

}  // namespace
