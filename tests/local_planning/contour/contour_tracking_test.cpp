// The contour manager driven as the dynamic coverage planner drives it, on drawn zones with
// the real grid search: zone advance, region re-extraction, contour paths, approaches,
// hollows, a boxed-in robot and regions along obstacles.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "contour_fixtures.hpp"
#include "planning/geometry.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace contour_test {
namespace {

using Access = planning::testing::ContourManagerProbe;
using planning::ContourManager;
using vantrell_communicator::testing::CommunicatorProbe;
using vantrell_nav2_planner::astar2::AstarNode;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

// The square zone of cells (24, 14) .. (55, 45), inside the local window.
const std::vector<cv::Point> kZone = box(24, 14, 55, 45);

// Cells of the rectangle (x0, y0) .. (x1, y1), both included.
gm::Cells cellsOf(int x0, int y0, int x1, int y1) {
  gm::Cells cells;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      cells.push_back({static_cast<unsigned int>(x), static_cast<unsigned int>(y)});
    }
  }
  return cells;
}

// Plays the dynamic coverage planner's part: each cycle it hands over the robot pose and cell,
// refreshes the converter, may look for a hollow, asks whether to replan and for the next path
// set (the robot is taken to drive each path to its end between cycles), then reads the flags.
struct ScriptedOwner {
  ScriptedOwner(std::shared_ptr<ContourManager> contours, gm::LocalNodeMaps& floor)
      : manager(std::move(contours)),
        maps(floor),
        engine(std::make_shared<AstarPlanner>("local_global", floor.global)) {
    manager->setGlobalPlanner(engine);
  }

  void newGoal(const std::vector<std::vector<cv::Point>>& zones) {
    manager->reset();
    manager->setContour(zoneList(zones));
  }

  void cycle(bool dilation = false) {
    geometry_msgs::msg::PoseStamped pose;
    maps.global->getCostmapROS()->getRobotPose(pose);
    unsigned int mx = 0;
    unsigned int my = 0;
    maps.global->getMultiGridMap()->getCostmap()->worldToMap(pose.pose.position.x,
                                                             pose.pose.position.y, mx, my);
    manager->setRobotPose(pose);
    manager->setRobotCell(mx, my);
    manager->locationCoverter().updateOrigin();
    cv::Point hollow(0, 0);
    const bool dilate = dilation && manager->detectContourHollow(hollow);
    manager->rePlanCleanPath();
    paths.paths.clear();
    EXPECT_TRUE(manager->getContourPath(paths, dilate, hollow));
    finished = manager->isFinished();
    reached = reached || manager->hasReachedContour();
  }

  std::shared_ptr<ContourManager> manager;
  gm::LocalNodeMaps& maps;
  std::shared_ptr<AstarPlanner> engine;
  MultiPaths paths;
  bool finished{false};
  bool reached{false};
};

class TrackingTest : public ManagerFixture {
 protected:
  void SetUp() override {
    ManagerFixture::SetUp();
    CommunicatorProbe::reset();
  }

  // A manager whose snapshots, if any, go to a temporary folder; the robot at (10, 30),
  // left of the zone.
  std::shared_ptr<ContourManager> start(const std::vector<rclcpp::Parameter>& overrides = {}) {
    auto contours = manager(overrides);
    Access::snapshotRoot(*contours) = snapshots_.root();
    contours->setTraceLogger(std::make_shared<LogPublisher>(node_));
    placeRobotOnCell(10, 30);
    return contours;
  }

  void markZoneCells(const gm::Cells& cells) {
    gm::markObstacleCells(*maps_.zone, cells);
    maps_.zone->getMultiGridMap()->updateMap();
  }
  // The robot at (40, 30) and the first region of the zone, cut while a box stands in a notch of
  // the zone's left side (cells 24..37 x 20..39).
  void cutRegionBesideABox(ScriptedOwner& owner) {
    placeRobotOnCell(40, 30);
    markZoneCells(cellsOf(24, 20, 37, 39));
    owner.newGoal({kZone});
    owner.cycle();
  }

  // Walls round the robot at (10, 30) on the map it plans on; the zone map does not know.
  void wallInTheRobot() {
    for (const auto& side : {cellsOf(7, 27, 13, 27), cellsOf(7, 33, 13, 33), cellsOf(7, 27, 7, 33),
                             cellsOf(13, 27, 13, 33)}) {
      gm::markObstacleCells(*maps_.global, side);
    }
  }

