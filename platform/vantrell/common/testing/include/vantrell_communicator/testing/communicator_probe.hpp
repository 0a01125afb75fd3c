#ifndef VANTRELL_COMMUNICATOR__TESTING__COMMUNICATOR_PROBE_HPP_
#define VANTRELL_COMMUNICATOR__TESTING__COMMUNICATOR_PROBE_HPP_

#include <string>
#include <utility>
#include <vector>

#include "vantrell_communicator/communicator_engine.hpp"

namespace vantrell_communicator {
namespace testing {

/**
 * Hook for tests and the demo host: reads what the process-wide communicator
 * sent (the latest 256 messages of each topic and a count of all), sets what
 * the robot reports back (odometry, dynamic obstacles, people), and resets it
 * all between tests. Never included by library code.
 */
class CommunicatorProbe {
 public:
  template <typename MessageT>
  using Outlet = TopicOutlet<MessageT>;
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

  // What the planning unit sent.
  static const Outlet<MultiPaths>& globalPaths() { return planning().global_path_; }
  static const Outlet<MultiPaths>& croppedGlobalPaths() { return planning().cropped_global_path_; }
  static const Outlet<MultiPaths>& dynamicGlobalPaths() { return planning().dynamic_global_path_; }
  static const Outlet<nav_msgs::msg::Path>& localPaths() { return planning().local_path_; }
  static const Outlet<nav_msgs::msg::Path>& contourPaths() { return planning().contour_path_; }
  static const Outlet<visualization_msgs::msg::Marker>& connectiveAreas() {
    return planning().connective_area_;
  }
  static const Outlet<geometry_msgs::msg::Polygon>& contours() { return planning().contour_; }
  static const Outlet<vantrell_protocol::msg::CleanCoverageTrigger>& cleanCoverageTriggers() {
    return planning().clean_coverage_;
  }
  static const Outlet<std_msgs::msg::Int8>& waitForDynamicObstacles() {
    return planning().wait_for_dynamic_obstacle_;
  }
  static const Outlet<vantrell_protocol::msg::CoveredPoints>& coveredPoints() {
    return planning().covered_points_;
  }
  static const Outlet<nav_msgs::msg::Path>& coveredPaths() { return planning().covered_path_; }

  // What the other units sent.
  static const Outlet<vantrell_protocol::msg::RobotEvent>& robotEvents() {
    return CommunicatorEngine::GetInstance()->getRobotEventUnit()->robot_event_;
  }
  static const Outlet<vantrell_protocol::msg::RosbagTrigger>& rosbagTriggers() {
    return CommunicatorEngine::GetInstance()->getErrCodeUnit()->rosbag_trigger_;
  }

  // What the robot reports back.
  static void setOdom(const geometry_msgs::msg::TwistStamped& odom) {
    CommunicatorEngine::GetInstance()->getOdomUnit()->setOdom(odom);
  }
  static void setDynamicObstacle(std::vector<nav_msgs::msg::Path> trajectories) {
    CommunicatorEngine::GetInstance()->getDynamicObstacleUnit()->setDynamicObstacle(
        std::move(trajectories));
  }
  static void setPeopleInfo(const std::string& source, const PeopleInfo& report) {
    CommunicatorEngine::GetInstance()->getPeopleInfoUnit()->setPeopleInfo(source, report);
  }
  static void clearPeopleInfo() { CommunicatorEngine::GetInstance()->getPeopleInfoUnit()->clear(); }

  /// Forgets everything sent and reported, as in a fresh process. Pointers to
  /// the engine and its units stay valid.
  static void reset() {
    auto& p = planning();
    p.global_path_.clear();
    p.cropped_global_path_.clear();
    p.dynamic_global_path_.clear();
    p.local_path_.clear();
    p.contour_path_.clear();
    p.connective_area_.clear();
    p.contour_.clear();
    p.clean_coverage_.clear();
    p.wait_for_dynamic_obstacle_.clear();
    p.covered_points_.clear();
    p.covered_path_.clear();
    auto engine = CommunicatorEngine::GetInstance();
    engine->getRobotEventUnit()->robot_event_.clear();
    engine->getErrCodeUnit()->rosbag_trigger_.clear();
    setOdom(geometry_msgs::msg::TwistStamped());
    setDynamicObstacle({});
    clearPeopleInfo();
  }

 private:
  static MicroUnitPlanning& planning() {
    // The engine outlives every test, so the unit reference stays valid.
    return *CommunicatorEngine::GetInstance()->getPlanningUnit();
  }
};

}  // namespace testing
}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__TESTING__COMMUNICATOR_PROBE_HPP_
