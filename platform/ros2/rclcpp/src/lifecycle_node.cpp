#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include <exception>

#include "rclcpp/node_interfaces/node_time_source.hpp"

namespace rclcpp_lifecycle {

namespace {
using StateMsg = lifecycle_msgs::msg::State;
using TransitionMsg = lifecycle_msgs::msg::Transition;
using CallbackReturn = LifecycleNode::CallbackReturn;

struct TransitionEntry {
  uint8_t start;
  uint8_t id;
  const char* label;
  uint8_t transition_state;
};

// The transitions a driver may start, from their primary states.
const TransitionEntry kTransitions[] = {
    {StateMsg::PRIMARY_STATE_UNCONFIGURED, TransitionMsg::TRANSITION_CONFIGURE, "configure",
     StateMsg::TRANSITION_STATE_CONFIGURING},
    {StateMsg::PRIMARY_STATE_INACTIVE, TransitionMsg::TRANSITION_CLEANUP, "cleanup",
     StateMsg::TRANSITION_STATE_CLEANINGUP},
    {StateMsg::PRIMARY_STATE_INACTIVE, TransitionMsg::TRANSITION_ACTIVATE, "activate",
     StateMsg::TRANSITION_STATE_ACTIVATING},
    {StateMsg::PRIMARY_STATE_ACTIVE, TransitionMsg::TRANSITION_DEACTIVATE, "deactivate",
     StateMsg::TRANSITION_STATE_DEACTIVATING},
    {StateMsg::PRIMARY_STATE_UNCONFIGURED, TransitionMsg::TRANSITION_UNCONFIGURED_SHUTDOWN,
     "shutdown", StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
    {StateMsg::PRIMARY_STATE_INACTIVE, TransitionMsg::TRANSITION_INACTIVE_SHUTDOWN, "shutdown",
     StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
    {StateMsg::PRIMARY_STATE_ACTIVE, TransitionMsg::TRANSITION_ACTIVE_SHUTDOWN, "shutdown",
     StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
};

// Where a transition state leads when its callback succeeds or fails.
uint8_t goal_state(uint8_t transition_state, uint8_t start, CallbackReturn result) {
  const bool ok = result == CallbackReturn::SUCCESS;
  switch (transition_state) {
    case StateMsg::TRANSITION_STATE_CONFIGURING:
      return ok ? StateMsg::PRIMARY_STATE_INACTIVE : StateMsg::PRIMARY_STATE_UNCONFIGURED;
    case StateMsg::TRANSITION_STATE_CLEANINGUP:
      return ok ? StateMsg::PRIMARY_STATE_UNCONFIGURED : StateMsg::PRIMARY_STATE_INACTIVE;
    case StateMsg::TRANSITION_STATE_ACTIVATING:
      return ok ? StateMsg::PRIMARY_STATE_ACTIVE : StateMsg::PRIMARY_STATE_INACTIVE;
    case StateMsg::TRANSITION_STATE_DEACTIVATING:
      return ok ? StateMsg::PRIMARY_STATE_INACTIVE : StateMsg::PRIMARY_STATE_ACTIVE;
    case StateMsg::TRANSITION_STATE_SHUTTINGDOWN:
      return StateMsg::PRIMARY_STATE_FINALIZED;
    default:
      return start;
  }
}

const char* result_name(CallbackReturn result) {
  switch (result) {
    case CallbackReturn::SUCCESS:
      return "SUCCESS";
    case CallbackReturn::FAILURE:
      return "FAILURE";
    default:
      return "ERROR";
  }
}
}  // namespace

LifecycleNode::LifecycleNode(const std::string& node_name, const rclcpp::NodeOptions& options,
                             bool enable_communication_interface)
    : LifecycleNode(node_name, "", options, enable_communication_interface) {}

LifecycleNode::LifecycleNode(const std::string& node_name, const std::string& namespace_,
                             const rclcpp::NodeOptions& options,
                             bool /*enable_communication_interface*/)
    : node_options_(options),
      node_base_(std::make_shared<rclcpp::node_interfaces::NodeBaseInterface>(node_name, namespace_,
                                                                              options)),
      node_graph_(std::make_shared<rclcpp::node_interfaces::NodeGraphInterface>(node_base_)),
      node_logging_(std::make_shared<rclcpp::node_interfaces::NodeLoggingInterface>(node_base_)),
      node_timers_(std::make_shared<rclcpp::node_interfaces::NodeTimersInterface>(node_base_)),
      node_topics_(
          std::make_shared<rclcpp::node_interfaces::NodeTopicsInterface>(node_base_, node_timers_)),
      node_services_(std::make_shared<rclcpp::node_interfaces::NodeServicesInterface>(node_base_)),
      node_clock_(std::make_shared<rclcpp::node_interfaces::NodeClockInterface>()),
      node_parameters_(std::make_shared<rclcpp::node_interfaces::NodeParametersInterface>(options)),
      node_time_source_(std::make_shared<rclcpp::node_interfaces::NodeTimeSource>(
          node_base_, node_topics_, node_graph_, node_services_, node_logging_, node_clock_,
          node_parameters_, options.clock_qos(), options.use_clock_thread())),
      node_waitables_(
          std::make_shared<rclcpp::node_interfaces::NodeWaitablesInterface>(node_base_)),
      states_{{StateMsg::PRIMARY_STATE_UNKNOWN, "unknown"},
              {StateMsg::PRIMARY_STATE_UNCONFIGURED, "unconfigured"},
              {StateMsg::PRIMARY_STATE_INACTIVE, "inactive"},
              {StateMsg::PRIMARY_STATE_ACTIVE, "active"},
              {StateMsg::PRIMARY_STATE_FINALIZED, "finalized"},
              {StateMsg::TRANSITION_STATE_CONFIGURING, "configuring"},
              {StateMsg::TRANSITION_STATE_CLEANINGUP, "cleaningup"},
              {StateMsg::TRANSITION_STATE_SHUTTINGDOWN, "shuttingdown"},
              {StateMsg::TRANSITION_STATE_ACTIVATING, "activating"},
              {StateMsg::TRANSITION_STATE_DEACTIVATING, "deactivating"},
              {StateMsg::TRANSITION_STATE_ERRORPROCESSING, "errorprocessing"}},
      current_state_id_(StateMsg::PRIMARY_STATE_UNCONFIGURED) {
  callbacks_[StateMsg::TRANSITION_STATE_CONFIGURING] = [this](const rclcpp_lifecycle::State& s) {
    return on_configure(s);
  };
  callbacks_[StateMsg::TRANSITION_STATE_CLEANINGUP] = [this](const rclcpp_lifecycle::State& s) {
    return on_cleanup(s);
  };
  callbacks_[StateMsg::TRANSITION_STATE_SHUTTINGDOWN] = [this](const rclcpp_lifecycle::State& s) {
    return on_shutdown(s);
  };
  callbacks_[StateMsg::TRANSITION_STATE_ACTIVATING] = [this](const rclcpp_lifecycle::State& s) {
    return on_activate(s);
  };
  callbacks_[StateMsg::TRANSITION_STATE_DEACTIVATING] = [this](const rclcpp_lifecycle::State& s) {
    return on_deactivate(s);
  };
  callbacks_[StateMsg::TRANSITION_STATE_ERRORPROCESSING] =
      [this](const rclcpp_lifecycle::State& s) { return on_error(s); };
}

LifecycleNode::~LifecycleNode() = default;

const char* LifecycleNode::get_name() const { return node_base_->get_name(); }
const char* LifecycleNode::get_namespace() const { return node_base_->get_namespace(); }
const char* LifecycleNode::get_fully_qualified_name() const {
  return node_base_->get_fully_qualified_name();
}
rclcpp::Logger LifecycleNode::get_logger() const { return node_logging_->get_logger(); }

rclcpp::CallbackGroup::SharedPtr LifecycleNode::create_callback_group(
    rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node) {
  return node_base_->create_callback_group(group_type, automatically_add_to_executor_with_node);
}

const rclcpp::ParameterValue& LifecycleNode::declare_parameter(
    const std::string& name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  return node_parameters_->declare_parameter(name, default_value, parameter_descriptor,
                                             ignore_override);
}

const rclcpp::ParameterValue& LifecycleNode::declare_parameter(
    const std::string& name, rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  return node_parameters_->declare_parameter(name, type, parameter_descriptor, ignore_override);
}

void LifecycleNode::undeclare_parameter(const std::string& name) {
  node_parameters_->undeclare_parameter(name);
}

bool LifecycleNode::has_parameter(const std::string& name) const {
  return node_parameters_->has_parameter(name);
}

rcl_interfaces::msg::SetParametersResult LifecycleNode::set_parameter(
    const rclcpp::Parameter& parameter) {
  return node_parameters_->set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult> LifecycleNode::set_parameters(
    const std::vector<rclcpp::Parameter>& parameters) {
  return node_parameters_->set_parameters(parameters);
}

rcl_interfaces::msg::SetParametersResult LifecycleNode::set_parameters_atomically(
    const std::vector<rclcpp::Parameter>& parameters) {
  return node_parameters_->set_parameters_atomically(parameters);
}

rclcpp::Parameter LifecycleNode::get_parameter(const std::string& name) const {
  return node_parameters_->get_parameter(name);
}

bool LifecycleNode::get_parameter(const std::string& name, rclcpp::Parameter& parameter) const {
  return node_parameters_->get_parameter(name, parameter);
}

std::vector<rclcpp::Parameter> LifecycleNode::get_parameters(
    const std::vector<std::string>& names) const {
  return node_parameters_->get_parameters(names);
}

rcl_interfaces::msg::ParameterDescriptor LifecycleNode::describe_parameter(
    const std::string& name) const {
  return node_parameters_->describe_parameters({name}).front();
}

LifecycleNode::OnSetParametersCallbackHandle::SharedPtr
LifecycleNode::add_on_set_parameters_callback(OnParametersSetCallbackType callback) {
  return node_parameters_->add_on_set_parameters_callback(callback);
}

void LifecycleNode::remove_on_set_parameters_callback(
    const OnSetParametersCallbackHandle* const handler) {
  node_parameters_->remove_on_set_parameters_callback(handler);
}

size_t LifecycleNode::count_publishers(const std::string& topic_name) const {
  return node_graph_->count_publishers(topic_name);
}

size_t LifecycleNode::count_subscribers(const std::string& topic_name) const {
  return node_graph_->count_subscribers(topic_name);
}

rclcpp::Clock::SharedPtr LifecycleNode::get_clock() { return node_clock_->get_clock(); }

rclcpp::Clock::ConstSharedPtr LifecycleNode::get_clock() const {
  return std::const_pointer_cast<const rclcpp::node_interfaces::NodeClockInterface>(node_clock_)
      ->get_clock();
}

rclcpp::Time LifecycleNode::now() const { return node_clock_->get_clock()->now(); }

#define RCLCPP_LIFECYCLE_INTERFACE_GETTER_(Type, getter, member) \
  rclcpp::node_interfaces::Type::SharedPtr LifecycleNode::getter() { return member; }

RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeBaseInterface, get_node_base_interface, node_base_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeClockInterface, get_node_clock_interface, node_clock_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeGraphInterface, get_node_graph_interface, node_graph_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeLoggingInterface, get_node_logging_interface, node_logging_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeTimersInterface, get_node_timers_interface, node_timers_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeTopicsInterface, get_node_topics_interface, node_topics_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeServicesInterface, get_node_services_interface,
                                   node_services_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeWaitablesInterface, get_node_waitables_interface,
                                   node_waitables_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeParametersInterface, get_node_parameters_interface,
                                   node_parameters_)
RCLCPP_LIFECYCLE_INTERFACE_GETTER_(NodeTimeSourceInterface, get_node_time_source_interface,
                                   node_time_source_)

#undef RCLCPP_LIFECYCLE_INTERFACE_GETTER_

const rclcpp::NodeOptions& LifecycleNode::get_node_options() const { return node_options_; }

const rclcpp_lifecycle::State& LifecycleNode::state_by_id(uint8_t id) const {
  for (const auto& state : states_) {
    if (state.id() == id) {
      return state;
    }
  }
  return states_.front();
}

const rclcpp_lifecycle::State& LifecycleNode::get_current_state() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return state_by_id(current_state_id_);
}

std::vector<rclcpp_lifecycle::State> LifecycleNode::get_available_states() {
  return std::vector<rclcpp_lifecycle::State>(states_.begin() + 1, states_.end());
}

std::vector<rclcpp_lifecycle::Transition> LifecycleNode::get_available_transitions() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  std::vector<rclcpp_lifecycle::Transition> transitions;
  for (const auto& entry : kTransitions) {
    if (entry.start == current_state_id_) {
      transitions.emplace_back(entry.id, entry.label,
                               rclcpp_lifecycle::State(state_by_id(entry.start)),
                               rclcpp_lifecycle::State(state_by_id(entry.transition_state)));
    }
  }
  return transitions;
}

const rclcpp_lifecycle::State& LifecycleNode::trigger_transition(
    const rclcpp_lifecycle::Transition& transition) {
  return change_state(transition.id(), nullptr);
}

const rclcpp_lifecycle::State& LifecycleNode::trigger_transition(
    const rclcpp_lifecycle::Transition& transition, CallbackReturn& cb_return_code) {
  return change_state(transition.id(), &cb_return_code);
}

const rclcpp_lifecycle::State& LifecycleNode::trigger_transition(uint8_t transition_id) {
  return change_state(transition_id, nullptr);
}

const rclcpp_lifecycle::State& LifecycleNode::trigger_transition(uint8_t transition_id,
                                                                 CallbackReturn& cb_return_code) {
  return change_state(transition_id, &cb_return_code);
}

const rclcpp_lifecycle::State& LifecycleNode::configure() {
  return change_state(TransitionMsg::TRANSITION_CONFIGURE, nullptr);
}
const rclcpp_lifecycle::State& LifecycleNode::configure(CallbackReturn& cb_return_code) {
  return change_state(TransitionMsg::TRANSITION_CONFIGURE, &cb_return_code);
}
const rclcpp_lifecycle::State& LifecycleNode::cleanup() {
  return change_state(TransitionMsg::TRANSITION_CLEANUP, nullptr);
}
const rclcpp_lifecycle::State& LifecycleNode::cleanup(CallbackReturn& cb_return_code) {
  return change_state(TransitionMsg::TRANSITION_CLEANUP, &cb_return_code);
}
const rclcpp_lifecycle::State& LifecycleNode::activate() {
  return change_state(TransitionMsg::TRANSITION_ACTIVATE, nullptr);
}
const rclcpp_lifecycle::State& LifecycleNode::activate(CallbackReturn& cb_return_code) {
  return change_state(TransitionMsg::TRANSITION_ACTIVATE, &cb_return_code);
}
const rclcpp_lifecycle::State& LifecycleNode::deactivate() {
  return change_state(TransitionMsg::TRANSITION_DEACTIVATE, nullptr);
}
const rclcpp_lifecycle::State& LifecycleNode::deactivate(CallbackReturn& cb_return_code) {
  return change_state(TransitionMsg::TRANSITION_DEACTIVATE, &cb_return_code);
}

const rclcpp_lifecycle::State& LifecycleNode::shutdown() {
  CallbackReturn ignored;
  return shutdown(ignored);
}

const rclcpp_lifecycle::State& LifecycleNode::shutdown(CallbackReturn& cb_return_code) {
  uint8_t current = 0;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    current = current_state_id_;
  }
  uint8_t transition = TransitionMsg::TRANSITION_UNCONFIGURED_SHUTDOWN;
  if (current == StateMsg::PRIMARY_STATE_INACTIVE) {
    transition = TransitionMsg::TRANSITION_INACTIVE_SHUTDOWN;
  } else if (current == StateMsg::PRIMARY_STATE_ACTIVE) {
    transition = TransitionMsg::TRANSITION_ACTIVE_SHUTDOWN;
  }
  return change_state(transition, &cb_return_code);
}

bool LifecycleNode::register_on_configure(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_CONFIGURING] = fcn;
  return true;
}

