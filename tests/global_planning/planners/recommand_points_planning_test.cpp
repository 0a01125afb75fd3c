#include "planning/global_planning/recommand_points_planning.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "planner_fixtures.hpp"

namespace global_planners_test {
namespace {

using planning::RecommandPointsPlanning;

const std::string kReceiveHead =
    "RecommandPointsPlanning::makePlan Receive recommend point index: ";
const std::string kSelectHead = "RecommandPointsPlanning::makePlan selected point index: ";

// 4 m x 3 m with a pillar over cells 18..22 x 12..18 (x 1.8..2.2 m, y 1.2..1.8 m).
std::vector<std::string> roomWithPillar() {
  auto rows = freeRows(40, 30);
  for (int y = 12; y <= 18; ++y) {
    for (int x = 18; x <= 22; ++x) {
      rows[y][x] = '#';
    }
  }
  return rows;
}

// A 30 cm square robot.
void giveSquareFootprint(GridMapROS& map) {
  std::vector<geometry_msgs::msg::Point> footprint;
  for (const auto& corner : {std::make_pair(0.15, 0.15), std::make_pair(0.15, -0.15),
                             std::make_pair(-0.15, -0.15), std::make_pair(-0.15, 0.15)}) {
    geometry_msgs::msg::Point point;
    point.x = corner.first;
    point.y = corner.second;
    footprint.push_back(point);
  }
  vantrell_nav2_gridmap::testing::setFootprint(map, footprint);
  map.getMultiGridMap()->updateMap();
}

class RecommandPointsTest : public PlannerTest {
 protected:
  void SetUp() override {
    PlannerTest::SetUp();
    giveSquareFootprint(*map_);
    placeRobot(*map_, 0.5, 1.5);
    engine_ = engineOn(map_);
    listener_ = std::make_shared<rclcpp::Node>("recommand_points_listener");
    origin_sub_ = listener_->create_subscription<geometry_msgs::msg::PoseStamped>(
        "origin_goal_posture", rclcpp::QoS(10),
        [this](const geometry_msgs::msg::PoseStamped& message) { origin_.push_back(message); });
    global_sub_ = listener_->create_subscription<geometry_msgs::msg::PoseStamped>(
        "global_goal_posture", rclcpp::QoS(10),
        [this](const geometry_msgs::msg::PoseStamped& message) { global_.push_back(message); });
    executor_.add_node(listener_);
  }

  void TearDown() override { executor_.remove_node(listener_); }

  std::shared_ptr<RecommandPointsPlanning> makePlanner(
      const std::shared_ptr<GridMapROS>& local_map = nullptr) {
    node_ = makeNode();
    auto planner = std::make_shared<RecommandPointsPlanning>(node_, map_, local_map);
    planner->setGlobalPlanner(engine_);
    return planner;
  }

  void receive() { executor_.spin_all(std::chrono::seconds(5)); }

  std::shared_ptr<GridMapROS> map_ = drawnGrid(roomWithPillar());
  std::shared_ptr<AstarPlanner> engine_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<rclcpp::Node> listener_;
  rclcpp::Subscription<geometry_msgs::msg::PoseStamped>::SharedPtr origin_sub_;
  rclcpp::Subscription<geometry_msgs::msg::PoseStamped>::SharedPtr global_sub_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::vector<geometry_msgs::msg::PoseStamped> origin_;
  std::vector<geometry_msgs::msg::PoseStamped> global_;
};

TEST_F(RecommandPointsTest, PlansToTheFirstFreePointAndShowsItAndThePathEnd) {
  auto planner = makePlanner();
  // P1 touches the pillar with the footprint; P2 and P3 are free.
  const std::vector<geometry_msgs::msg::PoseStamped> goals = {
      pose(1.7, 1.5), pose(1.0, 2.5, 0.3, "odom"), pose(3.0, 0.5)};
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner->makePlan(goals, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_EQ(planner->getErrorCode(), 0);

  const AstarCall call = AstarPlannerProbe::lastCall(*engine_);
  EXPECT_EQ(call.calls, 1u);
  EXPECT_EQ(call.goal, goals[1]);
  EXPECT_EQ(recordBytes(call.options), expectedRecord(1.0, 1.0));

  const auto lines = log_->lines();
  const auto received = linesStartingWith(lines, kReceiveHead);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].text, kReceiveHead + "0, position: (1.7, 1.5)");
  EXPECT_EQ(received[2].text, kReceiveHead + "2, position: (3, 0.5)");
  const auto selected = linesStartingWith(lines, kSelectHead);
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0].text, kSelectHead + "1, position: (1, 2.5)");

  // The chosen point as received goes out first, then where the path really ends.
  const auto origin_line =
      linesStartingWith(lines, "RecommandPointsPlanning::makePlane publish origin goal posture");
  const auto global_line =
      linesStartingWith(lines, "RecommandPointsPlanning::makePlane publish global goal posture");
  ASSERT_EQ(origin_line.size(), 1u);
  ASSERT_EQ(global_line.size(), 1u);
  EXPECT_EQ(lines.back().text, global_line[0].text);

  receive();
  ASSERT_EQ(origin_.size(), 1u);
  EXPECT_EQ(origin_[0], goals[1]);
  ASSERT_EQ(global_.size(), 1u);
  auto path_end = paths.paths[0].nav_path.poses.back();
  path_end.header.frame_id = "map";
  EXPECT_EQ(global_[0], path_end);
}

TEST_F(RecommandPointsTest, CollisionsAreJudgedOnTheLocalMapWhenThereIsOne) {
  // The local map has a wall where the global map is free.
  auto local_rows = roomWithPillar();
  local_rows[25][10] = '#';
  auto local_map = drawnGrid(local_rows, "local");
  giveSquareFootprint(*local_map);
  auto planner = makePlanner(local_map);
  const std::vector<geometry_msgs::msg::PoseStamped> goals = {pose(1.0, 2.5), pose(3.0, 0.5)};
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner->makePlan(goals, paths));
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).goal, goals[1]);
}

