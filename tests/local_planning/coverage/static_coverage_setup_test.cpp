// Construction, parameters, the goal intake and the robot cell of the static coverage planner.
#include "local_planning/coverage/coverage_fixtures.hpp"

namespace static_coverage_test {
namespace {

double valueOf(const rclcpp::Parameter& parameter) {
  return parameter.get_type() == rclcpp::ParameterType::PARAMETER_BOOL ? parameter.as_bool()
                                                                       : parameter.as_double();
}

double real(const rclcpp_lifecycle::LifecycleNode& node, const std::string& name) {
  return valueOf(node.get_parameter(name));
}

TEST_F(PlannerFixture, DeclaresOnlyMissingNamesSoTheEarlierDeclarersDefaultsHold) {
  // Alone, its own defaults; built after the node and the dynamic coverage planner, theirs.
  const std::vector<rclcpp::Parameter> earlier{
      rclcpp::Parameter("stop_obstacle_distance", 1.5),
      rclcpp::Parameter("smooth_window_size", 15.0),
      rclcpp::Parameter("dynamic_obstacle_checkout_range", 0.3),
      rclcpp::Parameter("publish_morph_local_costmap_mat", false),
      rclcpp::Parameter("wait_dyn_obstacle_time", 5.0)};
  const std::vector<double> own{0.28, 0.0, 0.4, 1.0, 3.0};
  for (const bool first : {true, false}) {
    SCOPED_TRACE(first ? "alone" : "after the others");
    build(room(40, 30), {}, first ? std::vector<rclcpp::Parameter>{} : earlier);
    for (std::size_t i = 0; i < earlier.size(); ++i) {
      EXPECT_DOUBLE_EQ(real(*node_, earlier[i].get_name()), first ? own[i] : valueOf(earlier[i]));
    }
    // The second declaration of minimum_cleaning_area (0.0125) has no effect: 200 cells.
    EXPECT_NEAR(Access::minimumCleaningArea(*planner_), 200.0, 1e-3);
    EXPECT_EQ(node_->get_parameter("jump_index").as_int(), 20);
    // The image conversion reads its own name, which nobody declares.
    EXPECT_DOUBLE_EQ(real(*node_, "static_coverage_safe_distance"), 0.23);
    EXPECT_FALSE(node_->has_parameter("static_coverage_safe_offset"));
  }
  auto node = makeNode("wrong_type", {rclcpp::Parameter("distance_btw_lines", "wide")});
  EXPECT_ANY_THROW(StaticCoveragePlanning(node, maps_.global, maps_.local, maps_.zone));
}

TEST_F(PlannerFixture, LineSpacingIsTheDistanceBetweenLinesRoundedToCells) {
  // 0.35 / 0.05 is 6.9999... (the map's resolution is a 32-bit float).
  for (const auto& [distance, cells] : {std::pair{0.35, 7}, {0.38, 8}, {0.36, 7}, {0.32, 6}}) {
    SCOPED_TRACE(distance);
    build(room(40, 30), {rclcpp::Parameter("distance_btw_lines", distance)});
    planner_->updateGoal(coverageGoal("spacing", {box(0.1, 0.1, 1.8, 1.3)}));
    EXPECT_EQ(Access::lineSpacing(*planner_), cells);
  }
}

TEST_F(PlannerFixture, StartsATaskOnlyOnANewUuid) {
  build(room(60, 40));
  placeRobot(1.0, 1.0);
  // A first goal without a uuid equals the empty stored one: no task, no zones.
  planner_->updateGoal(coverageGoal("", {box(0.1, 0.1, 2.8, 1.8)}));
  Piece out;
  ControlState state;
  bool replan = false;
  EXPECT_FALSE(planner_->makePlan(out, state, replan));
  EXPECT_EQ(countLogged("[StaticCoveragePlanning] zone_infos_ is empty"), 1);

  auto goal = std::make_shared<Goal>(
      *coverageGoal("task", {box(0.1, 0.1, 1.4, 1.8), box(1.5, 0.1, 2.8, 1.8)}));
  goal->global_paths.paths.resize(3);
  planner_->updateGoal(goal);
  // The goal's set is cached and emptied again by the task's reset.
  EXPECT_TRUE(Access::cache(*planner_).paths.empty());
  EXPECT_EQ(Probe::contours().count(), 2U);
  ASSERT_EQ(Access::zones(*planner_).size(), 2U);
  EXPECT_EQ(Access::zones(*planner_)[0].rect, cv::Rect(2, 2, 27, 35));
  EXPECT_NEAR(Access::needCleanArea(*planner_), 4.42, 1e-6);

  // The same task: only the cached paths are taken, and only when the goal brings some.
  planner_->updateGoal(goal);
  EXPECT_EQ(Access::cache(*planner_).paths.size(), 3U);
  auto without_paths = std::make_shared<Goal>(*goal);
  without_paths->global_paths.paths.clear();
  planner_->updateGoal(without_paths);
  EXPECT_EQ(Access::cache(*planner_).paths.size(), 3U);
  EXPECT_EQ(Probe::contours().count(), 2U);
}

TEST_F(PlannerFixture, TakesThePartOfAZoneOnTheMapWhereTheZoneOverhangsIt) {
  build(room(40, 30));
  planner_->updateGoal(coverageGoal("off", {box(-3.0, -3.0, 1.0, 1.0)}));
  ASSERT_EQ(Access::zones(*planner_).size(), 1U);
  EXPECT_EQ(Access::zones(*planner_)[0].rect, cv::Rect(0, 0, 21, 21));
  EXPECT_NEAR(Access::needCleanArea(*planner_), 1.0, 1e-6);
  EXPECT_EQ(countLogged("is off the map, the zone is cut at the map's edge"), 3);
}

// A task whose zones hold no floor fails every cycle, and says why once per zone; a zone with
// floor beside it is kept.
TEST_F(PlannerFixture, ZonesWithoutFloorAreDroppedWithOneWarningAndLeaveTheTaskFailing) {
  build(roomWithBlock());
  placeRobot(0.5, 1.0);
  expectFloorlessTasksFail(
      [](const std::string& uuid, const geometry_msgs::msg::Polygon& zone) {
        return coverageGoal(uuid, {zone});
      },
      [this](const std::shared_ptr<const Goal>& goal) {
        planner_->updateGoal(goal);
        Piece out;
        ControlState state;
        bool replan = false;
        return planner_->makePlan(out, state, replan);
      });
  planner_->updateGoal(
      coverageGoal("mixed", {floorlessZones().back().zone, box(0.2, 0.2, 1.5, 1.5)}));
  EXPECT_EQ(Access::zones(*planner_).size(), 1U);
}

// The rows' spacing in cells of the zone map must let rows be made, and made in time.
TEST_F(PlannerFixture, RowSpacingRowsCannotBeMadeWithFailsTheConfigure) {
  for (const double distance : {5e307, 5000.0, 0.02, 0.0, -0.35}) {
    SCOPED_TRACE(distance);
    test_support::captureLog()->clear();
    EXPECT_THROW(build(room(40, 30), {rclcpp::Parameter("distance_btw_lines", distance)}),
                 rclcpp::exceptions::InvalidParameterValueException);
    const auto errors = test_support::captureLog()->messagesAt("ERROR");
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("parameter \"distance_btw_lines\" is"), std::string::npos)
        << errors[0];
  }
  EXPECT_NO_THROW(build(room(40, 30), {rclcpp::Parameter("distance_btw_lines", 50.0)}));
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
  // The last good pose stays.
  EXPECT_DOUBLE_EQ(Access::robotPose(*planner_).pose.position.x, 0.5);
}

// The region filter, the tolerance a returned path gets from the kind of path it follows, and
// the join of a short edge path with the next one.
TEST_F(PlannerFixture, FiltersRegionsSetsTolerancesAndJoinsShortEdgePaths) {
  build(room(40, 30));
  cv::Mat& valid = Access::validity(*planner_);
  valid = cv::Mat::zeros(10, 10, CV_8UC1);
  valid.at<uint8_t>(5, 5) = 255;
  const double least = Access::minimumCleaningArea(*planner_);
  const struct {
    const char* name;
    std::vector<cv::Point> points;
    double area;
    planning::ContourType type;
    bool dropped;
  } regions[] = {{"no points, the least area", {}, least, planning::ZONE, false},
                 {"no points, less", {}, least - 1.0, planning::ZONE, true},
                 {"none on the validity image", {{1, 1}, {20, 5}}, least, planning::ZONE, true},
                 {"one on it", {{1, 1}, {5, 5}}, least, planning::ZONE, false},
                 {"small, inside a region", {{5, 5}}, 1.0, planning::INNER, false},
                 {"none on it, inside a region", {{1, 1}}, 1.0, planning::INNER, true}};
  for (auto c : regions) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(planner_->invalidContour(c.points, c.area, c.type), c.dropped);
  }

