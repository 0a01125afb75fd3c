#include "vantrell_communicator/communicator_engine.hpp"

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
      odom_(std::make_shared<MicroUnitOdom>()),
      dynamic_obstacle_(std::make_shared<MicroUnitDynamicObstacle>()),
      people_info_(std::make_shared<MicroUnitPeopleInfo>()) {}

}  // namespace vantrell_communicator
