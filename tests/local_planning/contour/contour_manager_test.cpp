#include "planning/local_planning/contour/contour_manager.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "contour_fixtures.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "support/log_capture.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

namespace contour_test {
namespace {

using Access = planning::testing::ContourManagerProbe;
using planning::ContourManager;

using ManagerTest = ManagerFixture;

TEST_F(ManagerTest, DeclaresItsNamesInOrderSoASecondManagerFails) {
  std::vector<std::string> names;
  std::istringstream text(
      "minimum_cleaning_area clean_cost inflation_cost use_obatacle_identify "
      "use_local_gridmap_ros_plan enable_trace save_contour_file dynamic_coverage_fuzzy_range_end "
      "dynamic_coverage_few_obstacle path_constraint_reference_distance "
      "path_constraint_reference_range path_constraint_reference_path_cost "
      "distance_to_contour_threshold path_distance_to_contour_threshold complex_contour_area "
      "epsilon complex_density_width global_path_point_count judge_surround_area "
      "judge_surround_area_offset try_count try_planner_points_count small_areas_threshold "
      "connectivity_threshold predicted_efficiency robot_surround_try_time "
      "concave_points_max_distance");
  for (std::string name; text >> name;) {
    names.push_back(name);
  }
  ASSERT_EQ(names.size(), 27U);
  for (size_t taken = 0; taken < names.size(); ++taken) {
    auto node = makeNode("declaration_order_test");
    node->declare_parameter(names[taken], rclcpp::ParameterValue(std::string("x")));
    EXPECT_THROW(manager(node), rclcpp::exceptions::ParameterAlreadyDeclaredException);
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(node->has_parameter(names[i]), i <= taken)
          << names[taken] << " taken: " << names[i];
    }
    EXPECT_FALSE(node->has_parameter("dynamic_coverage_planner_wait_time"));
  }
  manager();
  EXPECT_TRUE(node_->has_parameter("dynamic_coverage_planner_wait_time"));
  EXPECT_FALSE(node_->has_parameter("publish_morph_local_costmap_mat"));
  EXPECT_THROW(manager(node_), rclcpp::exceptions::ParameterAlreadyDeclaredException);
}

TEST_F(ManagerTest, ReadsItsParametersAndRejectsRegionsBelowTheMinimumArea) {
  auto node = makeNode("parameter_read_test");
  node->declare_parameter("dynamic_coverage_planner_wait_time", 7);
  auto contours = manager(node);
  EXPECT_EQ(Access::waitTime(*contours), 7);
  // 0.5 m^2 at 0.05 m, as near 200 cells as the resolution's rounding allows.
  const double minimum = Access::minimumCleaningArea(*contours);
  EXPECT_NEAR(minimum, 200.0, 1e-4);
  std::vector<cv::Point> outline;
  EXPECT_FALSE(contours->invalidContour(outline, minimum, planning::ZONE));
  EXPECT_TRUE(contours->invalidContour(outline, 199.5, planning::ZONE));
  EXPECT_FALSE(contours->invalidContour(outline, minimum / 2, planning::INNER));
  EXPECT_TRUE(contours->invalidContour(outline, 99.5, planning::INNER));
  EXPECT_TRUE(logged(
      fmt::format("[INFO] contour type is 1,area is 99.5,minimum_cleaning_area is {}", minimum)));
  const auto overridden = manager({rclcpp::Parameter("minimum_cleaning_area", 1.0)});
  EXPECT_NEAR(Access::minimumCleaningArea(*overridden), 400.0, 1e-4);
}

TEST_F(ManagerTest, SetContourKeepsZonesRelativeAndRawAndResetClearsTheTask) {
  auto contours = manager();
  Access::contours(*contours).push_back(record("kept", 0.0, 1.0));
  Access::currentUuid(*contours) = "current";
  contours->setContour(zoneList({box(10, 20, 30, 40), {{50, 5}, {60, 8}, {55, 12}}}));
  const auto& zones = Access::zones(*contours);
  ASSERT_EQ(zones.size(), 2U);
  EXPECT_EQ(zones[0].rect, cv::Rect(10, 20, 21, 21));
  EXPECT_EQ(zones[0].points, box(0, 0, 20, 20));
  EXPECT_EQ(zones[1].points, (std::vector<cv::Point>{{0, 0}, {10, 3}, {5, 7}}));
  const auto& raw = Access::rawZones(*contours);
  ASSERT_EQ(raw.size(), 2U);
  EXPECT_EQ(std::make_pair(raw[0].points, raw[0].rect),
            std::make_pair(box(10, 20, 30, 40), cv::Rect()));
  EXPECT_EQ(Access::zoneIndex(*contours), -1);
  EXPECT_EQ(Access::contours(*contours).size(), 1U);  // the regions wait for reset

  Access::zoneIndex(*contours) = 1;
  Access::finished(*contours) = true;
  contours->reset();
  EXPECT_TRUE(Access::zones(*contours).empty() && raw.empty() &&
              Access::contours(*contours).empty());
  EXPECT_EQ(Access::zoneIndex(*contours), -1);
  EXPECT_FALSE(contours->isFinished());
  EXPECT_EQ(Access::currentUuid(*contours), "current");
  for (const auto& none : {zoneList({}), decltype(zoneList({}))()}) {
    contours->setContour(none);
    EXPECT_TRUE(Access::zones(*contours).empty());
  }
}

TEST_F(ManagerTest, ReplansOnceWhenTheRobotReachesTheCurrentZonesOutline) {
  auto contours = manager();
  // Zone cells 20..59 x 10..49, window origin (20, 10); "current" is followed.
  const auto prepare = [&](uint32_t state, int zone_index = 0) {
    contours->reset();
    contours->setContour(zoneList({box(20, 10, 59, 49)}));
    Access::zoneIndex(*contours) = zone_index;
    Access::setWindowOrigin(*contours, 20, 10);
    auto current = record("current", 0.0, 100.0, box(5, 5, 30, 30));
    current.state = state;
    Access::contours(*contours) = {record("other", 0.0, 1.0, box(1, 1, 3, 3)), current};
    Access::currentUuid(*contours) = "current";
  };
  prepare(ContourInfo::kActive);
  placeRobotOnCell(40, 30);  // on the region, 0.95 m from the zone's outline
  EXPECT_FALSE(contours->rePlanCleanPath());
  placeRobotOnCell(23, 30);  // 0.15 m inside
  EXPECT_TRUE(contours->rePlanCleanPath());
  EXPECT_TRUE(contours->hasReachedContour());
  EXPECT_FALSE(contours->rePlanCleanPath());

  const std::vector<std::tuple<std::string, uint32_t, int, double, bool>> cases = {
      {"0.15 m outside, left of the window", ContourInfo::kActive, 0, 17, true},
      {"0.25 m outside", ContourInfo::kActive, 0, 15, false},
      {"on the outline, no active current region", ContourInfo::kFinished, 0, 20, false},
      {"no current zone", ContourInfo::kActive, -1, 20, false},
      {"a zone index past the list", ContourInfo::kActive, 1, 20, false}};
  for (const auto& [name, state, zone_index, x, replan] : cases) {
    SCOPED_TRACE(name);
    prepare(state, zone_index);
    placeRobotOnCell(x, 30);
    EXPECT_EQ(contours->rePlanCleanPath(), replan);
    EXPECT_EQ(contours->hasReachedContour(), replan);
  }
}

// A robot anywhere inside the current zone is in it, however far from the outline: a zone drawn
// along the walls is never approached from outside.
TEST_F(ManagerTest, TheRobotIsInTheCurrentZoneAnywhereInsideItsOutline) {
  auto contours = manager();
  const std::vector<std::tuple<std::string, int, double, bool>> cases = {
      {"in the middle, 0.95 m from the outline", 0, 40, true},
      {"on the outline", 0, 20, true},
      {"0.15 m outside", 0, 17, false},
      {"no current zone", -1, 40, false},
      {"a zone index past the list", 1, 40, false}};
  for (const auto& [name, zone_index, x, inside] : cases) {
    SCOPED_TRACE(name);
    contours->reset();
    contours->setContour(zoneList({box(20, 10, 59, 49)}));
    Access::zoneIndex(*contours) = zone_index;
    Access::setWindowOrigin(*contours, 20, 10);
    placeRobotOnCell(x, 30);
    EXPECT_EQ(contours->isRobotInCurrentZone(), inside);
  }
}

TEST_F(ManagerTest, MeasuresTheRobotCellSignedLeftOfAndBelowTheWindow) {
  auto contours = manager();
  Access::setWindowOrigin(*contours, 30, 20);
  Access::contours(*contours) = {record("far", 0.0, 16.0, box(10, 0, 14, 4)),
                                 record("near", 0.0, 16.0, box(0, 0, 4, 4))};
  placeRobotOnCell(25, 22);
  contours->updateRobotToContourDistance();
  EXPECT_EQ(Access::robotCell(*contours), cv::Point(-5, 2));
  auto sorted = Access::contours(*contours);
  EXPECT_DOUBLE_EQ(sorted[0].robot_distance, -15.0);
  EXPECT_DOUBLE_EQ(sorted[1].robot_distance, -5.0);
  planning::sortContourInfos(sorted.begin(), sorted.end(), "");
  EXPECT_EQ(uuidsOf(sorted), (std::vector<std::string>{"near", "far"}));
  EXPECT_TRUE(
      logged("[ERROR] [ContourManager]updateRobotPose bbox_origin_x_=30,global_x_=25, "
             "bbox_origin_y_=20,global_y_=22"));

  placeRobotOnCell(-10, 22);
  EXPECT_FALSE(contours->updateRobotPose());
  EXPECT_TRUE(logged("[ERROR] [ContourManager]updateRobotPose , worldToMap is failed"));
  gm::removeRobotPose(*maps_.global);
  EXPECT_FALSE(contours->updateRobotPose());
  EXPECT_TRUE(logged("[ERROR] [ContourManager]updateRobotPose , getRobotPose is failed"));
  EXPECT_EQ(Access::robotCell(*contours), cv::Point(-5, 2));
}

TEST_F(ManagerTest, ReportsActiveResiduesAndTheAreaAndTimeOfEveryRecord) {
  auto contours = manager({rclcpp::Parameter("predicted_efficiency", 720.0)});
  double area = -1.0;
  double time = -1.0;
  contours->calRemaningContoursAreaAndtime(area, time);
  EXPECT_EQ(std::make_pair(area, time), std::make_pair(0.0, 0.0));

  Access::setWindowOrigin(*contours, 10, 20);
  auto finished = record("finished", 0.0, 0.0, box(0, 30, 20, 40));
  finished.state = ContourInfo::kFinished;
  auto abandoned = record("abandoned", 0.0, 0.0, box(30, 30, 50, 40));
  abandoned.state = ContourInfo::kAbandoned;
  Access::contours(*contours) = {record("active", 0.0, 0.0, box(0, 0, 40, 20)), finished,
                                 abandoned};
  const auto zones = contours->getResiduesZones();
  ASSERT_EQ(zones.size(), 1U);
  ASSERT_EQ(zones[0].points.size(), 4U);
  const std::vector<cv::Point2d> corners = {{0.5, 1.0}, {2.5, 1.0}, {2.5, 2.0}, {0.5, 2.0}};
  for (size_t i = 0; i < corners.size(); ++i) {
    EXPECT_NEAR(zones[0].points[i].x, corners[i].x, 1e-6);
    EXPECT_NEAR(zones[0].points[i].y, corners[i].y, 1e-6);
  }
  // 800 + 200 + 200 cells of 0.0025 m^2, at 720 m^2 per hour.
  contours->calRemaningContoursAreaAndtime(area, time);
  EXPECT_NEAR(area, 3.0, 1e-6);
  EXPECT_NEAR(time, 15.0, 1e-6);
  contours->abandonAllContours();
  EXPECT_TRUE(contours->getResiduesZones().empty());

  auto idle = manager({rclcpp::Parameter("predicted_efficiency", 0.0)});
  Access::contours(*idle) = {record("active", 0.0, 0.0, box(0, 0, 40, 20))};
  idle->calRemaningContoursAreaAndtime(area, time);
  EXPECT_NEAR(area, 2.0, 1e-6);
  EXPECT_EQ(time, 0.0);
}

TEST_F(ManagerTest, PublishesObstaclePixelsOverTheMapOnlyWhenAsked) {
  std::vector<nav_msgs::msg::OccupancyGrid> grids;
  auto listener = std::make_shared<rclcpp::Node>("occupancy_grid_listener");
  auto subscription = listener->create_subscription<nav_msgs::msg::OccupancyGrid>(
      "local_planning_distance_map_pub", rclcpp::QoS(1),
      [&](nav_msgs::msg::OccupancyGrid::ConstSharedPtr grid) { grids.push_back(*grid); });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  auto node = makeNode("occupancy_grid_test");
  node->declare_parameter("publish_morph_local_costmap_mat", true);
  auto contours = manager(node);
  // The local map: 40 x 40 cells from (0.975, 0.475). 51 extra columns give a border of 25.
  for (const auto& [extra_columns, border] : std::vector<std::pair<int, int>>{{0, 0}, {51, 25}}) {
    cv::Mat image(40 + 2 * border, 40 + extra_columns, CV_8UC1, cv::Scalar(200));
    image.at<uint8_t>(3, 7) = 0;
    grids.clear();
    contours->publishAsOccupancyGrid(image, Access::distanceMapPublisher(*contours), *maps_.local);
    executor.spin_all(std::chrono::seconds(5));
    ASSERT_EQ(grids.size(), 1U);
    const auto& grid = grids.back();
    EXPECT_EQ(grid.header.frame_id, "map");
    EXPECT_FLOAT_EQ(grid.info.resolution, 0.05F);
    EXPECT_EQ(cv::Size(grid.info.width, grid.info.height), image.size());
    EXPECT_NEAR(grid.info.origin.position.x, 0.975 - 0.05 * border, 1e-6);
    EXPECT_NEAR(grid.info.origin.position.y, 0.475 - 0.05 * border, 1e-6);
    EXPECT_EQ(grid.info.origin.orientation.w, 1.0);
    std::vector<int8_t> expected(image.total(), 0);
    expected[3 * image.cols + 7] = -2;
    EXPECT_EQ(grid.data, expected);
  }
  // Without the parameter on the node the gate stays closed, even with a subscriber.
  auto closed = manager();
  grids.clear();
  closed->publishAsOccupancyGrid(cv::Mat::zeros(40, 40, CV_8UC1),
                                 Access::distanceMapPublisher(*closed), *maps_.local);
  executor.spin_all(std::chrono::seconds(5));
  EXPECT_TRUE(grids.empty());
  executor.remove_node(listener);
}

TEST_F(ManagerTest, OverlapTestProbesTheLargerOutlineWithinHalfAMetre) {
  const auto contours = manager();
  // a1, a2, c1, c2, overlap, o1, o2 (cells; half a metre is 10 cells)
  using Case = std::tuple<double, double, std::vector<cv::Point>, std::vector<cv::Point>, bool,
                          double, double>;
  const std::vector<Case> cases = {
      {25, 400, box(5, 5, 10, 10), box(0, 0, 20, 20), true, 10, 5},
      {400, 25, box(5, 5, 10, 10), box(0, 0, 20, 20), false, -1, -std::sqrt(200.0)},
      {400, 400, box(0, 0, 20, 20), box(5, 0, 25, 20), true, 0, -5},
      {400, 400, box(0, 0, 20, 20), box(15, 0, 35, 20), false, 0, -15},
      {1, 400, {}, box(0, 0, 20, 20), false, -1, std::numeric_limits<double>::max()}};
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& [a1, a2, c1, c2, overlap, o1, o2] = cases[i];
    double out1 = 0.0;
    double out2 = 0.0;
    EXPECT_EQ(contours->intersectOrContain(a1, a2, c1, c2, out1, out2), overlap) << i;
    EXPECT_NEAR(out1, o1, 1e-6) << i;
    EXPECT_EQ(std::round(out2 * 1e6), std::round(o2 * 1e6)) << i;
  }
}

