// The dynamic coverage planner's construction, its covered-points thread, the goal intake and the
// end of a task.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "local_planning/coverage/dynamic_coverage_fixtures.hpp"
#include "platform/ros2/rclcpp/spin_thread.hpp"

namespace dynamic_coverage_test {
namespace {

TEST_F(DynamicFixture, DeclaresItsNamesFirstAndASecondPlannerOnTheNodeFails) {
  // The corner finder's name may exist already; overrides reach every table.
  build(room(40, 40),
        {rclcpp::Parameter("morph_open_element_size", 0.3),
         rclcpp::Parameter("wait_dyn_obstacle_time", 4.0),
         rclcpp::Parameter("stop_obstacle_distance", 1.2)},
        {rclcpp::Parameter("select_zelto_theta", 30.0),
         rclcpp::Parameter("stop_obstacle_distance", 1.5)});
  EXPECT_EQ(Access::parameter(*planner_, "select_zelto_theta"), 30.0);
  EXPECT_EQ(Access::parameter(*planner_, "morph_open_element_size"), 0.3);
  EXPECT_EQ(Access::parameter(*planner_, "wait_dyn_obstacle_time"), 4.0);
  EXPECT_EQ(Access::parameter(*planner_, "stop_obstacle_distance"), 1.2);
  EXPECT_EQ(node_->get_parameter("clean_cost").as_int(), 253);  // the contour manager's
  EXPECT_DOUBLE_EQ(planner_->getCleanedArea(), 0.0);
  EXPECT_THROW(
      std::make_shared<DynamicCoveragePlanning>(node_, maps_.global, maps_.local, maps_.zone),
      rclcpp::exceptions::ParameterAlreadyDeclaredException);

  // A failure once the covered-points thread runs stops the thread before it leaves.
  auto typed = makeNode("dynamic_coverage_typed");
  typed->declare_parameter("select_corner_error", "wide");
  EXPECT_THROW(
      std::make_shared<DynamicCoveragePlanning>(typed, maps_.global, maps_.local, maps_.zone),
      rclcpp::ParameterTypeException);
}

TEST(DynamicCoverageThread, ServesOnlyItsOwnGroupAndEndsWithThePlanner) {
  auto maps = floorMaps(room(20, 20));
  // The host spins the node before the planners exist, as a hosting process does.
  rclcpp::executors::SingleThreadedExecutor host;
  auto node = makeNode("dynamic_coverage_hosted");
  host.add_node(node->get_node_base_interface());
  rclcpp_test::SpinThread spinning(host);
  auto planner =
      std::make_shared<DynamicCoveragePlanning>(node, maps.global, maps.local, maps.zone);
  EXPECT_FALSE(Access::group(*planner)->automatically_add_to_executor_with_node());
  planner.reset();
  // Destroyed at once, before the thread may have begun to spin: no hang.
  for (int i = 0; i < 20; ++i) {
    auto fresh = makeNode("dynamic_coverage_" + std::to_string(i));
    DynamicCoveragePlanning short_lived(fresh, maps.global, maps.local, maps.zone);
  }
}

// As the static planner does: a task whose zones hold no floor fails every cycle, and says why
// once per zone.
TEST_F(DynamicFixture, ZonesWithoutFloorAreDroppedWithOneWarningAndLeaveTheTaskFailing) {
  build(static_coverage_test::roomWithBlock());
  placeRobot(0.5, 1.0);
  static_coverage_test::expectFloorlessTasksFail(
      [](const std::string& uuid, const geometry_msgs::msg::Polygon& zone) {
        return dynamicGoal(uuid, {zone});
      },
      [this](const std::shared_ptr<const Goal>& goal) {
        planner_->updateGoal(goal);
        ControlState state;
        return cycle(state).has_value();
      });
  // A goal without any zone fails alike.
  test_support::captureLog()->clear();
  planner_->updateGoal(dynamicGoal("no zones", {}));
  ControlState state;
  EXPECT_FALSE(cycle(state));
  EXPECT_EQ(countLogged("DynamicCoveragePlanning::updateGoal the goal has no zone to clean"), 1);
}

TEST_F(DynamicFixture, ANewUuidStartsATaskWithTheZonesInCells) {
  build(room(100, 60));
  placeRobot(1.0, 1.0);
  planner_->updateGoal(dynamicGoal("", {box(0.0, 0.0, 2.0, 2.0)}));
  EXPECT_EQ(Probe::contours().count(), 0U);  // nothing cached yet: an empty uuid starts nothing
  // Two zones, and one over the map's south-west corner that two of its corners leave: what lies
  // on the map of it (the map starts half a cell below zero, where its edge from (-1, -1) to
  // (1, 0) comes on the map in cell 19).
  geometry_msgs::msg::Polygon off_map = box(-1.0, -1.0, 1.0, 1.0);
  off_map.points[1].y = 0.0F;
  off_map.points.pop_back();
  const auto goal =
      dynamicGoal("task", {box(0.0, 0.0, 2.0, 2.0), box(2.5, 0.5, 3.5, 1.5), off_map});
  planner_->updateGoal(goal);
  EXPECT_EQ(Probe::contours().count(), 3U);
  const std::vector<DynamicCoveragePlanning::Cells> cells{{{0, 0}, {40, 0}, {40, 40}, {0, 40}},
                                                          {{50, 10}, {70, 10}, {70, 30}, {50, 30}},
                                                          {{0, 0}, {19, 0}, {20, 0}, {20, 20}}};
  EXPECT_EQ(Access::zones(*planner_), cells);
  EXPECT_NEAR(Access::needCleanArea(*planner_), 5.5, 1e-6);
  EXPECT_EQ(countLogged("zone point (-1, -1) is off the map, the zone is cut at the map's edge"),
            1);
  EXPECT_EQ(countLogged("current_contours_ zone polygons size is 3"), 1);
  EXPECT_EQ(countLogged("current_contours_points_msg is 0 0 40 0 40 40 0 40 \n50 10 70 10 70 30 "
                        "50 30 \n0 0 19 0 20 0 20 20 "),
            1);

  // The same uuid goes on with the task; only the goal's action id and points are taken.
  Access::finished(*planner_) = true;
  Access::waiting(*planner_) = true;
  Access::obstacleCount(*planner_) = 2;
  auto next = std::make_shared<Goal>(*goal);
  next->action_id = 8;
  planner_->updateGoal(next);
  EXPECT_EQ(Probe::contours().count(), 3U);
  EXPECT_TRUE(Access::finished(*planner_));
  EXPECT_TRUE(Access::waiting(*planner_));

  // A new uuid: the finished task and its obstacle state stay behind.
  planner_->updateGoal(dynamicGoal("next", {box(0.0, 0.0, 2.0, 2.0)}));
  EXPECT_FALSE(Access::finished(*planner_));
  EXPECT_FALSE(Access::waiting(*planner_));
  EXPECT_EQ(Access::obstacleCount(*planner_), 0);
  EXPECT_NEAR(Access::needCleanArea(*planner_), 4.0, 1e-6);
}

// The end of a task on a 6 m x 3 m floor whose 2 m^2 zone the task centre reports 100 cells of
// as covered, one cell wide.
class EndOfTask : public DynamicFixture {
 protected:
  void SetUp() override {
    DynamicFixture::SetUp();
    build(room(120, 60),
          {rclcpp::Parameter("max_coverage_width", 0.05), rclcpp::Parameter("save_path", true)});
    placeRobot(1.0, 1.0);
    for (int i = 0; i < 100; ++i) {
      covered_.push_back(pose(0.5 + 0.05 * i, 0.5));
    }
    folder_ = std::filesystem::temp_directory_path() /
              ("dynamic_coverage_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    Access::pathFileFolder(*planner_) = folder_.string() + "/";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void startTask(const std::string& uuid) {
    planner_->updateGoal(dynamicGoal(uuid, {box(0.1, 0.1, 2.1, 1.1)}));
    Access::finished(*planner_) = true;
  }

  std::vector<std::string> records() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().string());
    }
    return names;
  }

