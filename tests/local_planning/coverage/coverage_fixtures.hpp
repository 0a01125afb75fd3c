#ifndef LOCAL_PLANNING__COVERAGE__COVERAGE_FIXTURES_HPP_
#define LOCAL_PLANNING__COVERAGE__COVERAGE_FIXTURES_HPP_

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "local_planning/contour/contour_fixtures.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/node_host.hpp"
#include "planning_sim/task_centre.hpp"
#include "rclcpp/rclcpp.hpp"
#include "support/drawn_maps.hpp"
#include "support/log_capture.hpp"
#include "support/shapes.hpp"
#include "support/task_manager_client.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

namespace planning {
namespace testing {

// The planner's task state, which only its own cycles would otherwise reach.
struct StaticCoveragePlanningProbe {
  using P = StaticCoveragePlanning;
  static std::function<P::TimePoint()>& clock(P& p) { return p.clock_; }
  static std::string& debugImageFolder(P& p) { return p.debug_image_folder_; }
  static int lineSpacing(const P& p) { return p.coverage_line_spacing_; }
  static double minimumCleaningArea(const P& p) { return p.minimum_cleaning_area_; }
  static double needCleanArea(const P& p) { return p.need_clean_area_; }
  static std::vector<CleanZoneInfo>& zones(P& p) { return p.zone_infos_; }
  static int& zoneIndex(P& p) { return p.current_zone_index_; }
  static cv::Point robotWindowCell(const P& p) { return p.robot_window_cell_; }
  static P::CellLists& edges(P& p) { return p.edge_contours_; }
  static P::CellLists& regions(P& p) { return p.uncleaned_contours_; }
  static void setWindowOrigin(P& p, uint32_t x, uint32_t y) {
    p.bbox_origin_x_ = x;
    p.bbox_origin_y_ = y;
  }
  static bool& taskFinished(P& p) { return p.is_task_finished_; }
  static const cv::Mat& coveredMask(const P& p) { return p.covered_mask_; }
  static NavLocalPlanning::MultiPaths& cache(P& p) { return *p.global_paths_; }
  static bool& stopDynamicObstacle(P& p) { return p.stop_dynamic_obstacle_; }
  static bool& cutPath(P& p) { return p.cut_path_; }
  static const NavLocalPlanning::PoseStamped& robotPose(const P& p) { return p.robot_pose_; }
  static cv::Mat& validity(P& p) { return p.valid_mat_; }
};

}  // namespace testing
}  // namespace planning

namespace static_coverage_test {

namespace gm = vantrell_nav2_gridmap::testing;
using namespace std::chrono_literals;
using Access = planning::testing::StaticCoveragePlanningProbe;
using Goal = vantrell_nav2_protocol::action::LocalPlanning::Goal;
using GetCoveredPoints = vantrell_nav2_protocol::srv::GetCoveredPoints;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;
using NavPath = nav_msgs::msg::Path;
using Piece = vantrell_nav2_protocol::msg::Path;
using PoseStamped = geometry_msgs::msg::PoseStamped;
using Probe = vantrell_communicator::testing::CommunicatorProbe;
using contour_test::makeNode;
using planning::StaticCoveragePlanning;

// Cell size of every drawn floor here; cell (i, j) is centred on (0.05 i, 0.05 j).
constexpr double kCell = 0.05;

inline PoseStamped pose(double x, double y, double yaw = 0.0) {
  return planning::geometry::planarPose(x, y, yaw);
}

// Poses `step` apart from (x0, y0) to (x1, y1), both ends included.
inline NavPath line(double x0, double y0, double x1, double y1, double step = kCell) {
  NavPath path;
  path.header.frame_id = "map";
  const double length = std::hypot(x1 - x0, y1 - y0);
  const int n = std::max(1, static_cast<int>(std::lround(length / step)));
  const double yaw = std::atan2(y1 - y0, x1 - x0);
  for (int i = 0; i <= n; ++i) {
    path.poses.push_back(pose(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n, yaw));
  }
  return path;
}

// An axis-aligned zone polygon, world corners.
using test_support::box;

inline std::shared_ptr<const Goal> coverageGoal(const std::string& uuid,
                                                std::vector<geometry_msgs::msg::Polygon> zones,
                                                int32_t coverage_width = 10) {
  auto goal = std::make_shared<Goal>();
  goal->current_planning_id = planning::local_keys::kStaticCoverage;
  goal->global_path_uuid = uuid;
  goal->zone_polygons = std::move(zones);
  goal->action_id = 7;
  goal->path_overlap_distance = 3;
  goal->coverage_width = coverage_width;
  return goal;
}

// The three maps of a floor: a 0.6 m x 0.5 m robot with the default inflation; the local map
// covers the whole floor.
inline gm::LocalNodeMaps floorMaps(const cv::Mat& floor) {
  auto maps = gm::makeLocalNodeMaps(gm::occupancyGridFromDrawing(floor, kCell, -0.025, -0.025),
                                    cv::Rect(0, 0, floor.cols, floor.rows));
  for (const auto& map : {maps.global, maps.local, maps.zone}) {
    map->getMultiGridMap()->updateMap();
  }
  return maps;
}

// Records whose message part holds `text`.
inline int countLogged(const std::string& text) {
  const auto texts = test_support::captureLog()->texts();
  return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& line) {
    return line.find(text) != std::string::npos;
  }));
}

