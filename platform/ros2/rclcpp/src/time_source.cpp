#include "rclcpp/time_source.hpp"

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "rclcpp/create_subscription.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/logging.hpp"
#include "rosgraph_msgs/msg/clock.hpp"

namespace rclcpp {

namespace {

constexpr char kUseSimTime[] = "use_sim_time";
constexpr char kClockTopic[] = "/clock";

void setOverride(const Clock::SharedPtr& clock, bool enabled, rcl_time_point_value_t time) {
  rcl_set_ros_time_override(clock->get_clock_handle(), time);
  if (enabled) {
    rcl_enable_ros_time_override(clock->get_clock_handle());
  } else {
    rcl_disable_ros_time_override(clock->get_clock_handle());
  }
}

bool useSimTimeValue(const ParameterValue& value) {
  if (value.get_type() != ParameterType::PARAMETER_BOOL) {
    throw std::invalid_argument("Invalid type for parameter 'use_sim_time', should be 'bool'");
  }
  return value.get<bool>();
}

}  // namespace

// The clocks and what "/clock" last said, shared by the parameter callback, the "/clock"
// callback (on the clock thread, or the node's executor) and the caller's thread.
class TimeSource::NodeState final : public std::enable_shared_from_this<TimeSource::NodeState> {
 public:
  NodeState(const QoS& qos, bool use_clock_thread)
      : qos_(qos), use_clock_thread_(use_clock_thread) {}
  ~NodeState() { detachNode(); }

  bool get_use_clock_thread() { return use_clock_thread_; }
  void set_use_clock_thread(bool use_clock_thread) { use_clock_thread_ = use_clock_thread; }
  bool clock_thread_is_joinable() {
    std::lock_guard<std::mutex> lock(subscription_mutex_);
    return clock_thread_.joinable();
  }

  void attachNode(node_interfaces::NodeBaseInterface::SharedPtr node_base,
                  node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
                  node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
                  node_interfaces::NodeParametersInterface::SharedPtr node_parameters);
  void detachNode();

  void attachClock(const Clock::SharedPtr& clock);
  void detachClock(const Clock::SharedPtr& clock);

 private:
  void watchUseSimTime();
  void followClockTopic(bool follow);
  void setRosTimeActive(bool active);
  void onClock(const rosgraph_msgs::msg::Clock& message);
  void startClockThread();
  void stopClockThread();

  QoS qos_;
  bool use_clock_thread_;
  node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  node_interfaces::NodeTopicsInterface::SharedPtr node_topics_;
  node_interfaces::NodeLoggingInterface::SharedPtr node_logging_;
  node_interfaces::NodeParametersInterface::SharedPtr node_parameters_;
  node_interfaces::OnSetParametersCallbackHandle::SharedPtr use_sim_time_watch_;

  std::mutex clocks_mutex_;
  std::vector<Clock::SharedPtr> clocks_;
  bool ros_time_active_{false};
  rcl_time_point_value_t last_tick_{0};