bool LifecycleNode::register_on_cleanup(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_CLEANINGUP] = fcn;
  return true;
}

bool LifecycleNode::register_on_shutdown(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_SHUTTINGDOWN] = fcn;
  return true;
}

bool LifecycleNode::register_on_activate(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_ACTIVATING] = fcn;
  return true;
}

bool LifecycleNode::register_on_deactivate(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_DEACTIVATING] = fcn;
  return true;
}

bool LifecycleNode::register_on_error(
    std::function<CallbackReturn(const rclcpp_lifecycle::State&)> fcn) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  callbacks_[StateMsg::TRANSITION_STATE_ERRORPROCESSING] = fcn;
  return true;
}

CallbackReturn LifecycleNode::on_activate(const rclcpp_lifecycle::State&) {
  std::lock_guard<std::mutex> lock(managed_entities_mutex_);
  for (const auto& weak : weak_managed_entities_) {
    if (auto entity = weak.lock()) {
      entity->on_activate();
    }
  }
  return CallbackReturn::SUCCESS;
}

CallbackReturn LifecycleNode::on_deactivate(const rclcpp_lifecycle::State&) {
  std::lock_guard<std::mutex> lock(managed_entities_mutex_);
  for (const auto& weak : weak_managed_entities_) {
    if (auto entity = weak.lock()) {
      entity->on_deactivate();
    }
  }
  return CallbackReturn::SUCCESS;
}

