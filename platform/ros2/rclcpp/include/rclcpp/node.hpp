#ifndef RCLCPP__NODE_HPP_
#define RCLCPP__NODE_HPP_

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/create_client.hpp"
#include "rclcpp/create_publisher.hpp"
#include "rclcpp/create_service.hpp"
#include "rclcpp/create_subscription.hpp"
#include "rclcpp/create_timer.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_time_source_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp/timer.hpp"
#include "rmw/qos_profiles.h"

namespace rclcpp {

// A ROS node living in this process.
class Node : public std::enable_shared_from_this<Node> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(Node)

  explicit Node(const std::string& node_name, const NodeOptions& options = NodeOptions());
  Node(const std::string& node_name, const std::string& namespace_,
       const NodeOptions& options = NodeOptions());
  virtual ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  const char* get_name() const;
  const char* get_namespace() const;
  const char* get_fully_qualified_name() const;
  rclcpp::Logger get_logger() const;

  rclcpp::CallbackGroup::SharedPtr create_callback_group(
      rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);

  template <typename MessageT, typename AllocatorT = std::allocator<void>,
            typename PublisherT = rclcpp::Publisher<MessageT, AllocatorT>>
  std::shared_ptr<PublisherT> create_publisher(
      const std::string& topic_name, const rclcpp::QoS& qos,
      const PublisherOptionsWithAllocator<AllocatorT>& options =
          PublisherOptionsWithAllocator<AllocatorT>()) {
    return rclcpp::create_publisher<MessageT, AllocatorT, PublisherT>(node_topics_, topic_name, qos,
                                                                      options);
  }

  template <typename MessageT, typename CallbackT, typename AllocatorT = std::allocator<void>,
            typename SubscriptionT = rclcpp::Subscription<MessageT, AllocatorT>>
  std::shared_ptr<SubscriptionT> create_subscription(
      const std::string& topic_name, const rclcpp::QoS& qos, CallbackT&& callback,
      const SubscriptionOptionsWithAllocator<AllocatorT>& options =
          SubscriptionOptionsWithAllocator<AllocatorT>()) {
    return rclcpp::create_subscription<MessageT, CallbackT, AllocatorT, SubscriptionT>(
        node_topics_, topic_name, qos, std::forward<CallbackT>(callback), options);
  }

  template <typename DurationRepT = int64_t, typename DurationT = std::milli, typename CallbackT>
  typename rclcpp::WallTimer<CallbackT>::SharedPtr create_wall_timer(
      std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback,
      rclcpp::CallbackGroup::SharedPtr group = nullptr) {
    return rclcpp::create_wall_timer(period, std::move(callback), group, node_base_.get(),
                                     node_timers_.get());
  }

  template <typename ServiceT>
  typename rclcpp::Client<ServiceT>::SharedPtr create_client(
      const std::string& service_name,
      const rmw_qos_profile_t& qos_profile = rmw_qos_profile_services_default,
      rclcpp::CallbackGroup::SharedPtr group = nullptr) {
    return rclcpp::create_client<ServiceT>(node_base_, node_graph_, node_services_, service_name,
                                           qos_profile, group);
  }

