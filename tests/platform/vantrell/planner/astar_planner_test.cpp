// The engine on real grid maps: what it writes into paths and path sets, how the option record
// reaches the search, and how failures are reported.

#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/time.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "text_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace {

using planner_test::mapFromText;
using planner_test::poseAt;
using vantrell_nav2_planner::astar2::AstarOptions;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using vantrell_nav2_planner::astar2::AstarReferencePath;

constexpr double kResolution = 0.1;

AstarOptions globalOptions() {
  AstarOptions options;
  std::memset(&options, 0, sizeof(options));
  options.byte_0 = true;
  options.byte_2 = true;
  options.tolerance = 0.3;
  options.int_60 = 400;
  return options;
}

double yawOf(const geometry_msgs::msg::Quaternion& q) { return 2.0 * std::atan2(q.z, q.w); }

double distance(const geometry_msgs::msg::PoseStamped& a,
                const geometry_msgs::msg::PoseStamped& b) {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
}

bool samePositions(const vantrell_nav2_protocol::msg::Path& a,
                   const vantrell_nav2_protocol::msg::Path& b) {
  return std::equal(a.nav_path.poses.begin(), a.nav_path.poses.end(), b.nav_path.poses.begin(),
                    b.nav_path.poses.end(), [](const auto& p, const auto& q) {
                      return p.pose.position == q.pose.position;
                    });
}

unsigned cellX(double wx) { return static_cast<unsigned>(std::floor(wx / kResolution)); }

// A 3 m x 1.2 m room with walls all round.
std::vector<std::string> room() {
  return {
      "##############################", "#............................#",
      "#............................#", "#............................#",
      "#............................#", "#............................#",
      "#............................#", "#............................#",
      "#............................#", "#............................#",
      "#............................#", "##############################",
  };
}

TEST(AstarOptionsLayout, FieldsSitWhereCallersWriteThem) {
  // Callers fill the record by offset; each write must land in the named field with its width.
  unsigned char bytes[sizeof(AstarOptions)] = {};
  const double fuzzy = 1.25;
  const double goal_fuzzy = 0.5;
  const double tolerance = 0.3;
  const std::int32_t budget = 400;
  const std::int32_t offset = -7;
  AstarReferencePath reference;
  AstarReferencePath* reference_address = &reference;
  bytes[0] = 1;
  bytes[2] = 1;
  std::memcpy(bytes + 8, &fuzzy, sizeof(fuzzy));
  std::memcpy(bytes + 16, &goal_fuzzy, sizeof(goal_fuzzy));
  std::memcpy(bytes + 48, &tolerance, sizeof(tolerance));
  std::memcpy(bytes + 60, &budget, sizeof(budget));
  bytes[64] = 1;
  std::memcpy(bytes + 72, &reference_address, sizeof(reference_address));
  std::memcpy(bytes + 80, &offset, sizeof(offset));

  AstarOptions options;
  std::memcpy(&options, bytes, sizeof(options));
  EXPECT_TRUE(options.byte_0);
  EXPECT_FALSE(options.byte_1);
  EXPECT_TRUE(options.byte_2);
  EXPECT_FALSE(options.byte_3);
  EXPECT_EQ(options.fuzzy_range, fuzzy);
  EXPECT_EQ(options.goal_fuzzy_range, goal_fuzzy);
  EXPECT_EQ(options.tolerance, tolerance);
  EXPECT_EQ(options.int_60, budget);
  EXPECT_TRUE(options.use_reference_path);
  EXPECT_EQ(options.reference_path, &reference);
  EXPECT_EQ(options.offset_cells, offset);

  // Value-initialisation zeroes every byte, as memset does.
  const AstarOptions zero{};
  unsigned char zero_bytes[sizeof(AstarOptions)];
  std::memcpy(zero_bytes, &zero, sizeof(zero));
  for (unsigned char byte : zero_bytes) {
    EXPECT_EQ(byte, 0);
  }
}