/**
 * A robot that drives along the local paths it is given, and the task centre that reports the
 * poses it covered on "/get_coverage_point". As the robot's stack does, the zone map marks what
 * the cleaning width swept as no longer cleanable (cost 253), so the planner sees its progress.
 */
class SimulatedRobot {
 public:
  SimulatedRobot(gm::LocalNodeMaps maps, double x, double y, double yaw, double clean_radius)
      : maps_(std::move(maps)), clean_radius_(clean_radius) {
    place(pose(x, y, yaw));
  }

  void place(const PoseStamped& where) {
    gm::placeRobot(maps_, where.pose.position.x, where.pose.position.y,
                   2.0 * std::atan2(where.pose.orientation.z, where.pose.orientation.w));
    std::lock_guard<std::mutex> lock(mutex_);
    track_.push_back(where);
    sweep(where);
  }

  // Drives up to `distance` metres along `path` from its first pose on.
  void drive(const NavPath& path, double distance) {
    double driven = 0.0;
    for (std::size_t i = 1; i < path.poses.size(); ++i) {
      const auto& a = path.poses[i - 1].pose.position;
      const auto& b = path.poses[i].pose.position;
      driven += std::hypot(b.x - a.x, b.y - a.y);
      const double yaw = std::atan2(b.y - a.y, b.x - a.x);
      place(pose(b.x, b.y, yaw));
      if (driven >= distance) {
        return;
      }
    }
  }

  std::vector<PoseStamped> track() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return track_;
  }
  const gm::LocalNodeMaps& maps() const { return maps_; }

 private:
  // The robot keeps off obstacles by more than the radius: only cleanable cells are marked.
  void sweep(const PoseStamped& where) {
    nav2_costmap_2d::Costmap2D& costmap = *maps_.zone->getMultiGridMap()->getCostmap();
    std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap.getMutex());
    cv::Mat costs(static_cast<int>(costmap.getSizeInCellsY()),
                  static_cast<int>(costmap.getSizeInCellsX()), CV_8UC1, costmap.getCharMap());
    const cv::Point cell(static_cast<int>(std::floor(where.pose.position.x / kCell + 0.5)),
                         static_cast<int>(std::floor(where.pose.position.y / kCell + 0.5)));
    cv::circle(costs, cell, static_cast<int>(clean_radius_ / kCell), cv::Scalar(253), cv::FILLED);
  }

  gm::LocalNodeMaps maps_;
  double clean_radius_;
  mutable std::mutex mutex_;
  std::vector<PoseStamped> track_;
};