  template <typename ServiceT, typename CallbackT>
  typename rclcpp::Service<ServiceT>::SharedPtr create_service(
      const std::string& service_name, CallbackT&& callback,
      const rmw_qos_profile_t& qos_profile = rmw_qos_profile_services_default,
      rclcpp::CallbackGroup::SharedPtr group = nullptr) {
    return rclcpp::create_service<ServiceT, CallbackT>(node_base_, node_services_, service_name,
                                                       std::forward<CallbackT>(callback),
                                                       qos_profile, group);
  }

  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, const rclcpp::ParameterValue& default_value,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);
  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, rclcpp::ParameterType type,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);

  template <typename ParameterT>
  auto declare_parameter(const std::string& name, const ParameterT& default_value,
                         const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
                             rcl_interfaces::msg::ParameterDescriptor(),
                         bool ignore_override = false) {
    try {
      return this
          ->declare_parameter(name, rclcpp::ParameterValue(default_value), parameter_descriptor,
                              ignore_override)
          .template get<ParameterT>();
    } catch (const ParameterTypeException& ex) {
      throw exceptions::InvalidParameterTypeException(name, ex.what());
    }
  }

  template <typename ParameterT>
  auto declare_parameter(const std::string& name,
                         const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
                             rcl_interfaces::msg::ParameterDescriptor(),
                         bool ignore_override = false) {
    const auto type = rclcpp::ParameterValue(ParameterT{}).get_type();
    try {
      return this->declare_parameter(name, type, parameter_descriptor, ignore_override)
          .template get<ParameterT>();
    } catch (const ParameterTypeException& ex) {
      throw exceptions::InvalidParameterTypeException(name, ex.what());
    }
  }

  void undeclare_parameter(const std::string& name);
  bool has_parameter(const std::string& name) const;
  rcl_interfaces::msg::SetParametersResult set_parameter(const rclcpp::Parameter& parameter);
  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
      const std::vector<rclcpp::Parameter>& parameters);
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
      const std::vector<rclcpp::Parameter>& parameters);
  rclcpp::Parameter get_parameter(const std::string& name) const;
  bool get_parameter(const std::string& name, rclcpp::Parameter& parameter) const;
  // False, leaving `parameter` untouched, when the name is not declared.
  template <typename ParameterT>
  bool get_parameter(const std::string& name, ParameterT& parameter) const {
    rclcpp::Parameter parameter_variant;
    const bool result = get_parameter(name, parameter_variant);
    if (result) {
      parameter = static_cast<ParameterT>(parameter_variant.get_value<ParameterT>());
    }
    return result;
  }
  template <typename ParameterT>
  bool get_parameter_or(const std::string& name, ParameterT& parameter,
                        const ParameterT& alternative_value) const {
    const bool got = get_parameter(name, parameter);
    if (!got) {
      parameter = alternative_value;
    }
    return got;
  }
  std::vector<rclcpp::Parameter> get_parameters(const std::vector<std::string>& names) const;
  rcl_interfaces::msg::ParameterDescriptor describe_parameter(const std::string& name) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
      const std::vector<std::string>& names) const;

  using OnSetParametersCallbackHandle = rclcpp::node_interfaces::OnSetParametersCallbackHandle;
  using OnParametersSetCallbackType =
      rclcpp::node_interfaces::NodeParametersInterface::OnParametersSetCallbackType;
  OnSetParametersCallbackHandle::SharedPtr add_on_set_parameters_callback(
      OnParametersSetCallbackType callback);
  void remove_on_set_parameters_callback(const OnSetParametersCallbackHandle* const handler);

  size_t count_publishers(const std::string& topic_name) const;
  size_t count_subscribers(const std::string& topic_name) const;

  rclcpp::Clock::SharedPtr get_clock();
  rclcpp::Clock::ConstSharedPtr get_clock() const;
  rclcpp::Time now() const;

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr get_node_base_interface();
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr get_node_clock_interface();
  rclcpp::node_interfaces::NodeGraphInterface::SharedPtr get_node_graph_interface();
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr get_node_logging_interface();
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr get_node_timers_interface();
  rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr get_node_topics_interface();
  rclcpp::node_interfaces::NodeServicesInterface::SharedPtr get_node_services_interface();
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr get_node_waitables_interface();
  rclcpp::node_interfaces::NodeParametersInterface::SharedPtr get_node_parameters_interface();
  rclcpp::node_interfaces::NodeTimeSourceInterface::SharedPtr get_node_time_source_interface();

  const rclcpp::NodeOptions& get_node_options() const;

 private:
  rclcpp::NodeOptions node_options_;
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph_;
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_;
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers_;
  rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics_;
  rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services_;
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_;
  rclcpp::node_interfaces::NodeParametersInterface::SharedPtr node_parameters_;
  rclcpp::node_interfaces::NodeTimeSourceInterface::SharedPtr node_time_source_;
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_;
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_HPP_