  // Guards the subscription and the clock thread, made and ended on the caller's thread or in
  // the parameter callback.
  std::mutex subscription_mutex_;
  Subscription<rosgraph_msgs::msg::Clock>::SharedPtr clock_subscription_;
  CallbackGroup::SharedPtr clock_group_;
  std::shared_ptr<executors::SingleThreadedExecutor> clock_executor_;
  std::future<void> clock_thread_done_;
  std::thread clock_thread_;
};

void TimeSource::NodeState::attachNode(
    node_interfaces::NodeBaseInterface::SharedPtr node_base,
    node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
    node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
    node_interfaces::NodeParametersInterface::SharedPtr node_parameters) {
  detachNode();
  node_base_ = std::move(node_base);
  node_topics_ = std::move(node_topics);
  node_logging_ = std::move(node_logging);
  node_parameters_ = std::move(node_parameters);
  if (!node_parameters_->has_parameter(kUseSimTime)) {
    node_parameters_->declare_parameter(kUseSimTime, ParameterValue(false));
  }
  const bool use_sim_time =
      useSimTimeValue(node_parameters_->get_parameter(kUseSimTime).get_parameter_value());
  watchUseSimTime();
  followClockTopic(use_sim_time);
}

void TimeSource::NodeState::detachNode() {
  if (node_parameters_ && use_sim_time_watch_) {
    node_parameters_->remove_on_set_parameters_callback(use_sim_time_watch_.get());
  }
  use_sim_time_watch_.reset();
  if (node_base_) {
    followClockTopic(false);
  }
  node_base_.reset();
  node_topics_.reset();
  node_logging_.reset();
  node_parameters_.reset();
}

// A new value is applied here: this callback was added before any of the node's own, so it runs
// last and sees only a value that every other callback has accepted.
void TimeSource::NodeState::watchUseSimTime() {
  std::weak_ptr<NodeState> weak_self = shared_from_this();
  use_sim_time_watch_ = node_parameters_->add_on_set_parameters_callback(
      [weak_self](const std::vector<Parameter>& parameters) {
        rcl_interfaces::msg::SetParametersResult result;
        result.successful = true;
        for (const auto& parameter : parameters) {
          if (parameter.get_name() != kUseSimTime) {
            continue;
          }
          if (parameter.get_type() != ParameterType::PARAMETER_BOOL) {
            result.successful = false;
            result.reason = "'use_sim_time' must be a bool";
            return result;
          }
          if (auto self = weak_self.lock()) {
            self->followClockTopic(parameter.as_bool());
          }
        }
        return result;
      });
}

void TimeSource::NodeState::followClockTopic(bool follow) {
  {
    std::lock_guard<std::mutex> lock(subscription_mutex_);
    if (follow == static_cast<bool>(clock_subscription_)) {
      return;
    }
    if (!follow) {
      stopClockThread();
      clock_subscription_.reset();
      clock_group_.reset();
    } else {
      SubscriptionOptions options;
      if (use_clock_thread_) {
        clock_group_ =
            node_base_->create_callback_group(CallbackGroupType::MutuallyExclusive, false);
        options.callback_group = clock_group_;
      }
      std::weak_ptr<NodeState> weak_self = shared_from_this();
      clock_subscription_ = create_subscription<rosgraph_msgs::msg::Clock>(
          node_topics_, kClockTopic, qos_,
          [weak_self](std::shared_ptr<const rosgraph_msgs::msg::Clock> message) {
            if (auto self = weak_self.lock()) {
              self->onClock(*message);
            }
          },
          options);
      if (use_clock_thread_) {
        startClockThread();
      }
    }
  }
  setRosTimeActive(follow);
}

void TimeSource::NodeState::setRosTimeActive(bool active) {
  std::lock_guard<std::mutex> lock(clocks_mutex_);
  ros_time_active_ = active;
  for (const auto& clock : clocks_) {
    setOverride(clock, active, last_tick_);
  }
}

void TimeSource::NodeState::onClock(const rosgraph_msgs::msg::Clock& message) {
  std::lock_guard<std::mutex> lock(clocks_mutex_);
  last_tick_ = Time(message.clock).nanoseconds();
  if (!ros_time_active_) {
    return;
  }
  for (const auto& clock : clocks_) {
    rcl_set_ros_time_override(clock->get_clock_handle(), last_tick_);
  }
}

void TimeSource::NodeState::attachClock(const Clock::SharedPtr& clock) {
  if (!clock || clock->get_clock_type() != RCL_ROS_TIME) {
    throw std::invalid_argument("Cannot attach clock to a time source that's not a ROS clock");
  }
  std::lock_guard<std::mutex> lock(clocks_mutex_);
  if (std::find(clocks_.begin(), clocks_.end(), clock) == clocks_.end()) {
    clocks_.push_back(clock);
  }
  setOverride(clock, ros_time_active_, last_tick_);
}

void TimeSource::NodeState::detachClock(const Clock::SharedPtr& clock) {
  std::lock_guard<std::mutex> lock(clocks_mutex_);
  const auto found = std::find(clocks_.begin(), clocks_.end(), clock);
  if (found == clocks_.end()) {
    if (node_logging_) {
      RCLCPP_ERROR(node_logging_->get_logger(), "failed to remove clock");
    }
    return;
  }
  clocks_.erase(found);
}

void TimeSource::NodeState::startClockThread() {
  ExecutorOptions options;
  options.context = node_base_->get_context();
  clock_executor_ = std::make_shared<executors::SingleThreadedExecutor>(options);
  clock_executor_->add_callback_group(clock_group_, node_base_);
  std::packaged_task<void()> spin([executor = clock_executor_]() { executor->spin(); });
  clock_thread_done_ = spin.get_future();
  clock_thread_ = std::thread(std::move(spin));
}

void TimeSource::NodeState::stopClockThread() {
  if (!clock_thread_.joinable()) {
    return;
  }
  // A cancel that comes before spin has begun is lost, so it is repeated until spin returns.
  do {
    clock_executor_->cancel();
  } while (clock_thread_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  clock_thread_.join();
  clock_executor_->remove_callback_group(clock_group_);
  clock_executor_.reset();
}

TimeSource::TimeSource(Node::SharedPtr node, const QoS& qos, bool use_clock_thread)
    : TimeSource(qos, use_clock_thread) {
  attachNode(std::move(node));
}

TimeSource::TimeSource(const QoS& qos, bool use_clock_thread)
    : node_state_(std::make_shared<NodeState>(qos, use_clock_thread)),
      constructed_use_clock_thread_(use_clock_thread),
      constructed_qos_(qos) {}

void TimeSource::attachNode(Node::SharedPtr node) {
  node_state_->set_use_clock_thread(node->get_node_options().use_clock_thread());
  attachNode(node->get_node_base_interface(), node->get_node_topics_interface(),
             node->get_node_graph_interface(), node->get_node_services_interface(),
             node->get_node_logging_interface(), node->get_node_clock_interface(),
             node->get_node_parameters_interface());
}

void TimeSource::attachNode(node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
                            node_interfaces::NodeTopicsInterface::SharedPtr node_topics_interface,
                            node_interfaces::NodeGraphInterface::SharedPtr /*node_graph*/,
                            node_interfaces::NodeServicesInterface::SharedPtr /*node_services*/,
                            node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
                            node_interfaces::NodeClockInterface::SharedPtr node_clock_interface,
                            node_interfaces::NodeParametersInterface::SharedPtr node_parameters) {
  attachClock(node_clock_interface->get_clock());
  node_state_->attachNode(std::move(node_base_interface), std::move(node_topics_interface),
                          std::move(node_logging_interface), std::move(node_parameters));
}

void TimeSource::detachNode() {
  node_state_->detachNode();
  node_state_ = std::make_shared<NodeState>(constructed_qos_, constructed_use_clock_thread_);
}

void TimeSource::attachClock(Clock::SharedPtr clock) { node_state_->attachClock(clock); }

void TimeSource::detachClock(Clock::SharedPtr clock) { node_state_->detachClock(clock); }

bool TimeSource::get_use_clock_thread() { return node_state_->get_use_clock_thread(); }

void TimeSource::set_use_clock_thread(bool use_clock_thread) {
  node_state_->set_use_clock_thread(use_clock_thread);
}

bool TimeSource::clock_thread_is_joinable() { return node_state_->clock_thread_is_joinable(); }

TimeSource::~TimeSource() = default;

}  // namespace rclcpp
