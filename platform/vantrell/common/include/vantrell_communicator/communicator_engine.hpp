#ifndef VANTRELL_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_
#define VANTRELL_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_

#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "vantrell_communicator/micro_unit_dynamic_obstacle.hpp"
#include "vantrell_communicator/micro_unit_err_code.hpp"
#include "vantrell_communicator/micro_unit_odom.hpp"
#include "vantrell_communicator/micro_unit_people_info.hpp"
#include "vantrell_communicator/micro_unit_planning.hpp"
#include "vantrell_communicator/micro_unit_robot_event.hpp"

namespace vantrell_communicator {

/**
 * The process-wide link between the navigation components and the rest of
 * the robot. It owns one ROS node ("vantrell_communicator") on which its units
 * publish and listen, spun by an executor on a thread of the engine's own from
 * construction until rclcpp shuts down or the engine goes, and the units that
 * hold what the robot reports back. The units live as long as the engine;
 * every operation of every unit may be called from any thread.
 */
class CommunicatorEngine {
  struct PrivateTag {};

 public:
  /// The one engine of the process, made at the first call (thread-safe).
  static std::shared_ptr<CommunicatorEngine> GetInstance();

  explicit CommunicatorEngine(PrivateTag);
  ~CommunicatorEngine();
  CommunicatorEngine(const CommunicatorEngine&) = delete;
  CommunicatorEngine& operator=(const CommunicatorEngine&) = delete;

  std::shared_ptr<MicroUnitPlanning> getPlanningUnit() const { return planning_; }
  std::shared_ptr<MicroUnitRobotEvent> getRobotEventUnit() const { return robot_event_; }
  std::shared_ptr<MicroUnitErrCode> getErrCodeUnit() const { return err_code_; }
  std::shared_ptr<MicroUnitOdom> getOdomUnit() const { return odom_; }
  std::shared_ptr<MicroUnitDynamicObstacle> getDynamicObstacleUnit() const {
    return dynamic_obstacle_;
  }
  std::shared_ptr<MicroUnitPeopleInfo> getPeopleInfoUnit() const { return people_info_; }

 private:
  rclcpp::Node::SharedPtr node_;
  std::shared_ptr<MicroUnitPlanning> planning_;
  std::shared_ptr<MicroUnitRobotEvent> robot_event_;
  std::shared_ptr<MicroUnitErrCode> err_code_;
  std::shared_ptr<MicroUnitOdom> odom_;
  std::shared_ptr<MicroUnitDynamicObstacle> dynamic_obstacle_;
  std::shared_ptr<MicroUnitPeopleInfo> people_info_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::future<void> spin_done_;
  std::thread spinner_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_