TEST_F(ManagerTest, MergeReplacesAppendsAndFinishesTheSmallerOfOverlappingRegions) {
  const auto a = record("A", -40.0, 100.0, box(100, 100, 110, 110));
  const auto b = record("B", -30.0, 400.0, box(0, 0, 20, 20));
  const auto big = record("big", -1.0, 528.0, box(0, 0, 24, 22));
  const auto at = [](const char* uuid, double x0, double distance) {
    return record(uuid, distance, 4.0, box(x0, 0, x0 + 2, 2));
  };
  // list, index, new records, the list after: uuids, '*' marking a finished record
  using Case = std::tuple<std::vector<ContourInfo>, int, std::vector<ContourInfo>, std::string>;
  const std::vector<Case> cases = {
      // One new record replaces in place; nothing is re-sorted.
      {{at("P", 200, -1), a, at("Q", 300, 9)}, 1, {at("X", 150, -50)}, "P X Q"},
      // A later new record as large as an old one enters finished.
      {{a, b}, 0, {at("N0", 50, -1), record("N1", -2.0, 400.0, box(0, 0, 20, 20))}, "N0 N1* B"},
      // An old region far inside a much larger new one stays.
      {{a, record("small", -1.0, 25.0, box(20, 20, 25, 25))},
       0,
       {record("N0", 5.0, 3600.0, box(0, 0, 60, 60))},
       "N0 small"},
      // A slightly larger new region finishes the old one.
      {{a, b}, 0, {big}, "big B*"},
      // New record 0 already stands in place when compared: with a larger old one both stay.
      {{a, big}, 0, {b}, "B big"},
      // Several new records: appended, and the records after the index re-sorted.
      {{at("P", 200, -50), a, at("Q", 300, -1)},
       1,
       {at("N0", 150, -9), at("N1", 160, -0.5), at("N2", 170, 5)},
       "P N0 N2 N1 Q"},
      {{a, b}, 2, {at("N0", 50, 0)}, "A B"},
      {{a, b}, -1, {at("N0", 50, 0)}, "A B"}};
  const auto contours = manager();
  Access::zoneImage(*contours) = cv::Mat::zeros(400, 400, CV_8UC1);
  const SnapshotFolder snapshots;
  Access::snapshotRoot(*contours) = snapshots.root();
  for (const bool save : {false, true}) {
    Access::saveContourFile(*contours) = save;
    for (size_t i = 0; i < cases.size(); ++i) {
      auto [list, index, fresh, expected] = cases[i];
      Access::contours(*contours) = list;
      contours->updateContourInfoVecAndSort(fresh, index);
      std::string after;
      for (const auto& info : Access::contours(*contours)) {
        after += (after.empty() ? "" : " ") + info.uuid +
                 (info.state == ContourInfo::kFinished ? "*" : "");
      }
      EXPECT_EQ(after, expected) << "case " << i;
    }
  }
  // Three merges found overlaps while saving: a text and a picture each.
  EXPECT_EQ(snapshots.files("images1").size(), 6U);
  // The robot's folder is missing here: the merge goes on, with one warning per snapshot.
  Access::snapshotRoot(*contours) = snapshots.root() + "missing/";
  auto [list, index, fresh, expected] = cases[1];
  Access::contours(*contours) = list;
  contours->updateContourInfoVecAndSort(fresh, index);
  EXPECT_EQ(countLogged("[WARN] updateContourInfoVecAndSort: could not write the snapshot"), 1U);
  EXPECT_EQ(Access::contours(*contours).size(), 3U);
}

}  // namespace
}  // namespace contour_test
