#include "rclcpp/node_interfaces/node_logging_interface.hpp"

#include <string>

namespace rclcpp {
namespace node_interfaces {

namespace {
std::string logger_name_of(const NodeBaseInterface& node_base) {
  std::string ns = node_base.get_namespace();
  std::string name;
  for (char c : ns.substr(1)) {
    name += (c == '/') ? '.' : c;
  }
  return name.empty() ? node_base.get_name() : name + "." + node_base.get_name();
}
}  // namespace

NodeLoggingInterface::NodeLoggingInterface(const NodeBaseInterface::SharedPtr& node_base)
    : logger_(rclcpp::get_logger(logger_name_of(*node_base))) {}

NodeLoggingInterface::~NodeLoggingInterface() = default;

rclcpp::Logger NodeLoggingInterface::get_logger() const { return logger_; }

const char* NodeLoggingInterface::get_logger_name() const { return logger_.get_name(); }

}  // namespace node_interfaces
}  // namespace rclcpp
