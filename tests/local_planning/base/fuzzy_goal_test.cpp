// The local planner base: fuzzy goal and extra goals, speed caps, mean smoothing, debug image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "local_fixtures.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

namespace local_base_test {
namespace {

const std::string kInfo = "[NavLocalPlanning::pathFuzzyPoint] ";

class FuzzyGoalTest : public LocalTest {
 protected:
  void SetUp() override {
    LocalTest::SetUp();
    // A block to drive into, and a wall 0.2 m beside the path y = 1.5, x 0 .. 1.
    maps_ = makeMaps({{2.0, -0.5, 2.5, 0.5}, {-0.5, 1.7, 1.5, 1.8}});
    planner_ = makePlanner(node_, maps_);
    planner_->setTraceLogger(trace_);
    hooks::placeRobot(maps_, 0.0, 0.0, 0.0);
  }

  // pathFuzzyPoint on `path`; the last pose it leaves, or none.
  ControlState fuzzy(NavPath& path, uint8_t finished = 0) {
    Piece piece;
    piece.nav_path = path;
    ControlState state;
    state.finished = finished;
    planner_->pathFuzzyPoint(piece, state);
    path = piece.nav_path;
    return state;
  }

  hooks::LocalNodeMaps maps_;
  std::shared_ptr<TestPlanner> planner_;
};

TEST_F(FuzzyGoalTest, PrunesPreciseGoalsAndEndsThemAtTheNearestFreeExtraGoal) {
  const NavPath wall = line(0, 0, 2.3, 0, 24);
  const NavPath open = line(0, 0, 1, 0, 11);
  struct Case {
    const char* name;
    uint8_t precise, finished_before;
    NavPath path;
    double goal_x;
    std::vector<PoseStamped> extra_goals;
    uint8_t finished;
    size_t poses;
    double last_x, last_y;
    std::string info;  // logged once in this case, when given
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"cut 0.03 m short", 1, 0, wall, 1.83, {pose(1, 1)}, 1, 19, 1.8, 0, ""},
      {"cut 1 m short", 1, 0, wall, 2.8, {pose(1, 0.8), pose(1, -0.8)}, 0, 19, 1, -0.8,
       "get dream recommend point and iter = 1"},
      {"free end", 1, 0, open, 3, {pose(1.5, 1)}, 0, 11, 1.5, 1, ""},
      {"free end, finished", 1, 1, open, 3, {pose(1.5, 1)}, 1, 11, 1, 0, ""},
      {"at an extra goal", 1, 0, open, 3, {pose(0.03, 0), pose(1, 1), pose(0, 0.02)}, 1, 11, 0,
       0.02, "set control finished to true with extra goals"},
      {"no free extra goal", 1, 0, open, 3, {pose(2.2, 0)}, 0, 10, 0.9, 0,
       "failed to reset goal for recommand position"},
      {"not precise, far end", 0, 1, wall, 3.3, {}, 1, 24, 2.3, 0, ""},
      {"not precise, near end", 0, 0, wall, 2.5, {}, 0, 19, 1.8, 0, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    planner_->setGoalFlags({c.precise, 0, 0});
    planner_->setGoalPose(pose(c.goal_x, 0), 0.0);
    planner_->extra_goals_ = c.extra_goals;
    NavPath path = c.path;
    const ControlState state = fuzzy(path, c.finished_before);
    EXPECT_EQ(state.finished, c.finished);
    ASSERT_EQ(path.poses.size(), c.poses);
    EXPECT_NEAR(path.poses.back().pose.position.x, c.last_x, 1e-9);
    EXPECT_NEAR(path.poses.back().pose.position.y, c.last_y, 1e-9);
    EXPECT_TRUE(c.info.empty() || countLogged("INFO", kInfo + c.info) == 1);
  }
}

TEST_F(FuzzyGoalTest, TooCloseOnlyOnANewRequestAndNothingJudgedAgainstAMissingRobot) {
  const std::string too_close = kInfo +
                                "start point for navigation is too close to destination, "
                                "finished";
  auto goal = std::make_shared<Goal>();
  goal->global_path_uuid = "set";
  for (const uint8_t expected : {1, 0}) {
    planner_->updateGoal(goal);
    planner_->setGoalPose(pose(0.03, 0), 0.0);
    NavPath path = line(0, 0, 0.03, 0, 2);
    EXPECT_EQ(fuzzy(path).too_close_to_goal, expected);
  }
  // Without the robot pose the robot counts as standing at the origin: the extra goals are
  // measured from there, but neither the start check nor a reached extra goal is judged from it.
  goal->global_path_uuid = "another set";
  goal->extra_goals = {pose(1.0, 0.3), pose(0.01, 0)};
  planner_->updateGoal(goal);
  planner_->setGoalFlags({1, 0, 0});
  planner_->setGoalPose(pose(0.9, 0), 0.0);
  hooks::removeRobotPose(*maps_.local);
  NavPath path = line(0, 0, 1, 0, 11);
  const ControlState state = fuzzy(path);
  EXPECT_EQ(state.finished, 0);
  EXPECT_EQ(state.too_close_to_goal, 0);
  EXPECT_NEAR(path.poses.back().pose.position.x, 0.01, 1e-9);
  EXPECT_EQ(countLogged("INFO", too_close), 1);
  EXPECT_EQ(countLogged("INFO", kInfo + "check info new_request: true, fuzzy_distance: 0.9, "
                                        "extra_goals.size(): 2"),
            1);
  EXPECT_FALSE(planner_->new_request_);
}

TEST_F(FuzzyGoalTest, CapsSpeedNearTheGoalAndNearObstacles) {
  node_->set_parameter(rclcpp::Parameter("near_obstacle_max_vel_x", 0.45));
  auto narrow = makePlanner(node_, maps_);
  auto wide_maps = makeMaps({{-0.5, 1.7, 1.5, 1.8}}, 0.3);
  auto wide = makePlanner(node_, wide_maps);
  const double none = std::numeric_limits<double>::max();
  struct Case {
    const char* name;
    std::shared_ptr<TestPlanner> planner;
    NavPath path;
    double linear, angular;
  };
  const std::vector<Case> cases = {
      {"empty", narrow, NavPath(), 0.0, 0.0},
      {"four poses", wide, line(0, 1.5, 1, 1.5, 4), 0.3, 0.3},
      {"short", narrow, line(0, 0, 0.4, 0, 6), 0.3, 0.3},
      {"clear", narrow, line(0, 1.5, 1, 1.5, 11), none, none},
      {"0.2 m beside a wide robot", wide, line(0, 1.5, 1, 1.5, 11), 0.2 / 0.6 * 0.45, 0.45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Piece path;
    path.nav_path = c.path;
    const auto limit = c.planner->setSpeedLimit(path);
    EXPECT_NEAR(limit.linear.x, c.linear, 1e-6 * c.linear);
    EXPECT_EQ(limit.linear.y, limit.linear.x);
    EXPECT_NEAR(limit.angular.z, c.angular, 1e-6 * c.angular);
  }
}

// Smoothing must not hand the controller a path that turns back on itself or into obstacles: a
// straight line stays as it is (a forward window stepped 0.30 m back where its untouched tail
// began), back-and-forth rows keep running forward, so do rows 0.2 m apart that turn half a
// window from either end (where the window, shrunk towards the end, first reaches round the turn,
// the mean stepped 0.025 m back), and a corner 0.2 m outside the block's corner, sampled every
// 0.1 m, keeps the poses a 1.4 m window would pull onto the block.
TEST_F(FuzzyGoalTest, MeanSmoothingIsCentredKeepsItsEndsAndNeverTurnsBackOrIntoObstacles) {
  NavPath rows = line(-0.5, 0.9, 1.0, 0.9, 31);
  rows = line(1.0, 0.9, 1.0, 1.25, 8, rows);
  rows = line(1.0, 1.25, -0.5, 1.25, 31, rows);
  NavPath tight = line(3.0, 1.0, 3.7, 1.0, 8);
  tight = line(3.7, 1.0, 3.7, 1.2, 3, tight);
  tight = line(3.7, 1.2, 2.5, 1.2, 13, tight);
  tight = line(2.5, 1.2, 2.5, 1.4, 3, tight);
  tight = line(2.5, 1.4, 3.2, 1.4, 8, tight);
  const NavPath corner = line(2.66, 0.66, 2.66, -0.74, 15, line(0.96, 0.66, 2.66, 0.66, 18));
  const auto grid = maps_.local->getMultiGridMap();
  const auto inscribed = [&grid](const PoseStamped& p) {
    unsigned int mx = 0;
    unsigned int my = 0;
    return grid->getCostmap()->worldToMap(p.pose.position.x, p.pose.position.y, mx, my) &&
           grid->getCost(mx, my, false) >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
  };
  const struct {
    const char* name;
    NavPath path;
    bool moves;
  } cases[] = {{"straight", line(0, 0, 1.95, 0, 40), false},
               {"rows", rows, true},
               {"tight rows", tight, true},
               {"corner", corner, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NavPath smoothed = c.path;
    planner_->meanSmoothingWithPose(smoothed, 15, pose(0, 0));
    const auto& in = c.path.poses;
    const auto& out = smoothed.poses;
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out.front().pose.position, in.front().pose.position);
    EXPECT_EQ(out.back().pose.position, in.back().pose.position);
    double moved = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
      const auto& a = in[i].pose.position;
      const auto& b = out[i].pose.position;
      moved = std::max(moved, std::hypot(b.x - a.x, b.y - a.y));
      EXPECT_FALSE(inscribed(out[i]) && b != a) << i;
      if (i > 0) {
        const auto& a0 = in[i - 1].pose.position;
        const auto& b0 = out[i - 1].pose.position;
        EXPECT_GE((b.x - b0.x) * (a.x - a0.x) + (b.y - b0.y) * (a.y - a0.y), -1e-12) << i;
      }
    }
    EXPECT_EQ(moved > 0.01, c.moves) << moved;
  }
  NavPath twenty = line(0, 0, 1.9, 0.5, 20);
  planner_->meanSmoothingWithPose(twenty, 15, pose(0, 0));
  EXPECT_EQ(twenty, line(0, 0, 1.9, 0.5, 20));
}

TEST_F(FuzzyGoalTest, DrawsTheDebugImageAndOnlyWarnsWhenItCanNotBeWritten) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / "local_base_debug/";
  std::filesystem::create_directories(folder);
  planner_->file_output_folder_ = folder.string();
  const cv::Mat map(40, 60, CV_8UC1, cv::Scalar(128));
  const std::vector<cv::Point2f> corners = {{30, 5}, {40, 5}, {40, 15}, {30, 15}};
  const std::vector<PoseStamped> path = {pose(0, 0), pose(0.5, 0), pose(1, 0), pose(9, 9)};
  planner_->VisualizeDebug(map, path, corners, pose(1.5, 1));
  const cv::Mat image = cv::imread((folder / "mask_res.png").string());
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(image.at<cv::Vec3b>(10, 10), cv::Vec3b(0, 255, 0));
  EXPECT_EQ(image.at<cv::Vec3b>(10, 15), cv::Vec3b(0, 0, 255));
  EXPECT_EQ(image.at<cv::Vec3b>(10, 20), cv::Vec3b(255, 0, 0));
  EXPECT_EQ(image.at<cv::Vec3b>(20, 25), cv::Vec3b(0, 165, 255));
  EXPECT_EQ(image.at<cv::Vec3b>(5, 35), cv::Vec3b(0, 255, 255));

  planner_->file_output_folder_ = (folder / "missing/").string();
  EXPECT_NO_THROW(planner_->VisualizeDebug(map, path, corners, pose(1.5, 1)));
  EXPECT_EQ(logged("WARN").size(), 1u);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace local_base_test