  std::vector<PoseStamped> covered_;
  std::filesystem::path folder_;
};

TEST_F(EndOfTask, PublishesTheCoveredPointsEveryThreeSecondsAndKeepsTheLastGoodAnswer) {
  auto centre = std::make_unique<TaskCentre>(node_, [this]() { return covered_; });
  auto goal = std::make_shared<Goal>(*dynamicGoal("points", {box(0.1, 0.1, 2.1, 1.1)}));
  goal->covered_points_frm_taskcenter.resize(2);
  planner_->updateGoal(goal);
  for (int second = 0; second < 4; ++second) {
    EXPECT_TRUE(planner_->pubCoveredInfo()) << second;
    advance(1s);
  }
  EXPECT_EQ(centre->requests(), 2);
  EXPECT_EQ(centre->lastFlag(), 1);
  ASSERT_EQ(Probe::coveredPoints().count(), 2U);
  const auto message = Probe::coveredPoints().kept().back();
  EXPECT_EQ(message.action_id, 7);
  EXPECT_EQ(message.covered_points.size(), 102U);  // the goal's first
  EXPECT_FLOAT_EQ(message.covered_points[2].x, 0.5F);
  EXPECT_EQ(Probe::coveredPaths().count(), 2U);
  EXPECT_EQ(Access::coveredPoints(*planner_).size(), 100U);

  // An empty answer changes nothing.
  covered_.clear();
  advance(3s);
  EXPECT_TRUE(planner_->pubCoveredInfo());
  EXPECT_EQ(centre->requests(), 3);
  EXPECT_EQ(Probe::coveredPoints().count(), 2U);
  // Nobody answers: the service is there but its node is not spun. Then it is gone.
  centre.reset();
  auto mute = std::make_shared<rclcpp::Node>("mute_centre");
  auto service = mute->create_service<GetCoveredPoints>(
      "/get_coverage_point", [](const std::shared_ptr<GetCoveredPoints::Request>,
                                std::shared_ptr<GetCoveredPoints::Response>) {});
  advance(3s);
  EXPECT_FALSE(planner_->pubCoveredInfo());
  EXPECT_EQ(countLogged("SyncCallService get_coverage_points server timeout"), 1);
  service.reset();
  advance(3s);
  EXPECT_FALSE(planner_->pubCoveredInfo());
  EXPECT_EQ(countLogged("get_coverage_points server not exist"), 1);
  EXPECT_EQ(Access::coveredPoints(*planner_).size(), 100U);
}