// The task centre (planning_sim::TaskCentre) answering with what `covered` returns. Given the
// planner's node, a host serves both (the node's executor serves the planner's client) on a
// thread of its own; otherwise whoever spins the planner's node spins node() too.
class TaskCentre {
 public:
  TaskCentre(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& planner_node,
             std::function<std::vector<PoseStamped>()> covered)
      : centre_(std::move(covered)) {
    if (planner_node) {
      host_.emplace();
      host_->spin(planner_node);
      host_->spin(centre_.node());
    }
  }
  TaskCentre(const TaskCentre&) = delete;
  TaskCentre& operator=(const TaskCentre&) = delete;

  rclcpp::Node::SharedPtr node() const { return centre_.node(); }
  int requests() const { return static_cast<int>(centre_.requests()); }
  int lastFlag() const { return centre_.lastRequestFlag(); }

 private:
  planning_sim::TaskCentre centre_;
  // Last: it stops serving before the centre goes.
  std::optional<planning_sim::NodeHost> host_;
};

// One node, the maps of a floor and a planner on them, with both grid-search engines and a
// trace publisher as the local planning node hands them over. Records go to a capture sink.
class PlannerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::captureLog()->clear();
    Probe::reset();
  }

  // `earlier` are declared on the node before the planner is built, as the local planning node
  // and the dynamic coverage planner declare theirs.
  void build(const cv::Mat& floor, const std::vector<rclcpp::Parameter>& overrides = {},
             const std::vector<rclcpp::Parameter>& earlier = {}) {
    node_ = makeNode("static_coverage_test", overrides);
    for (const auto& parameter : earlier) {
      node_->declare_parameter(parameter.get_name(), parameter.get_parameter_value());
    }
    maps_ = floorMaps(floor);
    planner_ =
        std::make_shared<StaticCoveragePlanning>(node_, maps_.global, maps_.local, maps_.zone);
    planner_->setLocalPlanner(std::make_shared<NavLocalPlanningAstar>("local", maps_.local));
    planner_->setGlobalPlanner(
        std::make_shared<NavLocalPlanningAstar>("local_global", maps_.global));
    planner_->setTraceLogger(std::make_shared<LogPublisher>(node_));
  }

  void placeRobot(double x, double y, double yaw = 0.0) { gm::placeRobot(maps_, x, y, yaw); }

  using NavLocalPlanningAstar = vantrell_nav2_planner::astar2::AstarPlanner;

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  gm::LocalNodeMaps maps_;
  std::shared_ptr<StaticCoveragePlanning> planner_;
};

// Share of the free cells of `floor` in `area` that the track swept within `radius`.
inline double coveredShare(const cv::Mat& floor, const std::vector<PoseStamped>& track,
                           double radius, const cv::Rect& area) {
  cv::Mat swept = cv::Mat::zeros(floor.size(), CV_8UC1);
  for (const auto& p : track) {
    cv::circle(swept,
               cv::Point(static_cast<int>(std::lround(p.pose.position.x / kCell)),
                         static_cast<int>(std::lround(p.pose.position.y / kCell))),
               static_cast<int>(radius / kCell), cv::Scalar(255), cv::FILLED);
  }
  const cv::Mat free = floor(area) == test_support::kFree;
  cv::Mat covered;
  cv::bitwise_and(swept(area), free, covered);
  return static_cast<double>(cv::countNonZero(covered)) / cv::countNonZero(free);
}

// The local planning node on the maps of a floor, configured and active, spun with the task
// centre by a task manager that sends it goals; the robot stands at (x, y) facing east.
class NodeUnderTest {
 public:
  using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;

  NodeUnderTest(const cv::Mat& floor, double x, double y)
      : maps_(floorMaps(floor)),
        robot_(maps_, x, y, 0.0, 0.25),
        task_manager_(std::make_unique<test_support::TaskManagerClient>()),
        node_(std::make_shared<planning::NavLocalPlanningServer>(maps_.global, maps_.local,
                                                                 maps_.zone)),
        centre_(nullptr, [this]() { return robot_.track(); }) {
    task_manager_->spin(node_);
    task_manager_->spin(centre_.node());
    try {
      planning_sim::bringUp(*node_);
      configured_ = true;
    } catch (const std::runtime_error&) {
      configured_ = false;
    }
  }
  // The goals stop before the node goes.
  ~NodeUnderTest() {
    task_manager_.reset();
    node_.reset();
  }
  NodeUnderTest(const NodeUnderTest&) = delete;
  NodeUnderTest& operator=(const NodeUnderTest&) = delete;