  SnapshotFolder snapshots_;
};

TEST_F(TrackingTest, EntersTheFirstZoneWithARegionAndHandsOutItsApproachAndOutline) {
  auto contours = start();
  ScriptedOwner owner(contours, maps_);
  // The first zone is too small to hold a region (below 200 cells) and is passed over.
  owner.newGoal({box(2, 2, 9, 9), kZone});
  owner.cycle();
  EXPECT_EQ(Access::zoneIndex(*contours), 1);
  EXPECT_TRUE(logged("[INFO] contour type is 0,area is 49,minimum_cleaning_area is"));
  ASSERT_EQ(Access::contours(*contours).size(), 1U);
  const ContourInfo region = Access::contours(*contours)[0];
  EXPECT_EQ(region.area, 31.0 * 31.0);
  EXPECT_EQ(Access::currentUuid(*contours), region.uuid);
  // The outline from its point nearest the robot, published; the approach searched to it
  // with the manager's options, and joined to the outline into one dense path.
  const auto outline = CommunicatorProbe::contourPaths().kept().at(0);
  EXPECT_EQ(outline.poses.size(), region.points.size());
  const auto call = AstarPlannerProbe::lastCall(*owner.engine);
  EXPECT_EQ(call.goal.pose.position, outline.poses[0].pose.position);
  EXPECT_EQ(std::make_tuple(call.options.byte_0, call.options.fuzzy_range, call.options.tolerance,
                            call.options.offset_cells, call.options.use_reference_path),
            std::make_tuple(true, 1.0, 0.5, 4, false));
  EXPECT_EQ(CommunicatorProbe::dynamicGlobalPaths().count(), 1U);
  ASSERT_EQ(owner.paths.paths.size(), 1U);
  const auto& path = owner.paths.paths[0].nav_path;
  EXPECT_EQ(path.header.frame_id, "map");
  // Densified to 0.05 m and trimmed at the robot: the start pose at (0.5, 1.5) is gone.
  EXPECT_NEAR(path.poses[0].pose.position.x, 0.55, 1e-6);
  for (size_t i = 1; i < path.poses.size(); ++i) {
    const auto& [a, b] = std::tie(path.poses[i - 1].pose.position, path.poses[i].pose.position);
    ASSERT_LE(std::hypot(b.x - a.x, b.y - a.y), 0.05 + 1e-9) << i;
  }
  EXPECT_EQ(path.poses.back().pose.position, outline.poses.back().pose.position);
  // Replanning towards the region the last approach led to keeps near that approach.
  owner.cycle();
  owner.cycle();
  const auto again = AstarPlannerProbe::lastCall(*owner.engine);
  EXPECT_TRUE(again.options.use_reference_path);
  EXPECT_FALSE(again.reference_path.value().path.poses.empty());
}

TEST_F(TrackingTest, FindsAHollowBesideTheRegionAndGrowsTheRegionIntoIt) {
  auto contours = start();
  ScriptedOwner owner(contours, maps_);
  cutRegionBesideABox(owner);
  ASSERT_EQ(Access::contours(*contours).size(), 1U);
  const ContourInfo notched = Access::contours(*contours)[0];
  cv::Point hollow;
  EXPECT_FALSE(contours->detectContourHollow(hollow));

  // The box is taken away: the notch is free and not cleaned, beside the region.
  gm::clearObstacles(*maps_.zone);
  maps_.zone->getMultiGridMap()->updateMap();
  contours->locationCoverter().updateOrigin();
  ASSERT_TRUE(contours->detectContourHollow(hollow));
  const cv::Rect notch(0, 6, 14, 20);
  EXPECT_TRUE(notch.contains(hollow)) << hollow;
  // Without growth the region keeps its notch; grown from the hollow it fills the zone
  // under the same identity.
  owner.cycle();
  EXPECT_EQ(Access::contours(*contours)[0].area, notched.area);
  owner.cycle(true);
  ASSERT_EQ(Access::contours(*contours).size(), 1U);
  EXPECT_EQ(Access::contours(*contours)[0].uuid, notched.uuid);
  EXPECT_EQ(Access::contours(*contours)[0].area, 31.0 * 31.0);
  EXPECT_TRUE(logged("[DEBUG] [getContourPath]findConnectedComponentsFree success"));
  EXPECT_FALSE(contours->detectContourHollow(hollow));
}