class AstarPlannerTest : public ::testing::Test {
 protected:
  std::shared_ptr<AstarPlanner> engineOn(const std::vector<std::string>& rows,
                                         double robot_half_width = 0.05) {
    map_ = mapFromText(rows, kResolution, robot_half_width);
    return std::make_shared<AstarPlanner>("test_engine", map_);
  }

  bool usable(const geometry_msgs::msg::PoseStamped& pose) const {
    const auto grid = map_->getMultiGridMap();
    return !grid->inDanger(cellX(pose.pose.position.x), cellX(pose.pose.position.y), 0);
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
};

TEST_F(AstarPlannerTest, PathRunsCellByCellHeadedAlongItself) {
  rclcpp_testing::ManualClock clock(rclcpp::Time(1700000000, 250, RCL_ROS_TIME));
  auto engine = engineOn(room());
  const auto start = poseAt(0.52, 0.31);
  auto goal = poseAt(2.47, 0.88);
  goal.pose.orientation.z = 1.0;  // facing backwards: a path heading must not copy it
  goal.pose.orientation.w = 0.0;
  vantrell_nav2_protocol::msg::Path path;
  ASSERT_TRUE(engine->searchPath(start, goal, globalOptions(), path));

  const auto& poses = path.nav_path.poses;
  ASSERT_GE(poses.size(), 20U);
  EXPECT_EQ(path.nav_path.header.frame_id, "map");
  EXPECT_EQ(rclcpp::Time(path.nav_path.header.stamp, RCL_ROS_TIME).nanoseconds(),
            clock.now().nanoseconds());
  EXPECT_FLOAT_EQ(path.tolerance, 0.3F);
  EXPECT_TRUE(path.check_blocked);
  EXPECT_FALSE(path.move_backward);
  EXPECT_DOUBLE_EQ(poses.front().pose.position.x, 0.52);
  EXPECT_DOUBLE_EQ(poses.front().pose.position.y, 0.31);
  EXPECT_DOUBLE_EQ(poses.back().pose.position.x, 2.47);
  EXPECT_DOUBLE_EQ(poses.back().pose.position.y, 0.88);

  for (std::size_t i = 0; i < poses.size(); ++i) {
    EXPECT_EQ(poses[i].header.frame_id, "map");
    EXPECT_TRUE(usable(poses[i])) << "pose " << i;
    const auto& q = poses[i].pose.orientation;
    EXPECT_DOUBLE_EQ(q.x, 0.0);
    EXPECT_DOUBLE_EQ(q.y, 0.0);
    EXPECT_NEAR(q.z * q.z + q.w * q.w, 1.0, 1e-9);
    if (i + 1 < poses.size()) {
      // One cell per pose: neighbours are at most a diagonal apart (the exact start and goal
      // positions may add up to half a diagonal at either end).
      EXPECT_LE(distance(poses[i], poses[i + 1]), kResolution * std::sqrt(2.0) * 1.5 + 1e-9);
      EXPECT_GT(distance(poses[i], poses[i + 1]), 0.0);
      const double heading = std::atan2(poses[i + 1].pose.position.y - poses[i].pose.position.y,
                                        poses[i + 1].pose.position.x - poses[i].pose.position.x);
      EXPECT_NEAR(std::remainder(yawOf(q) - heading, 2.0 * M_PI), 0.0, 1e-9) << "pose " << i;
    }
  }
  EXPECT_NEAR(yawOf(poses.back().pose.orientation), yawOf(poses[poses.size() - 2].pose.orientation),
              1e-12);
}

TEST_F(AstarPlannerTest, FailedSearchLeavesNoEarlierPath) {
  auto engine = engineOn(room());
  vantrell_nav2_protocol::msg::Path path;
  path.nav_path.poses.resize(5);
  path.move_backward = true;
  path.path_type = 3;
  path.tolerance = 9.0F;
  // The goal lies in the wall.
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), poseAt(1.5, 0.05), globalOptions(), path));
  EXPECT_TRUE(path.nav_path.poses.empty());
  EXPECT_FALSE(path.move_backward);
  EXPECT_EQ(path.path_type, 0);
  EXPECT_FLOAT_EQ(path.tolerance, 0.3F);
  EXPECT_TRUE(path.check_blocked);
}

