#include "node_fixture.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "logger/logger.hpp"
#include "nav2_smoother/testing/smoother_faults.hpp"
#include "planning/geometry.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/node_host.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_diagnosis/testing/diagnosis_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace node_test {

std::vector<std::string> ObservedNode::plannerKeys() const {
  std::vector<std::string> keys;
  for (const auto& entry : planners_) {
    keys.push_back(entry.first);
  }
  return keys;
}

ScriptedPlanner::ScriptedPlanner(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                 std::shared_ptr<GridMapROS> map)
    : NavGlobalPlanning(node, std::move(map), nullptr) {}

bool ScriptedPlanner::makePlan(const std::vector<PoseStamped>& goals,
                               vantrell_nav2_protocol::msg::MultiPaths& paths) {
  std::shared_ptr<Gate> gate;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gate.swap(gate_);
  }
  if (gate) {
    gate->entered.set_value();
    gate->released.get_future().wait_for(test_support::kActionPatience);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  goals_seen_ = goals;
  if (script_.out_of_memory) {
    throw std::bad_alloc();
  }
  if (!script_.answer) {
    error_code_ = script_.error_code;
    return false;
  }
  // Straight paths along x at y = 1 + i, 0.05 m apart; the last holds last_path_poses.
  for (int i = 0; i < script_.paths; ++i) {
    vantrell_nav2_protocol::msg::Path path;
    const int poses = i + 1 == script_.paths ? script_.last_path_poses : 20;
    for (int k = 0; k < poses; ++k) {
      path.nav_path.poses.push_back(poseAt(1.0 + 0.05 * k, 1.0 + i));
    }
    paths.paths.push_back(path);
  }
  return true;
}

bool ScriptedPlanner::connectiveAreaSearch(const PoseStamped& /*start*/, const PoseStamped& goal,
                                           PoseStamped& result,
                                           const geometry_msgs::msg::Polygon& /*search_area*/,
                                           const geometry_msgs::msg::Polygon& /*target_area*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (script_.out_of_memory) {
    throw std::bad_alloc();
  }
  result = goal;
  return script_.answer;
}

void ScriptedPlanner::setScript(const Script& script) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_ = script;
}

void ScriptedPlanner::holdNextPlan() {
  std::lock_guard<std::mutex> lock(mutex_);
  gate_ = std::make_shared<Gate>();
  held_ = gate_;
}

bool ScriptedPlanner::waitUntilHeld() {
  std::shared_ptr<Gate> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held = held_;
  }
  return held && held->entered.get_future().wait_for(test_support::kActionPatience) ==
                     std::future_status::ready;
}

void ScriptedPlanner::release() {
  std::shared_ptr<Gate> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held.swap(held_);
  }
  if (held) {
    held->released.set_value();
  }
}

int ScriptedPlanner::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

planning::GoalFlags ScriptedPlanner::flags() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return goal_flags_;
}

int16_t ScriptedPlanner::goalMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return goal_mode_;
}

std::vector<PoseStamped> ScriptedPlanner::goalsSeen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return goals_seen_;
}

PoseStamped poseAt(double x, double y, double yaw) {
  return planning::geometry::planarPose(x, y, yaw);
}

PoseStamped poseAt(const test_support::DrawnMap& map, const std::string& place, double yaw) {
  const cv::Point2d world = map.placeInWorld(place);
  return poseAt(world.x, world.y, yaw);
}

void NodeTest::SetUp() {
  log_ = test_support::clearedLog();
  vantrell_communicator::testing::CommunicatorProbe::reset();
  vantrell_diagnosis::testing::DiagnosisProbe::reset();
  nav2_smoother::testing::SmootherFaults::reset();
  task_manager_ = std::make_unique<test_support::TaskManagerClient>();
}

void NodeTest::TearDown() {
  // The client's executor stops first, then the node joins its workers.
  task_manager_.reset();
  node_.reset();
  nav2_smoother::testing::SmootherFaults::reset();
}

void NodeTest::buildNode(const test_support::DrawnMap& map, const rclcpp::NodeOptions& options) {
  map_ = map;
  const auto maps =
      planning_sim::makeGlobalNodeMaps(vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(
          map.image, map.resolution, map.origin_x, map.origin_y));
  global_map_ = maps.global;
  local_map_ = maps.local;
  node_ = std::make_shared<ObservedNode>(global_map_, local_map_, options);
  task_manager_->spin(node_);
}

void NodeTest::bringUp() { ASSERT_NO_THROW(planning_sim::bringUp(*node_)); }

void NodeTest::placeRobot(double x, double y, double yaw) {
  vantrell_nav2_gridmap::testing::placeRobot(*global_map_, x, y, yaw);
  vantrell_nav2_gridmap::testing::placeRobot(*local_map_, x, y, yaw);
}

void NodeTest::placeRobot(const std::string& place, double yaw) {
  const cv::Point2d world = map_.placeInWorld(place);
  placeRobot(world.x, world.y, yaw);
}

GlobalPlanning::Goal NodeTest::goalFor(const std::string& planner,
                                       const std::vector<PoseStamped>& poses) {
  GlobalPlanning::Goal goal;
  goal.current_planning_id = planner;
  goal.goal_poses = poses;
  return goal;
}

test_support::ActionReply<GlobalPlanning> NodeTest::plan(const GlobalPlanning::Goal& goal) {
  return task_manager_->call<GlobalPlanning>("global_planning", goal);
}

std::shared_ptr<ScriptedPlanner> NodeTest::addScriptedPlanner(const std::string& key) {
  auto planner = std::make_shared<ScriptedPlanner>(node_, global_map_);
  node_->putPlanner(key, planner);
  return planner;
}

}  // namespace node_test