TEST_F(TrackingTest, AShrunkRegionKeepsItsIdentityAndASplitOneIsReplaced) {
  auto contours = start({rclcpp::Parameter("small_areas_threshold", 1.0)});
  ScriptedOwner owner(contours, maps_);
  owner.newGoal({kZone});
  owner.cycle();
  auto& regions = Access::contours(*contours);
  const std::string first = regions.at(0).uuid;
  // Above the inner threshold, the one inner region takes the region's place and name.
  EXPECT_EQ(regions[0].type, planning::INNER);
  regions[0].plan_fail_count = 3;
  markZoneCells(cellsOf(24, 14, 27, 45));  // the left strip is cleaned
  owner.cycle();
  ASSERT_EQ(regions.size(), 1U);
  EXPECT_EQ(std::make_tuple(regions[0].uuid, regions[0].plan_fail_count, regions[0].area),
            std::make_tuple(first, 3, 27.0 * 31.0));
  markZoneCells(cellsOf(24, 29, 55, 30));  // a cleaned band cuts the rest in two
  owner.cycle();
  ASSERT_EQ(regions.size(), 2U);
  EXPECT_TRUE(regions[0].uuid != first && regions[1].uuid != first);
  EXPECT_EQ(regions[0].plan_fail_count + regions[1].plan_fail_count, 0);
  EXPECT_EQ(Access::currentUuid(*contours), regions[0].uuid);
}

