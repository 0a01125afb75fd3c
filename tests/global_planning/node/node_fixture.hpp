#ifndef GLOBAL_PLANNING_NODE__NODE_FIXTURE_HPP_
#define GLOBAL_PLANNING_NODE__NODE_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/nav_global_planning.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "support/drawn_maps.hpp"
#include "support/log_capture.hpp"
#include "support/task_manager_client.hpp"

namespace node_test {
namespace keys = planning::global_keys;

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LiftFree = vantrell_nav2_protocol::action::LiftFree;
using FuzzyLiftFree = vantrell_nav2_protocol::action::FuzzyLiftFree;
using ForceGlobalPath = vantrell_nav2_protocol::action::ForceGlobalPath;
using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
using PoseStamped = geometry_msgs::msg::PoseStamped;

using planning::codes::kGlobalPlanFailed;
using planning::codes::kSmoothFailed;

// The node as its host sees it, plus read access to what configure built.
class ObservedNode : public planning::NavGlobalPlanningServer {
 public:
  using NavGlobalPlanningServer::NavGlobalPlanningServer;
  using NavGlobalPlanningServer::scaleLiftPolygon;
  ~ObservedNode() override {
    if (on_destruction) {
      on_destruction();
    }
  }

  // Run first when the node is destroyed, before anything of it has gone.
  std::function<void()> on_destruction;
  using NavGlobalPlanningServer::startTargetYaw;

  const std::vector<double>& liftPolygon() const { return lift_polygon_; }
  double offsetX() const { return offset_x_; }
  double offsetY() const { return offset_y_; }
  double liftLength() const { return lift_length_; }
  double liftWidth() const { return lift_width_; }
  double liftWaitingArea() const { return lift_waiting_area_; }
  std::vector<std::string> plannerKeys() const;
  // Only between goals: the table is not guarded.
  void putPlanner(const std::string& key, std::shared_ptr<planning::NavGlobalPlanning> planner) {
    planners_[key] = std::move(planner);
  }
  int32_t failureCount() const { return failure_count_; }
  // The record the "global_planning" goals fill; compared by address only.
  const GlobalPlanning::Result* resultRecord() const { return result_.get(); }
};

// A planner whose answer the test sets: what makePlan returns, how many straight paths it gives
// and how many poses the last one holds, and the error code it leaves on failure; or that its
// plan and its lift search run out of memory.
class ScriptedPlanner final : public planning::NavGlobalPlanning {
 public:
  struct Script {
    bool answer{true};
    int paths{1};
    int last_path_poses{20};
    int32_t error_code{0};
    bool out_of_memory{false};
  };

  ScriptedPlanner(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                  std::shared_ptr<GridMapROS> map);

  bool makePlan(const std::vector<PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;
  bool connectiveAreaSearch(const PoseStamped& start, const PoseStamped& goal, PoseStamped& result,
                            const geometry_msgs::msg::Polygon& search_area,
                            const geometry_msgs::msg::Polygon& target_area) override;

  void setScript(const Script& script);
  // The next makePlan stays in its body until release(); waitUntilHeld() returns once it is
  // there (false after the test's patience).
  void holdNextPlan();
  bool waitUntilHeld();
  void release();
  int calls() const;
  planning::GoalFlags flags() const;
  int16_t goalMode() const;
  std::vector<PoseStamped> goalsSeen() const;

 private:
  struct Gate {
    std::promise<void> entered;
    std::promise<void> released;
  };

  mutable std::mutex mutex_;
  std::shared_ptr<Gate> gate_;
  std::shared_ptr<Gate> held_;
  Script script_;
  int calls_{0};
  std::vector<PoseStamped> goals_seen_;
};

PoseStamped poseAt(double x, double y, double yaw = 0.0);
PoseStamped poseAt(const test_support::DrawnMap& map, const std::string& place, double yaw = 0.0);
using planning::geometry::yawOf;

/**
 * A global planning node on a drawn map, its goals sent by a task manager client. Every test
 * starts with a fresh node and with the communicator, diagnosis and smoother hooks reset; the
 * test places the robot.
 */
class NodeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the grid maps and the node, spun by the task manager's executor.
  void buildNode(const test_support::DrawnMap& map,
                 const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  // Configures and activates the node built last.
  void bringUp();
  void startNode(const test_support::DrawnMap& map,
                 const rclcpp::NodeOptions& options = rclcpp::NodeOptions()) {
    buildNode(map, options);
    bringUp();
  }
  void placeRobot(double x, double y, double yaw = 0.0);
  void placeRobot(const std::string& place, double yaw = 0.0);

  static GlobalPlanning::Goal goalFor(const std::string& planner,
                                      const std::vector<PoseStamped>& poses);
  test_support::ActionReply<GlobalPlanning> plan(const GlobalPlanning::Goal& goal);
  std::shared_ptr<ScriptedPlanner> addScriptedPlanner(const std::string& key = "scripted");

  test_support::DrawnMap map_;
  std::shared_ptr<GridMapROS> global_map_;
  std::shared_ptr<GridMapROS> local_map_;
  std::shared_ptr<ObservedNode> node_;
  std::unique_ptr<test_support::TaskManagerClient> task_manager_;
  std::shared_ptr<test_support::CaptureSink> log_;
};

}  // namespace node_test

#endif  // GLOBAL_PLANNING_NODE__NODE_FIXTURE_HPP_