void LifecycleNode::add_managed_entity(
    std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface> managed_entity) {
  std::lock_guard<std::mutex> lock(managed_entities_mutex_);
  weak_managed_entities_.push_back(managed_entity);
}

CallbackReturn LifecycleNode::execute_callback(uint8_t transition_state_id,
                                               const rclcpp_lifecycle::State& previous_state) {
  TransitionCallback callback;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    callback = callbacks_[transition_state_id];
  }
  if (!callback) {
    return CallbackReturn::SUCCESS;
  }
  try {
    return callback(previous_state);
  } catch (const std::exception& e) {
    RCLCPP_ERROR(get_logger(), "Caught exception in callback for transition %d",
                 transition_state_id);
    RCLCPP_ERROR(get_logger(), "Original error: %s", e.what());
  } catch (...) {
    RCLCPP_ERROR(get_logger(), "Caught unknown exception in callback for transition %d",
                 transition_state_id);
  }
  return CallbackReturn::ERROR;
}

const rclcpp_lifecycle::State& LifecycleNode::change_state(uint8_t transition_id,
                                                           CallbackReturn* cb_return_code) {
  uint8_t start = 0;
  uint8_t transition_state = 0;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    start = current_state_id_;
    for (const auto& entry : kTransitions) {
      if (entry.start == start && entry.id == transition_id) {
        transition_state = entry.transition_state;
      }
    }
    if (transition_state == 0) {
      RCLCPP_ERROR(get_logger(), "Unable to start transition %u from current state %s: %s",
                   static_cast<unsigned>(transition_id), state_by_id(start).label().c_str(),
                   "Transition is not registered.");
      return state_by_id(start);
    }
    current_state_id_ = transition_state;
  }
  const rclcpp_lifecycle::State previous = state_by_id(start);
  CallbackReturn result = execute_callback(transition_state, previous);
  uint8_t goal = goal_state(transition_state, start, result);
  if (result == CallbackReturn::ERROR) {
    RCLCPP_WARN(get_logger(), "Callback of %s returned %s; processing the error",
                state_by_id(transition_state).label().c_str(), result_name(result));
    {
      std::lock_guard<std::mutex> lock(state_mutex_);
      current_state_id_ = StateMsg::TRANSITION_STATE_ERRORPROCESSING;
    }
    const CallbackReturn error_result =
        execute_callback(StateMsg::TRANSITION_STATE_ERRORPROCESSING, previous);
    goal = error_result == CallbackReturn::SUCCESS ? StateMsg::PRIMARY_STATE_UNCONFIGURED
                                                   : StateMsg::PRIMARY_STATE_FINALIZED;
  }
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    current_state_id_ = goal;
  }
  if (cb_return_code) {
    *cb_return_code = result;
  }
  return state_by_id(goal);
}

}  // namespace rclcpp_lifecycle
