#ifndef RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_
#define RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "rclcpp_lifecycle/managed_entity.hpp"
#include "rclcpp_lifecycle/node_interfaces/lifecycle_node_interface.hpp"
#include "rclcpp_lifecycle/state.hpp"
#include "rclcpp_lifecycle/transition.hpp"

namespace rclcpp_lifecycle {

// A node with the ROS 2 lifecycle: unconfigured, inactive, active and
// finalized, moved by configure, activate, deactivate, cleanup and shutdown.
// The hosting process (or a test) drives it through `configure()` and the
// other drivers; a callback that throws is treated as returning ERROR.
class LifecycleNode : public node_interfaces::LifecycleNodeInterface,
                      public std::enable_shared_from_this<LifecycleNode> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(LifecycleNode)

  using CallbackReturn = node_interfaces::LifecycleNodeInterface::CallbackReturn;

  explicit LifecycleNode(const std::string& node_name,
                         const rclcpp::NodeOptions& options = rclcpp::NodeOptions(),
                         bool enable_communication_interface = true);
  LifecycleNode(const std::string& node_name, const std::string& namespace_,
                const rclcpp::NodeOptions& options = rclcpp::NodeOptions(),
                bool enable_communication_interface = true);
  ~LifecycleNode() override;
  LifecycleNode(const LifecycleNode&) = delete;
  LifecycleNode& operator=(const LifecycleNode&) = delete;

  const char* get_name() const;
  const char* get_namespace() const;
  const char* get_fully_qualified_name() const;
  rclcpp::Logger get_logger() const;

  rclcpp::CallbackGroup::SharedPtr create_callback_group(
      rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);

  template <typename MessageT, typename AllocatorT = std::allocator<void>>
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<MessageT, AllocatorT>> create_publisher(
      const std::string& topic_name, const rclcpp::QoS& qos,
      const rclcpp::PublisherOptionsWithAllocator<AllocatorT>& options =
          rclcpp::PublisherOptionsWithAllocator<AllocatorT>()) {
    using PublisherT = rclcpp_lifecycle::LifecyclePublisher<MessageT, AllocatorT>;
    auto publisher = rclcpp::create_publisher<MessageT, AllocatorT, PublisherT>(
        node_topics_, topic_name, qos, options);
    add_managed_entity(publisher);
    return publisher;
  }

  template <typename MessageT, typename CallbackT, typename AllocatorT = std::allocator<void>,
            typename SubscriptionT = rclcpp::Subscription<MessageT, AllocatorT>>
  std::shared_ptr<SubscriptionT> create_subscription(
      const std::string& topic_name, const rclcpp::QoS& qos, CallbackT&& callback,
      const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>& options =
          rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>()) {
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
    } catch (const rclcpp::ParameterTypeException& ex) {
      throw rclcpp::exceptions::InvalidParameterTypeException(name, ex.what());
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
    } catch (const rclcpp::ParameterTypeException& ex) {
      throw rclcpp::exceptions::InvalidParameterTypeException(name, ex.what());
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

  // The lifecycle.
  const State& get_current_state();
  std::vector<State> get_available_states();
  std::vector<Transition> get_available_transitions();

  const State& trigger_transition(const Transition& transition);
  const State& trigger_transition(const Transition& transition, CallbackReturn& cb_return_code);
  const State& trigger_transition(uint8_t transition_id);
  const State& trigger_transition(uint8_t transition_id, CallbackReturn& cb_return_code);

  const State& configure();
  const State& configure(CallbackReturn& cb_return_code);
  const State& cleanup();
  const State& cleanup(CallbackReturn& cb_return_code);
  const State& activate();
  const State& activate(CallbackReturn& cb_return_code);
  const State& deactivate();
  const State& deactivate(CallbackReturn& cb_return_code);
  const State& shutdown();
  const State& shutdown(CallbackReturn& cb_return_code);

  bool register_on_configure(std::function<CallbackReturn(const State&)> fcn);
  bool register_on_cleanup(std::function<CallbackReturn(const State&)> fcn);
  bool register_on_shutdown(std::function<CallbackReturn(const State&)> fcn);
  bool register_on_activate(std::function<CallbackReturn(const State&)> fcn);
  bool register_on_deactivate(std::function<CallbackReturn(const State&)> fcn);
  bool register_on_error(std::function<CallbackReturn(const State&)> fcn);

  // Activates the managed entities (the lifecycle publishers made by this node).
  CallbackReturn on_activate(const State& previous_state) override;
  CallbackReturn on_deactivate(const State& previous_state) override;

  void add_managed_entity(std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface> managed_entity);

 private:
  using TransitionCallback = std::function<CallbackReturn(const State&)>;

  const State& change_state(uint8_t transition_id, CallbackReturn* cb_return_code);
  CallbackReturn execute_callback(uint8_t transition_state_id, const State& previous_state);
  const State& state_by_id(uint8_t id) const;

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

  std::vector<State> states_;
  mutable std::mutex state_mutex_;
  uint8_t current_state_id_;
  std::map<uint8_t, TransitionCallback> callbacks_;  // by transition state id
  std::mutex managed_entities_mutex_;
  std::vector<std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface>> weak_managed_entities_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_