TEST_F(AstarPlannerTest, PathSetHoldsExactlyTheNewPathAndKeepsTheCallersUuid) {
  auto engine = engineOn(room());
  vantrell_nav2_protocol::msg::MultiPaths paths;
  paths.uuid = "set-7";
  paths.paths.resize(2);
  paths.paths[0].nav_path.poses.resize(3);
  ASSERT_TRUE(engine->searchPaths(poseAt(0.5, 0.5), poseAt(2.5, 0.5), globalOptions(), paths));
  ASSERT_EQ(paths.paths.size(), 1U);
  EXPECT_EQ(paths.uuid, "set-7");
  EXPECT_EQ(paths.header.frame_id, "map");
  EXPECT_FALSE(paths.paths[0].nav_path.poses.empty());
  EXPECT_EQ(paths.paths[0].nav_path.header.frame_id, "map");

  EXPECT_FALSE(engine->searchPaths(poseAt(0.5, 0.5), poseAt(2.5, 0.05), globalOptions(), paths));
  EXPECT_TRUE(paths.paths.empty());
  EXPECT_EQ(paths.uuid, "set-7");
}

TEST_F(AstarPlannerTest, GoalInsideAnObstacleNeedsAGoalTolerance) {
  auto rows = room();
  for (int y = 2; y <= 9; ++y) {
    rows[y].replace(20, 4, "####");
  }
  auto engine = engineOn(rows);
  const auto goal = poseAt(2.15, 0.55);  // in the block's cell (21,5), two cells from its side
  auto options = globalOptions();
  vantrell_nav2_protocol::msg::Path path;
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), goal, options, path));
  EXPECT_TRUE(path.check_blocked);

  options.goal_fuzzy_range = 0.15;
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), goal, options, path));
  EXPECT_TRUE(path.check_blocked);

  options.goal_fuzzy_range = 0.5;
  ASSERT_TRUE(engine->searchPath(poseAt(0.5, 0.5), goal, options, path));
  const auto& end = path.nav_path.poses.back();
  EXPECT_LE(distance(end, goal), 0.5);
  EXPECT_TRUE(usable(end));
  // The nearest usable cell is (19,5), just left of the block: its centre (cells are 0.1 m as
  // the map message's single precision gives it).
  EXPECT_NEAR(end.pose.position.x, 1.95, 1e-6);
  EXPECT_NEAR(end.pose.position.y, 0.55, 1e-6);
}

TEST_F(AstarPlannerTest, StartInsideInflationStepsOutWithinTheStartTolerance) {
  // A robot 0.5 m wide: cells less than 0.25 m from a wall are off limits to its centre.
  auto engine = engineOn(room(), 0.25);
  const auto start = poseAt(1.05, 0.25);  // 0.1 m from the wall's cells
  ASSERT_FALSE(usable(start));
  auto options = globalOptions();
  vantrell_nav2_protocol::msg::Path path;
  EXPECT_FALSE(engine->searchPath(start, poseAt(2.0, 0.6), options, path));
  EXPECT_TRUE(path.check_blocked);

  options.fuzzy_range = 0.5;
  ASSERT_TRUE(engine->searchPath(start, poseAt(2.0, 0.6), options, path));
  const auto& poses = path.nav_path.poses;
  EXPECT_DOUBLE_EQ(poses.front().pose.position.x, 1.05);
  EXPECT_DOUBLE_EQ(poses.front().pose.position.y, 0.25);
  // It leaves the inflation straight away from the wall and never returns to it.
  bool left = false;
  for (const auto& pose : poses) {
    if (usable(pose)) {
      left = true;
    } else {
      EXPECT_FALSE(left) << "back into inflation at " << pose.pose.position.x << ", "
                         << pose.pose.position.y;
    }
  }
  EXPECT_TRUE(left);
}

