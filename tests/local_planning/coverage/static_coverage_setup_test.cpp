// Construction, parameters, the goal intake and the zone records of the static coverage planner.
#include "local_planning/coverage/coverage_fixtures.hpp"

namespace static_coverage_test {
namespace {

using planning::ContourType;

TEST_F(PlannerFixture, DeclaresOnlyMissingNamesSoTheEarlierDeclarersDefaultsHold) {
  // The node and the dynamic coverage planner come first in the local planning node.
  build(room(40, 30), {},
        {rclcpp::Parameter("stop_obstacle_distance", 1.5),
         rclcpp::Parameter("smooth_window_size", 15.0),
         rclcpp::Parameter("dynamic_obstacle_checkout_range", 0.3),
         rclcpp::Parameter("plnning_offset_distance", 0.2),
         rclcpp::Parameter("publish_morph_local_costmap_mat", false),
         rclcpp::Parameter("wait_dyn_obstacle_time", 5.0)});
  for (const auto& [name, value] : {std::pair{"stop_obstacle_distance", 1.5},
                                    {"smooth_window_size", 15.0},
                                    {"dynamic_obstacle_checkout_range", 0.3},
                                    {"plnning_offset_distance", 0.2},
                                    {"publish_morph_local_costmap_mat", 0.0},
                                    {"wait_dyn_obstacle_time", 5.0}}) {
    SCOPED_TRACE(name);
    EXPECT_DOUBLE_EQ(Access::real(*planner_, name), value);
  }
  // The second declaration of minimum_cleaning_area (0.0125) has no effect: 0.5 m2 = 200 cells.
  EXPECT_NEAR(Access::minimumCleaningArea(*planner_), 200.0, 1e-9);
  EXPECT_DOUBLE_EQ(node_->get_parameter("minimum_cleaning_area").as_double(), 0.5);
  EXPECT_EQ(node_->get_parameter("clean_cost").as_int(), 253);
  EXPECT_EQ(node_->get_parameter("jump_index").as_int(), 20);
  EXPECT_DOUBLE_EQ(node_->get_parameter("gradient_smoother_w_path_predict").as_double(), 0.005);
  EXPECT_TRUE(node_->has_parameter("cut_path_angle_tolerance_"));
  // The image conversion reads its own name, which nobody declares.
  EXPECT_DOUBLE_EQ(node_->get_parameter("static_coverage_safe_distance").as_double(), 0.23);
  EXPECT_FALSE(node_->has_parameter("static_coverage_safe_offset"));
}

TEST_F(PlannerFixture, AloneItsOwnDefaultsHoldAndAWrongTypeThrows) {
  build(room(40, 30));
  EXPECT_DOUBLE_EQ(Access::real(*planner_, "stop_obstacle_distance"), 0.28);
  EXPECT_DOUBLE_EQ(Access::real(*planner_, "dynamic_obstacle_checkout_range"), 0.4);
  EXPECT_DOUBLE_EQ(Access::real(*planner_, "publish_morph_local_costmap_mat"), 1.0);
  // Nobody declares it: the member keeps its start value.
  EXPECT_DOUBLE_EQ(Access::real(*planner_, "plnning_offset_distance"), 0.1);

  auto node = makeNode("wrong_type", {rclcpp::Parameter("distance_btw_lines", "wide")});
  EXPECT_ANY_THROW(StaticCoveragePlanning(node, maps_.global, maps_.local, maps_.zone));
}

TEST_F(PlannerFixture, LineSpacingRoundsHalvesAwayFromZero) {
  // 0.35 / 0.05 is 6.9999... in double precision.
  for (const auto& [distance, cells] : {std::pair{0.35, 7}, {0.375, 8}, {0.36, 7}, {0.02, 0}}) {
    SCOPED_TRACE(distance);
    build(room(40, 30), {rclcpp::Parameter("distance_btw_lines", distance)});
    planner_->updateGoal(coverageGoal("spacing", {zoneBox(0.1, 0.1, 1.8, 1.3)}));
    EXPECT_EQ(Access::lineSpacing(*planner_), cells);
  }
}

TEST_F(PlannerFixture, StartsATaskOnlyOnANewUuid) {
  build(room(60, 40));
  placeRobot(1.0, 1.0);
  // A first goal without a uuid equals the empty stored one: no task, no zones.
  planner_->updateGoal(coverageGoal("", {zoneBox(0.1, 0.1, 2.8, 1.8)}));
  EXPECT_TRUE(Access::zones(*planner_).empty());
  EXPECT_EQ(Probe::contours().count(), 0U);
  Piece out;
  ControlState state;
  bool replan = false;
  EXPECT_FALSE(planner_->makePlan(out, state, replan));
  EXPECT_EQ(countLogged("[StaticCoveragePlanning] zone_infos_ is empty"), 1);

  auto goal = std::make_shared<Goal>(
      *coverageGoal("task", {zoneBox(0.1, 0.1, 1.4, 1.8), zoneBox(1.5, 0.1, 2.8, 1.8)}));
  goal->global_paths.paths.resize(3);
  planner_->updateGoal(goal);
  // The set is cached and then emptied by the task's reset.
  EXPECT_TRUE(Access::cache(*planner_).paths.empty());
  EXPECT_EQ(Probe::contours().count(), 2U);
  ASSERT_EQ(Access::zones(*planner_).size(), 2U);
  EXPECT_EQ(Access::zones(*planner_)[0].rect, cv::Rect(2, 2, 27, 35));
  EXPECT_EQ(Access::zones(*planner_)[0].points.front(), cv::Point(0, 0));
  EXPECT_NEAR(Access::needCleanArea(*planner_), 4.42, 1e-9);

  // The same task: only the cached paths, action id and covered points are taken.
  goal->action_id = 9;
  planner_->updateGoal(goal);
  EXPECT_EQ(Access::cache(*planner_).paths.size(), 3U);
  EXPECT_EQ(Probe::contours().count(), 2U);
  auto empty_paths = std::make_shared<Goal>(*goal);
  empty_paths->global_paths.paths.clear();
  planner_->updateGoal(empty_paths);
  EXPECT_EQ(Access::cache(*planner_).paths.size(), 3U);
}

TEST_F(PlannerFixture, SkipsZonePointsOffTheMapAndDropsZonesLeftWithoutArea) {
  build(room(40, 30));
  auto partly_off = zoneBox(0.1, 0.1, 1.8, 1.3);
  partly_off.points[1].x = -4.0F;
  auto mostly_off = zoneBox(-3.0, -3.0, 1.0, 1.0);
  planner_->updateGoal(coverageGoal("off", {partly_off, mostly_off}));
  ASSERT_EQ(Access::zones(*planner_).size(), 1U);
  EXPECT_EQ(Access::zones(*planner_)[0].points.size(), 3U);
  EXPECT_EQ(countLogged("is off the map, skipped"), 4);
  EXPECT_EQ(countLogged("a zone with 1 cells on the map is dropped"), 1);
}

TEST_F(PlannerFixture, RegionFilterNeedsAValidCellAndTheLeastArea) {
  build(room(40, 30));
  cv::Mat& valid = Access::validImage(*planner_);
  valid = cv::Mat::zeros(10, 10, CV_8UC1);
  valid.at<uint8_t>(5, 5) = 255;
  std::vector<cv::Point> touching{{5, 5}, {6, 5}};
  std::vector<cv::Point> off_image{{50, 50}, {-1, 3}};
  std::vector<cv::Point> none;
  struct Case {
    std::vector<cv::Point>* points;
    double area;
    ContourType type;
    bool rejected;
  };
  for (const Case& c : {Case{&touching, 200.0, ContourType::ZONE, false},
                        Case{&touching, 199.0, ContourType::ZONE, true},
                        Case{&touching, 1.0, ContourType::INNER, false},
                        Case{&off_image, 500.0, ContourType::ZONE, true},
                        Case{&none, 200.0, ContourType::ZONE, false}}) {
    SCOPED_TRACE(testing::Message() << c.points->size() << " points, area " << c.area);
    EXPECT_EQ(planner_->invalidContour(*c.points, c.area, c.type), c.rejected);
  }
}

TEST_F(PlannerFixture, ToleranceFollowsTheLastPoseThenThePathKind) {
  build(room(40, 30));
  const double radius = Access::footprintRadius(*planner_);
  Piece local;
  Piece global;
  for (const auto& [kind, tolerance] :
       {std::pair{1, 0.2}, {3, 0.2}, {4, 0.3}, {2, radius}, {0, radius}}) {
    SCOPED_TRACE(kind);
    global.path_type = kind;
    local.nav_path.poses.clear();
    planner_->setGlobalPathsTolerance(local, global);
    EXPECT_FLOAT_EQ(local.tolerance, static_cast<float>(tolerance));
  }
  // A local path ending with more room than the robot's front reaches: 0.2 whatever the kind.
  local.nav_path = line(0.5, 0.7, 1.0, 0.7);
  planner_->setGlobalPathsTolerance(local, global);
  EXPECT_FLOAT_EQ(local.tolerance, 0.2F);
}

TEST_F(PlannerFixture, RunsAShortEdgePathIntoTheNextEdgePath) {
  build(room(60, 40));
  placeRobot(1.0, 1.0);
  for (const std::size_t poses : {29U, 30U}) {
    SCOPED_TRACE(poses);
    MultiPaths set;
    set.paths.resize(3);
    set.paths[0].path_type = StaticCoveragePlanning::kEdgeFollow;
    set.paths[0].nav_path = line(0.5, 0.5, 0.5 + 0.05 * (poses - 1), 0.5);
    set.paths[1].path_type = StaticCoveragePlanning::kEdgeFollow;
    set.paths[1].nav_path = line(2.0, 0.5, 2.0, 1.0);
    set.paths[2].path_type = StaticCoveragePlanning::kRowApproach;
    planner_->updateGlobalPaths(set);
    Piece front = set.paths[0];
    planner_->preloadNextGlobalPath(front);
    const bool merged = poses == 29;
    EXPECT_EQ(front.nav_path.poses.size(), merged ? poses + 11 : poses);
    EXPECT_EQ(Access::cache(*planner_).paths.size(), merged ? 2U : 3U);
    EXPECT_EQ(Access::cache(*planner_).paths[0].nav_path.poses.size(), front.nav_path.poses.size());
  }
}

TEST_F(PlannerFixture, RobotCellLeftOfTheWindowIsNegativeNotWrapped) {
  build(room(60, 40));
  placeRobot(0.5, 0.5);
  Access::setWindowOrigin(*planner_, 30, 20);
  EXPECT_TRUE(planner_->updateRobotPose());
  EXPECT_EQ(Access::robotWindowCell(*planner_), cv::Point(-20, -10));
  EXPECT_EQ(countLogged("[ContourManager]updateRobotPose bbox_origin_x_=30,global_x_=10"), 1);

  gm::removeRobotPose(*maps_.global);
  EXPECT_FALSE(planner_->updateRobotPose());
  EXPECT_EQ(countLogged("[ContourManager]updateRobotPose , getRobotPose is failed"), 1);
  // The last good pose stays.
  EXPECT_DOUBLE_EQ(Access::robotPose(*planner_).pose.position.x, 0.5);
}

}  // namespace
}  // namespace static_coverage_test