// The first goal refused, the approach reaches contour pose 2: the contour path goes on from
// there and never back to pose 0 on a chord nobody searched. Every contour pose stays: an
// outline goes round to the poses before the goal, a centre line goes back over them from its
// end, facing the way it is driven.
TEST_F(TrackingTest, AnApproachToALaterGoalHandsOutTheContourFromThatGoal) {
  const std::vector<cv::Point> ring = {{30, 20}, {40, 20}, {50, 20}, {50, 30},
                                       {50, 40}, {40, 40}, {30, 40}, {30, 30}};
  vantrell_nav2_protocol::msg::Path contour;
  for (const auto& cell : ring) {
    contour.nav_path.poses.push_back(planning::geometry::planarPose(0.05 * cell.x, 0.05 * cell.y));
  }
  const auto& first = contour.nav_path.poses.front().pose.position;
  const struct {
    bool narrow;
    std::vector<size_t> order;
  } cases[] = {{false, {2, 3, 4, 5, 6, 7, 0, 1}}, {true, {2, 3, 4, 5, 6, 7, 1, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.narrow ? "centre line" : "outline");
    auto contours = start();
    const auto engine = std::make_shared<AstarPlanner>("local_global", maps_.global);
    contours->setGlobalPlanner(engine);
    AstarPlannerProbe::script(
        *engine,
        [&first](const auto&, const auto& goal, const auto&, auto&) -> std::optional<bool> {
          if (goal.pose.position == first) return false;
          return std::nullopt;
        });
    Access::narrowContour(*contours) = c.narrow;
    MultiPaths paths;
    ContourInfo info;
    ASSERT_TRUE(contours->navigateToContour(contour, paths, info));
    ASSERT_EQ(paths.paths.size(), 1U);
    const auto& poses = paths.paths.front().nav_path.poses;
    ASSERT_GT(poses.size(), ring.size());
    const size_t tail = poses.size() - ring.size();
    for (size_t k = 0; k < ring.size(); ++k) {
      EXPECT_EQ(poses[tail + k].pose.position, contour.nav_path.poses[c.order[k]].pose.position)
          << k;
    }
    EXPECT_NEAR(std::abs(planning::geometry::yawOf(poses.back())),
                c.narrow ? planning::geometry::kPi : 0.0, 1e-9);
  }
}

TEST_F(TrackingTest, FailedApproachesCountAndAbandonRegions) {
  wallInTheRobot();
  {
    auto contours = start();
    ScriptedOwner owner(contours, maps_);
    owner.newGoal({kZone});
    owner.cycle();
    // 124 outline poses, 5 goals asked for: every 24th pose, 6 searches, each published.
    EXPECT_EQ(CommunicatorProbe::contourPaths().kept().at(0).poses.size(), 124U);
    EXPECT_EQ(AstarPlannerProbe::lastCall(*owner.engine).calls, 6U);
    EXPECT_EQ(CommunicatorProbe::dynamicGlobalPaths().count(), 6U);
    EXPECT_TRUE(owner.paths.paths.empty());
    const auto& region = Access::contours(*contours).at(0);
    EXPECT_EQ(std::make_pair(region.plan_fail_count, region.state),
              std::make_pair(1, ContourInfo::kActive));
    EXPECT_TRUE(logged("[WARN] navigateToContour global planner failed "));
  }
  // try_planner_points_count 0 would define no goal spacing: it is read as 1.
  auto contours = start({rclcpp::Parameter("try_planner_points_count", 0),
                         rclcpp::Parameter("minimum_cleaning_area", 0.1)});
  EXPECT_TRUE(logged("[WARN] try_planner_points_count 0 is below 1: 1 is used"));
  ScriptedOwner owner(contours, maps_);
  owner.newGoal({kZone, box(24, 46, 33, 55)});  // 2.56 m^2 and 0.25 m^2
  owner.cycle();
  EXPECT_EQ(AstarPlannerProbe::lastCall(*owner.engine).calls, 1U);
  // Past the wait time without a successful approach, every region is given up.
  Access::lastPlanTime(*contours) -= std::chrono::seconds(2);
  owner.cycle();
  EXPECT_TRUE(Access::contours(*contours).empty());
  // The small zone's region is abandoned at its first failed approach; the task ends with
  // the next cycle, once the zone advance finds nothing left.
  Access::lastPlanTime(*contours) = std::chrono::system_clock::now();
  owner.cycle();
  EXPECT_EQ(Access::zoneIndex(*contours), 1);
  EXPECT_TRUE(Access::contours(*contours).empty());
  EXPECT_FALSE(owner.finished);
  owner.cycle();
  EXPECT_TRUE(owner.finished);
}

TEST_F(TrackingTest, TrimsThePathHeadAtThePoseNearestTheRobotWithinTwoAndAHalfMetres) {
  auto contours = start();
  ASSERT_TRUE(contours->updateRobotPose());  // robot at (0.5, 1.5)
  // Poses 0.3 m apart along y = 1.5 from x0: first x, poses, first x after the trim.
  const std::vector<std::tuple<double, int, double>> cases = {
      {-1.6, 20, 0.5},   // robot on pose 7
      {-4.0, 30, -1.6},  // robot beyond the first 2.5 m: the last pose within them
      {0.5, 2, 0.5},     // two poses stay
      {0.5, 3, 0.8}};    // pose 0 is never a candidate
  for (const auto& [x0, count, first] : cases) {
    nav_msgs::msg::Path path;
    path.poses.resize(count);
    for (int i = 0; i < count; ++i) {
      path.poses[i].pose.position.x = x0 + 0.3 * i;
      path.poses[i].pose.position.y = 1.5;
    }
    Access::trimHead(*contours, path);
    EXPECT_NEAR(path.poses.front().pose.position.x, first, 1e-9) << x0;
    EXPECT_NEAR(path.poses.back().pose.position.x, x0 + 0.3 * (count - 1), 1e-9) << x0;
  }
}

TEST_F(TrackingTest, ANarrowRegionIsFollowedAlongItsCentreLineFromTheEndNearTheRobot) {
  auto contours = start();
  Access::setWindowOrigin(*contours, 20, 10);  // robot at window cell (-10, 20)
  nav_msgs::msg::Path path;
  // First x and y, last x (mm) and the number of poses.
  const auto ends = [&] {
    const auto mm = [](double metres) { return std::lround(metres * 1000.0); };
    return std::make_tuple(mm(path.poses.front().pose.position.x),
                           mm(path.poses.front().pose.position.y),
                           mm(path.poses.back().pose.position.x), path.poses.size());
  };
  // 3 cells (0.15 m) wide: the outline, from its corner nearest the robot.
  ASSERT_TRUE(contours->contour2Path(box(5, 20, 25, 23), *maps_.zone, path));
  EXPECT_FALSE(contours->isNarrowContour());
  EXPECT_EQ(ends(), std::make_tuple(1250L, 1500L, 1250L, size_t{4}));
  // 2 cells wide: the centre line, from the short side nearer the robot to the far one.
  ASSERT_TRUE(contours->contour2Path(box(5, 20, 25, 22), *maps_.zone, path));
  EXPECT_TRUE(contours->isNarrowContour());
  EXPECT_EQ(ends(), std::make_tuple(1250L, 1550L, 2250L, size_t{21}));
  // The costmap's cell size: the map message's single-precision 0.05, as Nav2 takes it.
  EXPECT_TRUE(logged(
      "[INFO] coverage_resolution=0.05000000074505806,delta_x=35,delta_y=1,robot_distance="));
  // Nearer the right end: from the line point nearest the robot to the left end.
  placeRobotOnCell(36, 34);
  ASSERT_TRUE(contours->contour2Path(box(5, 20, 25, 22), *maps_.zone, path));
  EXPECT_EQ(ends(), std::make_tuple(1800L, 1550L, 1250L, size_t{12}));
  // A strip whose far end is near a robot standing near an obstacle cannot be driven.
  gm::markObstacleCells(*maps_.local, cellsOf(14, 22, 14, 22));
  maps_.local->getMultiGridMap()->updateMap();
  EXPECT_FALSE(contours->contour2Path(box(14, 20, 20, 22), *maps_.zone, path));
  EXPECT_TRUE(logged("[INFO] obstacle distance="));
  EXPECT_TRUE(contours->contour2Path({}, *maps_.zone, path));  // nothing to follow
  EXPECT_FALSE(contours->contour2Path({{3, 3}, {3, 3}}, *maps_.zone, path));
  // Line cells round halves away from zero; a rotation starts at the first nearest point.
  EXPECT_EQ(contours->interpolateLine({0, 0}, {-1, 2}),
            (std::vector<cv::Point>{{0, 0}, {-1, 1}, {-1, 2}}));
  std::vector<cv::Point> ring = {{0, 0}, {5, 0}, {5, 5}, {5, 0}};
  contours->reindexContour(ring, 6, 1, ring, true);
  EXPECT_EQ(ring, (std::vector<cv::Point>{{5, 0}, {5, 5}, {5, 0}, {0, 0}}));
}

TEST_F(TrackingTest, ABoxedInRobotGivesUpTheRegionsOnceItsTimeIsOut) {
  auto contours = start();
  ScriptedOwner owner(contours, maps_);
  // 400 explored cells inside the zone and one outside it.
  std::vector<AstarNode> explored = {{0.0F, 5, 5, 0.0F}};
  for (int cell = 0; cell < 400; ++cell) {
    explored.push_back({0.0F, 30 + cell % 20, 20 + cell / 20, 0.0F});
  }
  std::vector<AstarNode*> nodes;
  for (auto& node : explored) {
    nodes.push_back(&node);
  }
  EXPECT_FALSE(contours->robotIsSurrounded(nodes));
  EXPECT_TRUE(logged("[WARN] ContourManager::current_zone_index_ is -1 zone_infos_ size() is 0"));
  owner.newGoal({kZone});
  owner.cycle();
  // 1.0 m^2 explored, strictly compared.
  for (const auto& [judged, surrounded] : {std::pair{1.5, true}, {1.0, false}}) {
    Access::judgeSurroundArea(*contours) = judged;
    EXPECT_EQ(contours->robotIsSurrounded(nodes), surrounded) << judged;
  }
  // Surrounded for 1.5 s of 2.0 s allowed, then for 2.5 s: every region is given up.
  Access::surroundTryTime(*contours) = 2.0;
  const ContourInfo current = Access::contours(*contours).at(0);
  for (const int elapsed_ms : {0, 1500, 1000}) {
    Access::surroundedSince(*contours) -= std::chrono::milliseconds(elapsed_ms);
    contours->traceRobotSurroundedState(current);
  }
  EXPECT_FALSE(Access::robotSurrounded(*contours));
  EXPECT_EQ(Access::contours(*contours)[0].state, ContourInfo::kAbandoned);
  EXPECT_EQ(countLogged("[INFO] navigateToContour current contour is unReachable"), 1U);
  contours->traceRobotSurroundedState(current);  // the timer starts again
  EXPECT_TRUE(Access::robotSurrounded(*contours));
}

TEST_F(TrackingTest, JudgesRegionsAlongObstaclesAndWritesTheirDebugFiles) {
  auto contours = start({rclcpp::Parameter("save_contour_file", true)});
  Access::zoneImage(*contours) = cv::Mat::zeros(60, 80, CV_8UC1);
  // A small region in the corner of the walls, every outline point within 0.4 m of them.
  const auto corner = record("corner", 0.0, 25.0, box(1, 1, 6, 6));
  EXPECT_EQ(contours->obstacleCount(box(20, 20, 30, 30)), 0);
  for (const auto& [x, around] : {std::pair{3, true}, {1, true}, {9, false}}) {
    placeRobotOnCell(x, 3);  // inside, on the outline, outside
    EXPECT_EQ(contours->isObstacleContour(corner), around) << x;
  }
  // A 100 x 10-cell strip outline of 30 points, 220 cells long.
  std::vector<cv::Point> strip = box(0, 0, 100, 10);
  strip.resize(30, cv::Point(0, 10));
  // obstacle count, area (cells), outline, answer
  const std::vector<std::tuple<int, double, std::vector<cv::Point>, bool>> cases = {
      {10, 40.0, strip, true},        // a third of the points next to obstacles, tiny
      {9, 40.0, strip, false},        // fewer: on to the strip test, with too few
      {25, 900.0, strip, true},       // a strip thin enough for its area
      {25, 900.0, {{4, 4}}, false}};  // no length
  for (const auto& [count, area, outline, answer] : cases) {
    EXPECT_EQ(contours->isNextToTheObstacle(count, area, outline), answer) << count << " " << area;
  }
  const auto files = snapshots_.files("images5");
  ASSERT_EQ(files.size(), 6U);  // two checks reached the strip test, one matched
  const auto matched = std::find_if(files.begin(), files.end(), [](const std::string& name) {
    return name.find("_dst2.txt") != std::string::npos;
  });
  ASSERT_NE(matched, files.end());
  std::stringstream lines;
  lines << std::ifstream(snapshots_.root() + "images5/" + *matched).rdbuf();
  EXPECT_EQ(lines.str(), "obstacle_count:25\narea:900\ndensity:4.09091\ncomplex_density:4.5\n");
  Access::complexDensityWidth(*contours) = 0.0;
  EXPECT_FALSE(contours->isNextToTheObstacle(25, 900.0, strip));
  // The robot's folder is missing here: one warning per snapshot, the answer unchanged.
  Access::complexDensityWidth(*contours) = 0.5;
  Access::snapshotRoot(*contours) = snapshots_.root() + "missing/";
  EXPECT_FALSE(contours->isNextToTheObstacle(9, 40.0, strip));
  EXPECT_EQ(countLogged("[WARN] isNextToTheObstacle: could not write the snapshot"), 1U);
}

TEST_F(TrackingTest, AFreeCellBesideARegionIsUncleanedOutsideItAndInsideItsZone) {
  auto contours = start();
  contours->setContour(zoneList({kZone, box(5, 5, 75, 55)}));
  cv::Mat coverage = cv::Mat::zeros(40, 40, CV_8UC1);
  coverage.at<uint8_t>(15, 8) = 254;  // zone-map cell (28, 25) is cleaned
  // Free; negative; in the region; on its outline; on the zone's; cleaned; off the local
  // map; no such zone.
  const std::vector<std::tuple<cv::Point, int, bool>> cases = {
      {{27, 25}, 0, true},  {{-3, 25}, 0, false}, {{35, 25}, 0, false}, {{30, 25}, 0, false},
      {{24, 25}, 0, false}, {{28, 25}, 0, false}, {{12, 25}, 1, false}, {{27, 25}, 2, false}};
  for (const auto& [cell, zone, free] : cases) {
    auto region = record("region", 0.0, 100.0, box(30, 20, 40, 30));
    region.zone_index = zone;
    EXPECT_EQ(contours->isFree(cell, region, coverage), free) << cell << " zone " << zone;
  }
}

TEST_F(TrackingTest, WorksASmallZoneFromTheFirstRegionToTheEnd) {
  // With snapshots, hollow search and the goal count read as 1.
  auto contours = start({rclcpp::Parameter("save_contour_file", true),
                         rclcpp::Parameter("try_planner_points_count", 0),
                         rclcpp::Parameter("dynamic_coverage_planner_wait_time", 30)});
  ScriptedOwner owner(contours, maps_);
  owner.newGoal({box(24, 14, 47, 37)});
  std::set<std::string> followed;
  std::vector<double> areas;
  int cycles = 0;
  for (; cycles < 12 && !owner.finished; ++cycles) {
    owner.cycle(true);
    double area = 0.0;
    double time = 0.0;
    contours->calRemaningContoursAreaAndtime(area, time);
    areas.push_back(area);
    if (owner.paths.paths.empty()) {
      continue;
    }
    followed.insert(Access::currentUuid(*contours));
    // The robot drives the path; what it passes within two cells of is cleaned.
    gm::Cells cleaned;
    for (const auto& pose : owner.paths.paths.back().nav_path.poses) {
      const int x = static_cast<int>(std::lround(pose.pose.position.x / 0.05));
      const int y = static_cast<int>(std::lround(pose.pose.position.y / 0.05));
      const auto disc = cellsOf(x - 2, y - 2, x + 2, y + 2);
      cleaned.insert(cleaned.end(), disc.begin(), disc.end());
    }
    markZoneCells(cleaned);
    const auto& end = owner.paths.paths.back().nav_path.poses.back().pose.position;
    gm::placeRobot(maps_, end.x, end.y, 0.0);
  }
  EXPECT_TRUE(owner.finished);
  EXPECT_LT(cycles, 12);
  EXPECT_TRUE(owner.reached);
  // One region, shrinking loop by loop under one name, until too small to be one.
  EXPECT_EQ(followed.size(), 1U);
  ASSERT_GE(areas.size(), 3U);
  EXPECT_TRUE(std::is_sorted(areas.rbegin(), areas.rend()));
  EXPECT_GT(areas.front(), 1.2);
  // The cycle that used the zone up handed out nothing; the next one finished the task.
  EXPECT_EQ(areas[areas.size() - 2], 0.0);
  EXPECT_TRUE(Access::contours(*contours).empty());
  EXPECT_TRUE(contours->getResiduesZones().empty());
  EXPECT_EQ(snapshots_.files("images2").size(), static_cast<size_t>(cycles - 1));
}

// A robot already at the contour path's start, with room round it, drives the contour path as
// it is; otherwise an approach is searched.
TEST_F(TrackingTest, TheContourPathAloneWhenTheRobotStandsAtItsStartWithRoom) {
  auto contours = start();
  ScriptedOwner owner(contours, maps_);
  const struct {
    const char* name;
    double robot_x;
    double start_x;
    bool searched;
  } cases[] = {{"0.05 m from its start, 1.45 m of room", 2.0, 2.05, false},
               {"0.15 m from its start", 2.0, 2.15, true},
               {"0.05 m from its start, 0.3 m of room", 0.3, 0.35, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    gm::placeRobot(maps_, c.robot_x, 1.5, 0.0);
    vantrell_nav2_protocol::msg::Path contour;
    for (int i = 0; i < 10; ++i) {
      auto& pose = contour.nav_path.poses.emplace_back();
      pose.pose.position.x = c.start_x + 0.05 * i;
      pose.pose.position.y = 1.5;
    }
    MultiPaths paths;
    planning::ContourInfo info;
    const size_t calls_before = AstarPlannerProbe::lastCall(*owner.engine).calls;
    contours->navigateToContour(contour, paths, info);
    EXPECT_EQ(AstarPlannerProbe::lastCall(*owner.engine).calls > calls_before, c.searched);
    if (!c.searched) {
      ASSERT_EQ(paths.paths.size(), 1U);
      EXPECT_EQ(paths.paths[0], contour);
    }
  }
}

// The region's side at x = 38 beside the freed notch, walked downwards from three points below
// the one nearest the robot at (40, 35): four clear 9-cell normals in a row, each within two
// cells of the one before, find the hollow at the last one's end. An occupied cell (inflated to
// three rows) on the lines of rows 29 to 31 makes their normals unclear although their ends are
// free, and the next clear normal, four rows on, starts the chain again.
TEST_F(TrackingTest, AHollowNeedsFourClearNormalsInARow) {
  const struct {
    const char* name;
    bool blocked;
    cv::Point hollow;  // in zone-window cells
  } cases[] = {{"all clear: rows 32 to 29", false, {5, 15}},
               {"rows 29 to 31 crossed: rows 28 to 25", true, {5, 11}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto contours = start();
    ScriptedOwner owner(contours, maps_);
    cutRegionBesideABox(owner);
    gm::clearObstacles(*maps_.zone);
    if (c.blocked) {
      markZoneCells(cellsOf(33, 30, 33, 30));
    }
    maps_.zone->getMultiGridMap()->updateMap();
    contours->locationCoverter().updateOrigin();
    placeRobotOnCell(40, 35);
    cv::Point hollow;
    ASSERT_TRUE(contours->detectContourHollow(hollow));
    EXPECT_EQ(hollow, c.hollow);
  }
}

}  // namespace
}  // namespace contour_test
