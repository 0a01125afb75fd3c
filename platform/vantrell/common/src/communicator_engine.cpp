#include "vantrell_communicator/communicator_engine.hpp"

#include <chrono>
#include <utility>

namespace vantrell_communicator {

std::shared_ptr<CommunicatorEngine> CommunicatorEngine::GetInstance() {
  // A function-local static: made once, safely, by whichever thread comes
  // first; released at exit, the engine ends with the last copy handed out.
  static std::shared_ptr<CommunicatorEngine> publish_topic_ptr =
      std::make_shared<CommunicatorEngine>(PrivateTag{});
  return publish_topic_ptr;
}

CommunicatorEngine::CommunicatorEngine(PrivateTag)
    : node_(std::make_shared<rclcpp::Node>("vantrell_communicator")),
      planning_(std::make_shared<MicroUnitPlanning>(*node_)),
      robot_event_(std::make_shared<MicroUnitRobotEvent>(*node_)),
      err_code_(std::make_shared<MicroUnitErrCode>(*node_)),
      odom_(std::make_shared<MicroUnitOdom>(*node_)),
      dynamic_obstacle_(std::make_shared<MicroUnitDynamicObstacle>()),
      people_info_(std::make_shared<MicroUnitPeopleInfo>()) {
  executor_.add_node(node_);
  std::packaged_task<void()> spin([this] { executor_.spin(); });
  spin_done_ = spin.get_future();
  spinner_ = std::thread(std::move(spin));
}

CommunicatorEngine::~CommunicatorEngine() {
  // A cancel that comes before spin has begun is lost, so it is repeated until spin returns.
  do {
    executor_.cancel();
  } while (spin_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
  executor_.remove_node(node_);
}

}  // namespace vantrell_communicator
