#ifndef LOCAL_PLANNING__PLANNERS__PLANNERS_FIXTURE_HPP_
#define LOCAL_PLANNING__PLANNERS__PLANNERS_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "local_planning/node/node_fixture.hpp"
#include "planning/local_planning/point_to_point_steps.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"
#include "vantrell_nav2_smoother/testing/path_smoother_faults.hpp"

namespace planners_test {

using local_base_test::makeMaps;
using local_node_test::countLogged;
using local_node_test::line;
using local_node_test::LocalPlanning;
using local_node_test::logged;
using local_node_test::NavPath;
using local_node_test::pose;
using local_node_test::Reply;
using vantrell_nav2_planner::astar2::AstarCall;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using Faults = vantrell_nav2_smoother::testing::PathSmootherFaults;
namespace hooks = vantrell_nav2_gridmap::testing;
namespace keys = planning::local_keys;

/**
 * The local planning node with its real planners, driven through "local_planning" on drawn maps.
 * A scripted planner stays in the table only to reach the node's shared "local" engine, whose
 * calls the tests read back and may script.
 */
class PointToPoint : public local_node_test::LocalNodeTest {
 protected:
  void SetUp() override {
    LocalNodeTest::SetUp();
    Faults::reset();
  }
  void TearDown() override {
    LocalNodeTest::TearDown();
    Faults::reset();
  }

  void startOn(hooks::LocalNodeMaps maps, const rclcpp::NodeOptions& options = {}) {
    buildNode(std::move(maps), options);
    bringUp();
  }
  // The 6 m x 4 m room of the base tests (0.1 m cells, x -1 .. 4.9, y -1 .. 2.9) with `walls`,
  // the robot at (0.4, 1.0) with heading `yaw`.
  void startInRoom(const std::vector<cv::Vec4d>& walls = {}, double half_width = 0.1,
                   double yaw = 0.0, const rclcpp::NodeOptions& options = {}) {
    auto maps = makeMaps(walls, half_width);
    hooks::placeRobot(maps, 0.4, 1.0, yaw);
    startOn(std::move(maps), options);
  }

  AstarCall lastSearch() { return AstarPlannerProbe::lastCall(*planner().localEngine()); }
  // From now on every search answers `found`, leaving `left` (an empty path: nothing).
  void scriptSearches(bool found, planning::NavLocalPlanning::Path left = {}) {
    AstarPlannerProbe::script(*planner().localEngine(),
                              [found, left](const auto&, const auto&, const auto&, auto& set) {
                                set.paths.assign(1, left);
                                return std::optional<bool>(found);
                              });
  }

  // A goal for `key` on the path set `uuid` of `paths`, each piece with a 0.2 m tolerance; by
  // default two pieces, east along y = 1 and then north, so that "dijkstra" searches.
  static LocalPlanning::Goal goalAlong(const std::string& key, const std::string& uuid = "uuid-1",
                                       const std::vector<NavPath>& paths = {
                                           line(0.4, 1.0, 2.4, 1.0, 21),
                                           line(2.4, 1.0, 2.4, 2.0, 11)}) {
    LocalPlanning::Goal goal;
    goal.current_planning_id = key;
    goal.global_path_uuid = uuid;
    goal.global_paths.uuid = uuid;
    for (const auto& path : paths) {
      auto& piece = goal.global_paths.paths.emplace_back();
      piece.nav_path = path;
      piece.tolerance = 0.2F;
    }
    return goal;
  }
};

}  // namespace planners_test

#endif  // LOCAL_PLANNING__PLANNERS__PLANNERS_FIXTURE_HPP_