  const double max_x = ::getFootprintMaxX(maps_.local.get());
  const double max_y = ::getFootprintMaxY(maps_.local.get());
  const float radius = static_cast<float>(std::sqrt(max_x * max_x + max_y * max_y));
  const struct {
    const char* name;
    std::vector<PoseStamped> poses;
    int32_t kind;
    float tolerance;
  } tolerances[] = {{"kind 0", {}, 0, radius},
                    {"row approach", {}, 1, 0.2F},
                    {"row", {}, 2, radius},
                    {"first edge approach", {}, 3, 0.2F},
                    {"edge", {}, 4, 0.3F},
                    {"kind 5", {}, 5, 0.3F},
                    {"edge, ending in the open", {pose(1.0, 0.75)}, 4, 0.2F},
                    {"edge, ending at a wall", {pose(0.0, 0.75)}, 4, 0.3F}};
  for (const auto& c : tolerances) {
    SCOPED_TRACE(c.name);
    Piece path;
    path.nav_path.poses = c.poses;
    Piece global;
    global.path_type = c.kind;
    planner_->setGlobalPathsTolerance(path, global);
    EXPECT_EQ(path.tolerance, c.tolerance);
  }

  for (const int poses : {29, 30}) {
    SCOPED_TRACE(poses);
    Piece edge;
    edge.path_type = StaticCoveragePlanning::kEdgeFollow;
    edge.nav_path.poses.assign(static_cast<std::size_t>(poses), pose(0.5, 0.5));
    Piece next = edge;
    next.nav_path.poses.assign(5, pose(1.0, 0.5));
    Access::cache(*planner_).paths = {edge, next};
    planner_->preloadNextGlobalPath(edge);
    const bool joined = poses == 29;
    EXPECT_EQ(edge.nav_path.poses.size(), static_cast<std::size_t>(joined ? 34 : 30));
    EXPECT_EQ(Access::cache(*planner_).paths.size(), joined ? 1U : 2U);
  }
}

}  // namespace
}  // namespace static_coverage_test
