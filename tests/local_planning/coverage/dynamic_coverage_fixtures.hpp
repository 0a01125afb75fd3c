#ifndef LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_FIXTURES_HPP_
#define LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_FIXTURES_HPP_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "local_planning/coverage/coverage_fixtures.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace planning {
namespace testing {

// The planner's task state, which only its own cycles would otherwise reach.
struct DynamicCoveragePlanningProbe {
  using P = DynamicCoveragePlanning;
  static std::function<P::TimePoint()>& clock(P& p) { return p.clock_; }
  static std::string& pathFileFolder(P& p) { return p.path_file_folder_; }
  static bool& finished(P& p) { return p.finished_; }
  static double needCleanArea(const P& p) { return p.need_clean_area_; }
  static const P::CellLists& zones(const P& p) { return *p.current_contours_; }
  static const rclcpp::CallbackGroup::SharedPtr& group(const P& p) { return p.callback_group_; }
  static std::vector<geometry_msgs::msg::Point32>& coveredPoints(P& p) { return p.covered_points_; }
  static double& threshold(P& p) { return p.proportion_cleaned_area_threshold_; }
  static int32_t& obstacleCount(P& p) { return p.obstacle_check_count_; }
  static bool& waiting(P& p) { return p.waiting_dynamic_obstacle_; }
  static int32_t& offPathCount(P& p) { return p.off_path_count_; }
  static int32_t& zeroIndexCount(P& p) { return p.zero_index_count_; }
  static NavLocalPlanning::MultiPaths& cache(P& p) { return *p.global_paths_; }
  static const NavLocalPlanning::PoseStamped& robotPose(const P& p) { return p.robot_pose_; }
  static double parameter(const P& p, const std::string& name) {
    if (name == "select_zelto_theta") return p.select_zelto_theta_;
    if (name == "wait_dyn_obstacle_time") return p.wait_dyn_obstacle_time_;
    if (name == "morph_open_element_size") return p.morph_open_element_size_;
    if (name == "stop_obstacle_distance") return p.stop_obstacle_distance_;
    return -1.0;
  }
  // The corner cut of a replan that brought the single path `current`; whether it cut.
  static bool cutAtCorner(P& p, NavLocalPlanning::Path& current) {
    p.contour_path_->paths.assign(1, current);
    p.cutAtCorner(current);
    return p.zelto_path_cut_;
  }
  static bool endsAtStoredCorner(P& p, const NavLocalPlanning::Path& current) {
    return p.endsAtStoredCorner(current);
  }
  // The turn-in-place rules of a replan: the heading to turn to, or none.
  static std::optional<double> forcedSpin(P& p, const NavLocalPlanning::Path& current, bool reached,
                                          double remaining, bool replan) {
    P::Cycle cycle;
    cycle.current = current;
    cycle.reached = reached;
    cycle.remaining = remaining;
    cycle.replan = replan;
    p.setForcedSpin(cycle);
    return p.zelto_need_rotation_ ? std::optional<double>(p.zelto_rotation_angle_) : std::nullopt;
  }
  static NavLocalPlanning::PoseStamped& zeltoPose(P& p) { return p.zelto_pose_; }
  // The cache's set made of the contour manager's `contour`.
  static NavLocalPlanning::MultiPaths workingSet(P& p,
                                                 const NavLocalPlanning::MultiPaths& contour) {
    *p.contour_path_ = contour;
    return p.workingSet();
  }
  // The common tail of a cycle on `current`, as after the obstacle rules.
  static bool finishCycle(P& p, const NavLocalPlanning::Path& current,
                          NavLocalPlanning::Path& out) {
    P::Cycle cycle;
    cycle.current = current;
    return p.finishCycle(cycle, out);
  }
};

}  // namespace testing
}  // namespace planning

