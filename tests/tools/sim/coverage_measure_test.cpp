// The coverage measure on drawn floors whose answers can be counted by hand.
#include "planning_sim/coverage_measure.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace sim_test {
namespace {

using planning_sim::centreSpace;
using planning_sim::measureCoverage;
using planning_sim::measureTrack;
using planning_sim::reachableArea;

cv::Mat freeFloor(int width, int height) {
  return cv::Mat(height, width, CV_8UC1, cv::Scalar(255));
}

geometry_msgs::msg::Pose2D pose(double x, double y, double theta) {
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

TEST(CoverageMeasure, CentreSpaceKeepsTheRadiusFromObstaclesAndTheBorder) {
  cv::Mat free = freeFloor(21, 21);
  free.at<uint8_t>(10, 10) = 0;
  const cv::Mat space = centreSpace(free, 2.0);
  struct Case {
    cv::Point cell;
    bool in_space;
  } cases[] = {
      {{10, 10}, false},                   // the obstacle itself
      {{12, 10}, false},                   // 2 cells away: not farther than the radius
      {{12, 12}, true},                    // 2.83 cells away
      {{13, 10}, true},  {{1, 5}, false},  // the border lies 2 cells off
      {{2, 5}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cell);
    EXPECT_EQ(space.at<uint8_t>(c.cell) != 0, c.in_space);
  }
}

TEST(CoverageMeasure, ReachableAreaIsThePartOfTheZoneConnectedToTheStart) {
  // Two 10x10 halves split by a wall at column 10; the zone covers both and a margin outside.
  cv::Mat free = freeFloor(21, 10);
  cv::line(free, {10, 0}, {10, 9}, cv::Scalar(0));
  const std::vector<cv::Point> zone{{0, 0}, {15, 0}, {15, 9}, {0, 9}};
  EXPECT_EQ(cv::countNonZero(reachableArea(free, zone, {2, 2})), 100);
  EXPECT_EQ(cv::countNonZero(reachableArea(free, zone, {12, 2})), 50) << "columns 11 to 15";
  EXPECT_EQ(cv::countNonZero(reachableArea(free, zone, {10, 2})), 0) << "a start in the wall";
  EXPECT_EQ(cv::countNonZero(reachableArea(free, zone, {18, 2})), 0) << "a start off the zone";
}

TEST(CoverageMeasure,
     TheStartLiesInTheLargestPartOfTheZoneWhereThePlannersReachAndTheRobotCanTurn) {
  // A ring of table legs round the zone's centre: turning room inside it, most of the floor
  // outside. Its gaps (3 cells) let the bare outline (radius 1) through but not the padded one.
  cv::Mat legs = freeFloor(40, 30);
  cv::rectangle(legs, {12, 7}, {28, 23}, cv::Scalar(0));
  cv::Mat gaps = legs.clone();
  gaps(cv::Rect(19, 7, 3, 1)).setTo(255);
  gaps(cv::Rect(19, 23, 3, 1)).setTo(255);
  gaps(cv::Rect(12, 14, 1, 3)).setTo(255);
  gaps(cv::Rect(28, 14, 1, 3)).setTo(255);
  const cv::Rect ring(12, 7, 17, 17);
  const std::vector<cv::Point> zone{{0, 0}, {39, 0}, {39, 29}, {0, 29}};
  struct Case {
    const char* name;
    cv::Mat free;
    double planning_radius;
    bool inside_ring;
  };
  const std::vector<Case> cases{
      {"a closed ring", legs, 1.0, false},
      {"gaps the bare outline passes, no padding", gaps, 1.0, true},
      {"gaps the padded outline does not pass", gaps, 2.0, false},
      {"nowhere for the padded outline: the bare one's part", gaps, 50.0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const cv::Mat space = centreSpace(c.free, 1.0);
    const auto start =
        planning_sim::startCell(c.free, space, centreSpace(c.free, c.planning_radius), zone, 3.0);
    ASSERT_TRUE(start);
    EXPECT_EQ(ring.contains(*start), c.inside_ring) << *start;
    EXPECT_GT(cv::countNonZero(reachableArea(space, zone, *start)), 600);
  }
}

TEST(CoverageMeasure, SharesAndOverlapCountOnlyTheTarget) {
  cv::Mat target(4, 4, CV_8UC1, cv::Scalar(0));
  target(cv::Rect(0, 0, 2, 2)).setTo(255);  // four cells
  cv::Mat passes(4, 4, CV_16UC1, cv::Scalar(0));
  passes.at<uint16_t>(0, 0) = 3;
  passes.at<uint16_t>(0, 1) = 1;
  passes.at<uint16_t>(3, 3) = 7;  // swept, but not to be cleaned
  const auto figures = measureCoverage(target, passes);
  EXPECT_EQ(figures.target_cells, 4);
  EXPECT_EQ(figures.covered_cells, 2);
  EXPECT_DOUBLE_EQ(figures.covered_share, 0.5);
  EXPECT_DOUBLE_EQ(figures.overlap, 2.0);
  const auto none = measureCoverage(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)), passes);
  EXPECT_EQ(none.covered_share, 0.0);
  EXPECT_EQ(none.overlap, 0.0);
}

// 1 m east, a turn on the spot to the north, 1 m north, in 1 cm steps; a wavering heading on a
// straight stretch is no turn.
TEST(CoverageMeasure, TrackFiguresCountLengthRotationAndTurnsOverThirtyDegrees) {
  std::vector<geometry_msgs::msg::Pose2D> track;
  for (int i = 0; i <= 100; ++i) {
    track.push_back(pose(0.01 * i, 0.0, 0.05 * std::sin(i * 0.3)));
  }
  for (int i = 1; i <= 10; ++i) {
    track.push_back(pose(1.0, 0.0, M_PI / 20.0 * i));
  }
  for (int i = 1; i <= 100; ++i) {
    track.push_back(pose(1.0, 0.01 * i, M_PI / 2.0));
  }
  const auto figures = measureTrack(track);
  EXPECT_NEAR(figures.length_m, 2.0, 1e-9);
  EXPECT_EQ(figures.turns, 1);
  EXPECT_GT(figures.rotation_rad, M_PI / 2.0);
  EXPECT_NEAR(figures.estimated_time_s, figures.length_m / 0.3 + figures.rotation_rad / 0.52, 1e-9);
  EXPECT_EQ(measureTrack({}).turns, 0);
}

TEST(CoverageMeasure, TimeFiguresTakeTheNearestRankPercentile) {
  std::vector<double> times;
  for (int i = 100; i >= 1; --i) {
    times.push_back(i);
  }
  const auto figures = planning_sim::timeFigures(times);
  EXPECT_DOUBLE_EQ(figures.mean, 50.5);
  EXPECT_DOUBLE_EQ(figures.p99, 99.0);
  EXPECT_DOUBLE_EQ(figures.max, 100.0);
  EXPECT_TRUE(std::isnan(planning_sim::timeFigures({}).p99));
}

}  // namespace
}  // namespace sim_test