TEST_F(AstarPlannerTest, CostAwareSearchKeepsOffTheWall) {
  // Start and goal close to the lower wall: the plain shortest way runs along it.
  auto engine = engineOn(room());
  const auto start = poseAt(0.35, 0.25);
  const auto goal = poseAt(2.65, 0.25);
  auto options = globalOptions();
  vantrell_nav2_protocol::msg::Path aware;
  ASSERT_TRUE(engine->searchPath(start, goal, options, aware));
  options.byte_0 = false;
  vantrell_nav2_protocol::msg::Path plain;
  ASSERT_TRUE(engine->searchPath(start, goal, options, plain));

  auto highest = [](const vantrell_nav2_protocol::msg::Path& path) {
    double y = 0.0;
    for (const auto& pose : path.nav_path.poses) {
      y = std::max(y, pose.pose.position.y);
    }
    return y;
  };
  EXPECT_NEAR(highest(plain), 0.25, 1e-6);
  EXPECT_GT(highest(aware), 0.45);
}

TEST_F(AstarPlannerTest, BadInputIsRefusedAndNotBlamedOnTheMap) {
  rclcpp_testing::LogCapture log;
  auto engine = engineOn(room());
  vantrell_nav2_protocol::msg::Path path;
  const double nan = std::numeric_limits<double>::quiet_NaN();

  EXPECT_FALSE(engine->searchPath(poseAt(nan, 0.5), poseAt(2.0, 0.5), globalOptions(), path));
  EXPECT_FALSE(path.check_blocked);
  EXPECT_FALSE(engine->searchPath(poseAt(-1.0, 0.5), poseAt(2.0, 0.5), globalOptions(), path));
  EXPECT_FALSE(path.check_blocked);
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), poseAt(20.0, 0.5), globalOptions(), path));
  EXPECT_FALSE(path.check_blocked);

  auto options = globalOptions();
  options.int_60 = -1;
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), poseAt(2.0, 0.5), options, path));
  EXPECT_FALSE(path.check_blocked);
  options = globalOptions();
  options.goal_fuzzy_range = -0.5;
  EXPECT_FALSE(engine->searchPath(poseAt(0.5, 0.5), poseAt(2.0, 0.5), options, path));
  EXPECT_FALSE(path.check_blocked);
  EXPECT_TRUE(path.nav_path.poses.empty());
  EXPECT_EQ(log.count(rclcpp::Logger::Level::Warn, "'test_engine'"), 5U);
  EXPECT_EQ(log.count(rclcpp::Logger::Level::Warn, "beside the map"), 2U);

  AstarPlanner without_map("no_map", nullptr);
  EXPECT_FALSE(without_map.searchPath(poseAt(0.5, 0.5), poseAt(2.0, 0.5), globalOptions(), path));
  EXPECT_TRUE(log.contains("no grid map"));
}

TEST_F(AstarPlannerTest, BudgetCountsInTenThousandsOfCells) {
  // 150 x 150 free cells and a goal shut in a box: failing needs every reachable cell.
  std::vector<std::string> rows(150, std::string(150, '.'));
  for (int y = 100; y <= 104; ++y) {
    rows[y].replace(100, 5, y == 100 || y == 104 ? "#####" : "#...#");
  }
  auto engine = engineOn(rows);
  const auto start = poseAt(0.55, 0.55);
  const auto goal = poseAt(10.25, 10.25);
  auto options = globalOptions();
  vantrell_nav2_protocol::msg::Path path;

  EXPECT_EQ(engine->lastSearchStatistics().expanded_cells, 0U);
  options.int_60 = 1;
  EXPECT_FALSE(engine->searchPath(start, goal, options, path));
  EXPECT_FALSE(path.check_blocked);
  EXPECT_EQ(engine->lastSearchStatistics().expanded_cells, 10000U);

  options.int_60 = 0;
  EXPECT_FALSE(engine->searchPath(start, goal, options, path));
  EXPECT_TRUE(path.check_blocked);
  EXPECT_GT(engine->lastSearchStatistics().expanded_cells, 20000U);
  EXPECT_FALSE(engine->lastSearchStatistics().found);

  ASSERT_TRUE(engine->searchPath(start, poseAt(1.05, 0.55), options, path));
  EXPECT_TRUE(engine->lastSearchStatistics().found);
  EXPECT_GE(engine->lastSearchStatistics().expanded_cells, 5U);
}