namespace dynamic_coverage_test {

namespace gm = vantrell_nav2_gridmap::testing;
using namespace std::chrono_literals;
using static_coverage_test::countLogged;
using static_coverage_test::coverageGoal;
using static_coverage_test::coveredShare;
using static_coverage_test::floorMaps;
using static_coverage_test::GetCoveredPoints;
using static_coverage_test::Goal;
using static_coverage_test::kCell;
using static_coverage_test::line;
using static_coverage_test::makeNode;
using static_coverage_test::MultiPaths;
using static_coverage_test::NavPath;
using static_coverage_test::NodeUnderTest;
using static_coverage_test::Piece;
using static_coverage_test::pose;
using static_coverage_test::PoseStamped;
using static_coverage_test::Probe;
using static_coverage_test::room;
using static_coverage_test::SimulatedRobot;
using static_coverage_test::TaskCentre;
using static_coverage_test::wall;
using test_support::box;
using Access = planning::testing::DynamicCoveragePlanningProbe;
using planning::DynamicCoveragePlanning;
using AstarPlanner = vantrell_nav2_planner::astar2::AstarPlanner;
using AstarPlannerProbe = vantrell_nav2_planner::astar2::AstarPlannerProbe;

// One node, the maps of a floor and the planner on them, with both engines and a trace publisher
// as the local planning node hands them over. The planner's clock is the fixture's.
class DynamicFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::captureLog()->clear();
    Probe::reset();
  }

  // `earlier` are declared on the node before the planner is built.
  void build(const cv::Mat& floor, const std::vector<rclcpp::Parameter>& overrides = {},
             const std::vector<rclcpp::Parameter>& earlier = {}) {
    node_ = makeNode("dynamic_coverage_test", overrides);
    for (const auto& parameter : earlier) {
      node_->declare_parameter(parameter.get_name(), parameter.get_parameter_value());
    }
    maps_ = floorMaps(floor);
    planner_ =
        std::make_shared<DynamicCoveragePlanning>(node_, maps_.global, maps_.local, maps_.zone);
    local_engine_ = std::make_shared<AstarPlanner>("local", maps_.local);
    planner_->setLocalPlanner(local_engine_);
    planner_->setGlobalPlanner(std::make_shared<AstarPlanner>("local_global", maps_.global));
    planner_->setTraceLogger(std::make_shared<LogPublisher>(node_));
    Access::clock(*planner_) = [this]() { return now_; };
  }

  void placeRobot(double x, double y, double yaw = 0.0) { gm::placeRobot(maps_, x, y, yaw); }
  void advance(std::chrono::milliseconds by) { now_ += by; }

  // One cycle as the node runs it; the local path after smoothing, or nothing on failure.
  std::optional<NavPath> cycle(ControlState& state) {
    Piece out;
    bool replan = false;
    if (!planner_->makePlan(out, state, replan)) {
      return std::nullopt;
    }
    planner_->pathSmooter(out.nav_path);
    return out.nav_path;
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  gm::LocalNodeMaps maps_;
  std::shared_ptr<DynamicCoveragePlanning> planner_;
  std::shared_ptr<AstarPlanner> local_engine_;
  std::chrono::system_clock::time_point now_{std::chrono::hours(1000)};
};

inline std::shared_ptr<const Goal> dynamicGoal(const std::string& uuid,
                                               std::vector<geometry_msgs::msg::Polygon> zones) {
  auto goal = std::make_shared<Goal>(*coverageGoal(uuid, std::move(zones)));
  goal->current_planning_id = planning::local_keys::kDynamicCoverage;
  return goal;
}

// Recording requests for `event` so far.
inline int recordings(const std::string& event) {
  const auto kept = Probe::rosbagTriggers().kept();
  return static_cast<int>(std::count_if(kept.begin(), kept.end(), [&](const auto& trigger) {
    return trigger.module == "vantrell_nav2_planning" && trigger.event == event;
  }));
}

}  // namespace dynamic_coverage_test

#endif  // LOCAL_PLANNING__COVERAGE__DYNAMIC_COVERAGE_FIXTURES_HPP_