TEST_F(RecommandPointsTest, ForbiddenFuzzyGoalIsLoggedAndZeroesTheGoalSideTolerance) {
  auto planner = makePlanner();
  planner->setGoalFlags({true, false, false});
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner->makePlan({pose(1.0, 2.5)}, paths));
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*engine_).options), expectedRecord(1.0, 0.0));
  EXPECT_EQ(
      linesStartingWith(log_->lines(), "RecommandPointsPlanning forbidden fuzzy model").size(), 1u);
}

TEST_F(RecommandPointsTest, NoFreePointMeansNoSearchAndNothingShown) {
  auto planner = makePlanner();
  planner->setErrorCode(12);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner->makePlan({pose(2.0, 1.5), pose(1.7, 1.5)}, paths));
  EXPECT_EQ(linesStartingWith(log_->lines(), kReceiveHead).size(), 2u);
  EXPECT_EQ(log_->lines().back().level, "ERROR");
  EXPECT_EQ(log_->lines().back().text, "All recommend points are illegal(collision)");

  log_->clear();
  EXPECT_FALSE(planner->makePlan({}, paths));
  ASSERT_EQ(log_->lines().size(), 1u);
  EXPECT_EQ(log_->lines()[0].text, "All recommend points are illegal(collision)");

  EXPECT_EQ(planner->getErrorCode(), 12);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
  receive();
  EXPECT_TRUE(origin_.empty());
  EXPECT_TRUE(global_.empty());
}

TEST_F(RecommandPointsTest, AFailedSearchSetsTheCodeAndShowsNothing) {
  // A free point enclosed by walls, which the exact goal cannot be reached at.
  auto rows = roomWithPillar();
  for (int i = 22; i <= 28; ++i) {
    rows[22][i] = rows[28][i] = rows[i][22] = rows[i][28] = '#';
  }
  map_ = drawnGrid(rows);
  giveSquareFootprint(*map_);
  placeRobot(*map_, 0.5, 1.5);
  engine_ = engineOn(map_);
  auto planner = makePlanner();
  planner->setGoalFlags({true, false, false});
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner->makePlan({pose(2.5, 2.5)}, paths));
  EXPECT_EQ(planner->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(log_->lines().back().text,
            "global planner failed search_res: false, paths_msg.paths.size(): 0, error code is "
            "101100007");
  receive();
  EXPECT_TRUE(origin_.empty());
  EXPECT_TRUE(global_.empty());
}

TEST_F(RecommandPointsTest, MissingPoseOrEngineFails) {
  RecommandPointsPlanning no_engine(makeNode(), map_, nullptr);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(no_engine.makePlan({pose(1.0, 2.5)}, paths));

  auto planner = makePlanner();
  vantrell_nav2_gridmap::testing::removeRobotPose(*map_);
  log_->clear();
  EXPECT_FALSE(planner->makePlan({pose(1.0, 2.5)}, paths));
  ASSERT_EQ(log_->lines().size(), 1u);
  EXPECT_EQ(log_->lines()[0].level, "INFO");
  EXPECT_EQ(log_->lines()[0].text, "RecommandPointsPlanning getRobotPose failed");
  EXPECT_EQ(planner->getErrorCode(), 0);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
}

TEST_F(RecommandPointsTest, WithTheNodeGoneAtConstructionItPlansAndShowsNothing) {
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> gone;
  {
    auto node = makeNode();
    gone = node;
  }
  RecommandPointsPlanning planner(gone, map_, nullptr);
  planner.setGlobalPlanner(engine_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_TRUE(planner.makePlan({pose(1.0, 2.5)}, paths));
  EXPECT_TRUE(
      linesStartingWith(log_->lines(), "RecommandPointsPlanning::makePlane publish").empty());
  receive();
  EXPECT_TRUE(origin_.empty());
  EXPECT_TRUE(global_.empty());
}

// An empty first path gives no end pose to show; the plan still stands.
TEST(RecommandPointsGoalPosture, IsTheLastPoseOfTheFirstPathInTheMapFrame) {
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(RecommandPointsPlanning::globalGoalPosture(paths).has_value());
  paths.paths.resize(2);
  paths.paths[1].nav_path.poses = {pose(1.0, 1.0)};
  EXPECT_FALSE(RecommandPointsPlanning::globalGoalPosture(paths).has_value());

  auto end = pose(2.0, 3.0, 0.5, "odom");
  end.header.stamp.sec = 42;
  paths.paths[0].nav_path.poses = {pose(0.0, 0.0), end};
  const auto posture = RecommandPointsPlanning::globalGoalPosture(paths);
  ASSERT_TRUE(posture.has_value());
  EXPECT_EQ(posture->header.frame_id, "map");
  EXPECT_EQ(posture->header.stamp.sec, 42);
  EXPECT_EQ(posture->pose, end.pose);
}

TEST_F(RecommandPointsTest, ASearchFoundWithoutAPathSetsTheCodeAndShowsNothing) {
  answerTrueWithoutAPath(*engine_);
  auto planner = makePlanner();
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner->makePlan({pose(1.0, 2.5)}, paths));
  EXPECT_EQ(planner->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(log_->lines().back().text,
            "global planner failed search_res: true, paths_msg.paths.size(): 0, error code is "
            "101100007");
  receive();
  EXPECT_TRUE(origin_.empty());
  EXPECT_TRUE(global_.empty());
}
}  // namespace
}  // namespace global_planners_test