TEST_F(AstarPlannerTest, ReferencePathPullsTheRouteToItsSide) {
  // A block splits the room; both ways round it are equally long.
  auto rows = room();
  for (int y = 3; y <= 8; ++y) {
    rows[y].replace(12, 6, "######");
  }
  auto engine = engineOn(rows);
  const auto start = poseAt(0.55, 0.55);
  const auto goal = poseAt(2.45, 0.55);
  auto passesAbove = [](const vantrell_nav2_protocol::msg::Path& path) {
    for (const auto& pose : path.nav_path.poses) {
      if (pose.pose.position.x > 1.2 && pose.pose.position.x < 1.8) {
        return pose.pose.position.y > 0.6;
      }
    }
    return false;
  };

  for (const double side : {0.15, 1.05}) {
    AstarReferencePath reference;
    reference.path.poses = {poseAt(0.55, side), poseAt(2.45, side)};
    reference.path_cost = 100.0;
    reference.distance = 0.5;
    reference.range = 0.0001;
    auto options = globalOptions();
    options.use_reference_path = true;
    options.reference_path = &reference;
    options.offset_cells = 1;
    vantrell_nav2_protocol::msg::Path path;
    ASSERT_TRUE(engine->searchPath(start, goal, options, path));
    EXPECT_EQ(passesAbove(path), side > 0.6) << "reference at y " << side;

    const auto call = AstarPlannerProbe::lastCall(*engine);
    ASSERT_TRUE(call.reference_path.has_value());
    EXPECT_EQ(call.reference_path->path.poses.size(), 2U);
    EXPECT_DOUBLE_EQ(call.reference_path->path_cost, 100.0);
    EXPECT_DOUBLE_EQ(call.reference_path->distance, 0.5);
    EXPECT_DOUBLE_EQ(call.reference_path->range, 0.0001);
    EXPECT_EQ(call.options.offset_cells, 1);
  }
}

TEST_F(AstarPlannerTest, OffsetCellsWidenTheFreeBandOfTheReference) {
  auto rows = room();
  for (int y = 3; y <= 8; ++y) {
    rows[y].replace(12, 6, "######");
  }
  auto engine = engineOn(rows);
  const auto start = poseAt(0.55, 0.55);
  const auto goal = poseAt(2.45, 0.55);
  vantrell_nav2_protocol::msg::Path plain;
  ASSERT_TRUE(engine->searchPath(start, goal, globalOptions(), plain));
  double plain_max_y = 0.0;
  for (const auto& pose : plain.nav_path.poses) {
    plain_max_y = std::max(plain_max_y, pose.pose.position.y);
  }
  // The reference runs round the other side of the block.
  const double side = plain_max_y > 0.6 ? 0.15 : 1.05;
  AstarReferencePath reference;
  reference.path.poses = {poseAt(0.55, side), poseAt(2.45, side)};
  reference.path_cost = 100.0;
  auto options = globalOptions();
  options.use_reference_path = true;
  options.reference_path = &reference;

  vantrell_nav2_protocol::msg::Path narrow;
  options.offset_cells = 1;
  ASSERT_TRUE(engine->searchPath(start, goal, options, narrow));
  EXPECT_FALSE(samePositions(narrow, plain));

  // A band wider than the room leaves no cell to pay extra: the plain route again.
  vantrell_nav2_protocol::msg::Path wide;
  options.offset_cells = 40;
  ASSERT_TRUE(engine->searchPath(start, goal, options, wide));
  EXPECT_TRUE(samePositions(wide, plain));
}

