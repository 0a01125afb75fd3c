#include "node_fixture.hpp"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

#include "planning_sim/node_host.hpp"
#include "vantrell_diagnosis/testing/diagnosis_probe.hpp"

namespace local_node_test {

void ScriptedPlanner::holdNextPlan() {
  gate_ = std::make_shared<Gate>();
  held_ = gate_;
}

bool ScriptedPlanner::waitUntilHeld() {
  return held_->entered.get_future().wait_for(test_support::kActionPatience) ==
         std::future_status::ready;
}

void ScriptedPlanner::release() { held_->released.set_value(); }

void ScriptedPlanner::note(const std::string& call) {
  if (journal != nullptr) {
    journal->push_back(key + " " + call);
  }
}

void ScriptedPlanner::setLocalPlanner(std::shared_ptr<AstarPlanner> planner) {
  note("setLocalPlanner");
  NavLocalPlanning::setLocalPlanner(std::move(planner));
}

void ScriptedPlanner::setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) {
  note("setGlobalPlanner");
  NavLocalPlanning::setGlobalPlanner(std::move(planner));
}

void ScriptedPlanner::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  note("setTraceLogger");
  NavLocalPlanning::setTraceLogger(std::move(trace_logger));
}

void ScriptedPlanner::setGoalPose(const PoseStamped& pose, double fuzzy_distance) {
  goal_pose_given = true;
  NavLocalPlanning::setGoalPose(pose, fuzzy_distance);
}

bool ScriptedPlanner::makePlan(Path& path, ControlState& state, bool& need_replan) {
  if (auto gate = std::move(gate_)) {
    gate->entered.set_value();
    gate->released.get_future().wait_for(test_support::kActionPatience);
  }
  working_path = path.nav_path;
  flags = goal_flags_;
  planning_mode = planning_mode_;
  goal_pose = goal_pose_;
  fuzzy_distance = fuzzy_distance_;
  if (script.throws) {
    throw std::runtime_error("scripted planner broke down");
  }
  need_replan = script.need_replan;
  state = script.control;
  zelto_path_cut_ = script.corner_cut;
  path.nav_path.poses = script.path.poses;
  path.move_backward = script.move_backward;
  path.check_blocked = script.check_blocked;
  return script.answer;
}

bool ScriptedPlanner::pathSmooter(nav_msgs::msg::Path& path) {
  if (script.smooth_empties) {
    path.poses.clear();
  } else if (path.poses.size() > 1) {
    path.poses.erase(path.poses.begin());
    path.poses.back().pose.orientation = pose(0.0, 0.0, 1.0).pose.orientation;
  }
  return script.smooth;
}

void ScriptedPlanner::pathFuzzyPoint(Path& path, ControlState& state) {
  if (script.fuzzy_empties) {
    path.nav_path.poses.clear();
    return;
  }
  NavLocalPlanning::pathFuzzyPoint(path, state);
}

std::vector<geometry_msgs::msg::Polygon> ScriptedPlanner::getResiduesZones() {
  if (script.residues_throw) {
    throw std::runtime_error("scripted residues broke down");
  }
  return std::vector<geometry_msgs::msg::Polygon>(script.residues);
}

void ObservedNode::buildPlanners() {
  NavLocalPlanningServer::buildPlanners();
  for (const auto& key : test_planner_keys) {
    auto made = addPlanner<ScriptedPlanner>(key);
    journal.push_back("build " + key);
    made->key = key;
    made->journal = &journal;
    scripted_[key] = made;
  }
}

void LocalNodeTest::SetUp() {
  test_support::captureLog()->clear();
  local_base_test::Probe::reset();
  vantrell_diagnosis::testing::DiagnosisProbe::reset();
  task_manager_ = std::make_unique<test_support::TaskManagerClient>();
}

void LocalNodeTest::TearDown() {
  // The client's executor stops first, then the node joins its worker.
  task_manager_.reset();
  node_.reset();
}

void LocalNodeTest::buildNode(const rclcpp::NodeOptions& options) {
  test_support::DrawnMap floor = test_support::drawEmptyRoom(60, 40, 0.1);
  cv::rectangle(floor.image, cv::Point(20, 33), cv::Point(22, 35), cv::Scalar(test_support::kWall),
                cv::FILLED);
  vantrell_nav2_gridmap::GridMapParams params;
  params.inflation_radius = 0.0;
  for (auto& point : params.footprint) {
    point.x = std::copysign(0.1, point.x);
    point.y = std::copysign(0.1, point.y);
  }
  auto maps =
      hooks::makeLocalNodeMaps(hooks::occupancyGridFromDrawing(floor.image, 0.1, -1.05, -1.05),
                               cv::Rect(0, 0, 36, 40), params);
  hooks::placeRobot(maps, 0.4, 1.0, 0.0);
  buildNode(std::move(maps), options);
}

void LocalNodeTest::buildNode(hooks::LocalNodeMaps maps, const rclcpp::NodeOptions& options) {
  if (node_) {
    // One node at a time: the next one takes the same name and action.
    TearDown();
    task_manager_ = std::make_unique<test_support::TaskManagerClient>();
  }
  maps_ = std::move(maps);
  node_ = std::make_shared<ObservedNode>(maps_.global, maps_.local, maps_.zone, options);
  std::vector<std::string>* journal = &node_->journal;
  parameter_watch_ = node_->add_on_set_parameters_callback(
      [journal](const std::vector<rclcpp::Parameter>& parameters) {
        for (const auto& parameter : parameters) {
          journal->push_back("declare " + parameter.get_name());
        }
        rcl_interfaces::msg::SetParametersResult result;
        result.successful = true;
        return result;
      });
  task_manager_->spin(node_);
}

void LocalNodeTest::bringUp() { ASSERT_NO_THROW(planning_sim::bringUp(*node_)); }

LocalPlanning::Goal LocalNodeTest::goalFor(const std::string& key) {
  LocalPlanning::Goal goal;
  goal.current_planning_id = key;
  goal.global_path_uuid = "uuid-1";
  goal.global_paths.uuid = "uuid-1";
  goal.global_paths.paths.resize(1);
  goal.global_paths.paths[0].nav_path = line(0.0, 1.0, 4.0, 1.0, 21);
  return goal;
}

}  // namespace local_node_test
