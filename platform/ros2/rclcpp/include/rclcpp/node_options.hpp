#ifndef RCLCPP__NODE_OPTIONS_HPP_
#define RCLCPP__NODE_OPTIONS_HPP_

#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

// Options of a node. Of the command-line style arguments, "--ros-args" with
// "-p name:=value" (parameter overrides) and "-r __node:=" / "-r __ns:="
// (renames) are understood; the rest is kept but has no effect.
class NodeOptions {
 public:
  NodeOptions() = default;

  Context::SharedPtr context() const;
  NodeOptions& context(Context::SharedPtr context);

  const std::vector<std::string>& arguments() const;
  NodeOptions& arguments(const std::vector<std::string>& arguments);

  std::vector<Parameter>& parameter_overrides();
  const std::vector<Parameter>& parameter_overrides() const;
  NodeOptions& parameter_overrides(const std::vector<Parameter>& parameter_overrides);
  template <typename ParameterT>
  NodeOptions& append_parameter_override(const std::string& name, const ParameterT& value) {
    parameter_overrides_.emplace_back(name, ParameterValue(value));
    return *this;
  }

  bool use_global_arguments() const;
  NodeOptions& use_global_arguments(bool use_global_arguments);
  bool enable_rosout() const;
  NodeOptions& enable_rosout(bool enable_rosout);
  bool use_intra_process_comms() const;
  NodeOptions& use_intra_process_comms(bool use_intra_process_comms);
  bool enable_topic_statistics() const;
  NodeOptions& enable_topic_statistics(bool enable_topic_statistics);
  bool start_parameter_services() const;
  NodeOptions& start_parameter_services(bool start_parameter_services);
  bool start_parameter_event_publisher() const;
  NodeOptions& start_parameter_event_publisher(bool start_parameter_event_publisher);
  // How the node's time source subscribes to "/clock" when it uses simulated time, and whether
  // it takes the ticks on a thread of its own (otherwise the node's executor serves them).
  const rclcpp::QoS& clock_qos() const;
  NodeOptions& clock_qos(const rclcpp::QoS& clock_qos);
  bool use_clock_thread() const;
  NodeOptions& use_clock_thread(bool use_clock_thread);
  bool allow_undeclared_parameters() const;
  NodeOptions& allow_undeclared_parameters(bool allow_undeclared_parameters);
  bool automatically_declare_parameters_from_overrides() const;
  NodeOptions& automatically_declare_parameters_from_overrides(bool automatically_declare);

 private:
  Context::SharedPtr context_;
  std::vector<std::string> arguments_;
  std::vector<Parameter> parameter_overrides_;
  bool use_global_arguments_ = true;
  bool enable_rosout_ = true;
  bool use_intra_process_comms_ = false;
  bool enable_topic_statistics_ = false;
  bool start_parameter_services_ = true;
  bool start_parameter_event_publisher_ = true;
  rclcpp::QoS clock_qos_ = rclcpp::ClockQoS();
  bool use_clock_thread_ = true;
  bool allow_undeclared_parameters_ = false;
  bool automatically_declare_parameters_from_overrides_ = false;
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_OPTIONS_HPP_
