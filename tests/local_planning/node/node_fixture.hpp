#ifndef LOCAL_PLANNING__NODE__NODE_FIXTURE_HPP_
#define LOCAL_PLANNING__NODE__NODE_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "local_planning/base/local_fixtures.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "support/task_manager_client.hpp"

namespace local_node_test {
namespace keys = planning::local_keys;

using local_base_test::countLogged;
using local_base_test::line;
using local_base_test::logged;
using local_base_test::NavPath;
using local_base_test::Piece;
using local_base_test::pose;
using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;
using Reply = test_support::ActionReply<LocalPlanning>;
namespace hooks = vantrell_nav2_gridmap::testing;

/**
 * A local planner that answers as its script says and keeps what the node handed it. Its smoother
 * drops the first pose and turns the last one to 1 rad, so that what the node sends can be told
 * from what the planner made. Configuration calls go to the journal, if one is given.
 */
class ScriptedPlanner final : public planning::NavLocalPlanning {
 public:
  struct Script {
    bool answer{true};
    bool need_replan{false};
    bool throws{false};
    // getResiduesZones throws, once the result is being filled.
    bool residues_throw{false};
    // 13 poses of a clear straight path east along y = 1, from x = 0 to 2.4.
    NavPath path{line(0.0, 1.0, 2.4, 1.0, 13)};
    bool move_backward{false};
    bool check_blocked{false};
    ControlState control{};
    bool smooth{true};
    bool smooth_empties{false};
    bool fuzzy_empties{false};
    bool corner_cut{false};
    double cleaned_area{0.0};
    size_t residues{0};
  };
  // Set by the test between goals, read by the goal's worker; the goal's way to the worker
  // orders the two.
  Script script;
  // What the last makePlan was handed: the working path and the goal's settings.
  NavPath working_path;
  GoalFlags flags{};
  int32_t planning_mode{0};
  bool goal_pose_given{false};
  PoseStamped goal_pose;
  double fuzzy_distance{0.0};
  std::vector<std::string>* journal{nullptr};
  std::string key;

  using NavLocalPlanning::NavLocalPlanning;

  // The next makePlan waits in its body until release(); waitUntilHeld() returns once it is
  // there (false after the test's patience).
  void holdNextPlan();
  bool waitUntilHeld();
  void release();

  void setLocalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) override;
  /// The node's "local" engine, shared by every planner of the table.
  std::shared_ptr<AstarPlanner> localEngine() const { return local_planner_; }
  void setGoalPose(const PoseStamped& pose, double fuzzy_distance) override;
  bool makePlan(Path& path, ControlState& state, bool& need_replan) override;
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  void pathFuzzyPoint(Path& path, ControlState& state) override;
  std::vector<geometry_msgs::msg::Polygon> getResiduesZones() override;
  double getCleanedArea() override { return script.cleaned_area; }

 private:
  void note(const std::string& call);

  struct Gate {
    std::promise<void> entered;
    std::promise<void> released;
  };
  // Set by the test before it sends the goal, taken by that goal's makePlan.
  std::shared_ptr<Gate> gate_;
  // The test's own handle on the same gate.
  std::shared_ptr<Gate> held_;
};

// The node as its host sees it, its table holding scripted planners, its state in reach. The
// state is read between goals only.
class ObservedNode : public planning::NavLocalPlanningServer {
 public:
  using NavLocalPlanningServer::computePlan;
  using NavLocalPlanningServer::NavLocalPlanningServer;
  ~ObservedNode() override {
    if (on_destruction) {
      on_destruction();
    }
  }

  // Run first when the node is destroyed, before anything of it has gone.
  std::function<void()> on_destruction;

  // Set before configure: the keys the scripted planners are built under, in this order.
  std::vector<std::string> test_planner_keys{"scripted"};
  // Written while configure runs on the test's thread: "declare <name>", "build <key>",
  // "<key> <setter>".
  std::vector<std::string> journal;

  std::shared_ptr<ScriptedPlanner> planner(const std::string& key = "scripted") const {
    return scripted_.at(key);
  }
  const LocalPlanning::Result& result() const { return *result_; }
  int32_t failureCount() const { return failure_count_; }
  bool oscillationLatch() const { return oscillation_; }
  const planning::SpeedLimitParams& speedLimits() const { return speed_limit_params_; }
  const planning::SpeedLimitValue::Settings& speedSettings() const { return speed_limit_settings_; }
  double rotationLength() const { return rotation_direction_path_length_; }
  double spinLengthTolerance() const { return spin_judge_path_length_tolerance_; }
  size_t tableSize() const { return planners_.size(); }
  std::shared_ptr<planning::NavLocalPlanning> tablePlanner(const std::string& key) const {
    return planners_.at(key);
  }

 protected:
  void buildPlanners() override;

 private:
  std::map<std::string, std::shared_ptr<ScriptedPlanner>> scripted_;
};

/**
 * A local planning node on a walled room of 6 m x 4 m (0.1 m cells, x from -1 to 4.9, y from -1
 * to 2.9) with a wall block over x 1.0 .. 1.2, y 2.3 .. 2.5; the local map is the part west of
 * x = 2.55. The robot is a 0.2 m square without inflation, standing at (0.4, 1.0) facing east.
 * Goals come from a task manager client; the communicator and diagnosis probes start empty.
 */
class LocalNodeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the node built before, if any.
  void buildNode(const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  // The same on maps of the test's own, the robot placed by the test.
  void buildNode(hooks::LocalNodeMaps maps, const rclcpp::NodeOptions& options);
  void bringUp();
  void startNode() {
    buildNode();
    bringUp();
  }
  void placeRobot(double x, double y) { hooks::placeRobot(maps_, x, y, 0.0); }

  // A goal for the planner `key` on the global path set "uuid-1" of one straight path.
  static LocalPlanning::Goal goalFor(const std::string& key = "scripted");
  Reply plan(const LocalPlanning::Goal& goal) {
    return task_manager_->call<LocalPlanning>("local_planning", goal);
  }
  Reply plan() { return plan(goalFor()); }
  ScriptedPlanner& planner(const std::string& key = "scripted") { return *node_->planner(key); }

  hooks::LocalNodeMaps maps_;
  std::shared_ptr<ObservedNode> node_;
  std::unique_ptr<test_support::TaskManagerClient> task_manager_;
  rclcpp::node_interfaces::OnSetParametersCallbackHandle::SharedPtr parameter_watch_;
};

}  // namespace local_node_test

#endif  // LOCAL_PLANNING__NODE__NODE_FIXTURE_HPP_