  bool configured() const { return configured_; }
  test_support::ActionReply<LocalPlanning> send(const LocalPlanning::Goal& goal) {
    return task_manager_->call<LocalPlanning>("local_planning", goal);
  }
  const gm::LocalNodeMaps& maps() const { return maps_; }
  SimulatedRobot& robot() { return robot_; }
  planning::NavLocalPlanningServer& node() { return *node_; }
  const TaskCentre& centre() const { return centre_; }

 private:
  gm::LocalNodeMaps maps_;
  SimulatedRobot robot_;
  std::unique_ptr<test_support::TaskManagerClient> task_manager_;
  std::shared_ptr<planning::NavLocalPlanningServer> node_;
  TaskCentre centre_;
  bool configured_{false};
};

// A walled room of width x height cells.
inline cv::Mat room(int width, int height) {
  return test_support::drawEmptyRoom(width, height, kCell).image;
}

inline void wall(cv::Mat& floor, int x0, int y0, int x1, int y1) {
  cv::rectangle(floor, cv::Point(x0, y0), cv::Point(x1, y1), cv::Scalar(test_support::kWall),
                cv::FILLED);
}

// A room of 3 m x 2 m with a wall block over x 2.0 .. 2.75, y 0.5 .. 1.5, and zones on it with
// no floor to clean, each with the reason its one WARN gives.
inline cv::Mat roomWithBlock() {
  cv::Mat floor = room(60, 40);
  wall(floor, 40, 10, 55, 30);
  return floor;
}

struct FloorlessZone {
  const char* name;
  geometry_msgs::msg::Polygon zone;
  const char* why;
};

inline std::vector<FloorlessZone> floorlessZones() {
  geometry_msgs::msg::Polygon collinear;
  collinear.points = {test_support::point32(0.5, 0.5), test_support::point32(1.0, 1.0),
                      test_support::point32(1.5, 1.5)};
  geometry_msgs::msg::Polygon one_point;
  one_point.points.assign(4, test_support::point32(1.0, 1.0));
  return {{"no corners", geometry_msgs::msg::Polygon(), "0 of its 0 corners lie on the map"},
          {"off the map", box(-5.0, -5.0, -3.0, -3.0), "0 of its 4 corners lie on the map"},
          {"collinear", collinear, "it encloses no cell"},
          {"all corners equal", one_point, "it encloses no cell"},
          {"1 cm wide", box(1.0, 0.5, 1.01, 1.5), "it encloses no cell"},
          {"inside a wall", box(2.1, 0.6, 2.6, 1.4), "every cell in it is an obstacle or unknown"}};
}

// Sends each floorless zone as a task of its own, two cycles of it through `cycle` (the goal
// taken, then one planning cycle; true when it planned): every cycle must fail, and the zone be
// named once.
inline void expectFloorlessTasksFail(
    const std::function<std::shared_ptr<const Goal>(const std::string&,
                                                    const geometry_msgs::msg::Polygon&)>& goal_for,
    const std::function<bool(const std::shared_ptr<const Goal>&)>& cycle) {
  int task = 0;
  for (const auto& c : floorlessZones()) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    const auto goal = goal_for("floorless " + std::to_string(++task), c.zone);
    EXPECT_FALSE(cycle(goal));
    EXPECT_FALSE(cycle(goal));
    EXPECT_EQ(countLogged("has no cleanable floor: " + std::string(c.why) + "; dropped"), 1);
    EXPECT_EQ(test_support::captureLog()->messagesAt("WARN").size(), 1U);
  }
}

}  // namespace static_coverage_test

#endif  // LOCAL_PLANNING__COVERAGE__COVERAGE_FIXTURES_HPP_