TEST_F(EndOfTask, AsksForItsRecordingByTheCleanedShareAndWritesThePathRecord) {
  TaskCentre centre(node_, [this]() { return covered_; });
  startTask("share");
  ASSERT_TRUE(planner_->pubCoveredInfo());
  advance(1800s);
  planner_->calculateCleaningEfficiency();
  // 100 cells of 2.0 m^2: 0.125 of it.
  EXPECT_NEAR(planner_->getCleanedArea(), 0.25, 1e-6);
  EXPECT_EQ(recordings("cleaned_area_too_less"), 1);
  EXPECT_EQ(countLogged("[ERROR] ErrorCode: 101100029,The proportion of the cleaned area is less "
                        "than 0.5,proportion_cleaned_area is 0.125"),
            1);
  const auto files = records();
  ASSERT_EQ(files.size(), 1U);
  std::ifstream record(files[0]);
  std::string first;
  std::getline(record, first);
  EXPECT_EQ(first,
            "cleaning efficiency is 0.5;cleaned area is 0.25;need clean area is 2;use time is "
            "30 min");
  std::string point;
  std::getline(record, point);
  EXPECT_EQ(point, "0.5,0.5");

  // An equal share is enough; every call while finished reports again.
  Access::threshold(*planner_) = 0.125;
  planner_->calculateCleaningEfficiency();
  EXPECT_EQ(recordings("task_finished"), 1);
  EXPECT_EQ(countLogged("cleaning efficiency is 0.5"), 2);

  // A folder that is missing: one warning, and the line in the log all the same.
  const std::string missing = folder_.string() + "/missing/";
  Access::pathFileFolder(*planner_) = missing;
  planner_->calculateCleaningEfficiency();
  EXPECT_EQ(countLogged("Failed to open file " + missing + "path_"), 1);
  EXPECT_EQ(countLogged("cleaning efficiency is 0.5"), 3);

  // Within the first second of a task: the recording only.
  startTask("quick");
  planner_->calculateCleaningEfficiency();
  EXPECT_EQ(recordings("task_finished") + recordings("cleaned_area_too_less"), 4);
  EXPECT_EQ(countLogged("cleaning efficiency is"), 3);
}

}  // namespace
}  // namespace dynamic_coverage_test