TEST_F(AstarPlannerTest, SearchReadsTheMapAsTheLastUpdateLeftIt) {
  auto engine = engineOn(room());
  const auto start = poseAt(0.55, 0.55);
  const auto goal = poseAt(2.45, 0.55);
  auto crossesColumnAt = [](const vantrell_nav2_protocol::msg::Path& path) {
    for (const auto& pose : path.nav_path.poses) {
      if (cellX(pose.pose.position.x) == 15U) {
        return cellX(pose.pose.position.y);
      }
    }
    return 0U;
  };
  // A new wall across the room at column 15, open only at rows 9 and 10.
  vantrell_nav2_gridmap::testing::Cells wall;
  for (unsigned y = 1; y <= 8; ++y) {
    wall.push_back({15, y});
  }
  vantrell_nav2_gridmap::testing::markObstacleCells(*map_, wall);

  vantrell_nav2_protocol::msg::Path path;
  ASSERT_TRUE(engine->searchPath(start, goal, globalOptions(), path));
  EXPECT_LE(crossesColumnAt(path), 8U) << "the edit is not applied before updateMap";

  map_->getMultiGridMap()->updateMap();
  ASSERT_TRUE(engine->searchPath(start, goal, globalOptions(), path));
  EXPECT_GE(crossesColumnAt(path), 9U);

  // The wall taken away again: nothing of the searches round it may linger.
  vantrell_nav2_gridmap::testing::clearObstacleCells(*map_, wall);
  map_->getMultiGridMap()->updateMap();
  ASSERT_TRUE(engine->searchPath(start, goal, globalOptions(), path));
  EXPECT_EQ(crossesColumnAt(path), 5U);
}

TEST_F(AstarPlannerTest, PlansAgainBetweenPosesOfThePathItFills) {
  // A caller may plan again along its last path, handing in poses of the path being refilled.
  auto engine = engineOn(room());
  vantrell_nav2_protocol::msg::Path path;
  ASSERT_TRUE(engine->searchPath(poseAt(0.45, 0.35), poseAt(2.45, 0.85), globalOptions(), path));
  const auto first = path.nav_path.poses.front();
  const auto last = path.nav_path.poses.back();
  ASSERT_TRUE(engine->searchPath(path.nav_path.poses.front(), path.nav_path.poses.back(),
                                 globalOptions(), path));
  EXPECT_EQ(path.nav_path.poses.front().pose.position, first.pose.position);
  EXPECT_EQ(path.nav_path.poses.back().pose.position, last.pose.position);
}

TEST_F(AstarPlannerTest, ProbeReadsBackTheLastCall) {
  auto engine = engineOn(room());
  EXPECT_FALSE(AstarPlannerProbe::lastOptions(*engine).has_value());
  auto options = globalOptions();
  options.fuzzy_range = 1.0;
  options.goal_fuzzy_range = 0.0;
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(engine->searchPaths(poseAt(0.5, 0.5), poseAt(2.5, 0.7), options, paths));
  const auto call = AstarPlannerProbe::lastCall(*engine);
  EXPECT_EQ(call.calls, 1U);
  EXPECT_TRUE(call.found);
  EXPECT_DOUBLE_EQ(call.goal.pose.position.x, 2.5);
  EXPECT_DOUBLE_EQ(call.start.pose.position.y, 0.5);
  EXPECT_FALSE(call.reference_path.has_value());
  const auto recorded = AstarPlannerProbe::lastOptions(*engine);
  ASSERT_TRUE(recorded.has_value());
  EXPECT_EQ(std::memcmp(&*recorded, &options, sizeof(options)), 0);
}

}  // namespace
