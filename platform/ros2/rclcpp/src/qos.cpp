#include "rclcpp/qos.hpp"

namespace rclcpp {

QoSInitialization::QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg)
    : history_policy(history_policy_arg), depth(depth_arg) {}

QoSInitialization QoSInitialization::from_rmw(const rmw_qos_profile_t& rmw_qos) {
  if (rmw_qos.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL) {
    return KeepAll();
  }
  return QoSInitialization(rmw_qos.history, rmw_qos.depth);
}

KeepAll::KeepAll() : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_ALL, 0) {}

KeepLast::KeepLast(size_t depth) : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_LAST, depth) {}

QoS::QoS(const QoSInitialization& qos_initialization, const rmw_qos_profile_t& initial_profile)
    : rmw_qos_profile_(initial_profile) {
  rmw_qos_profile_.history = qos_initialization.history_policy;
  rmw_qos_profile_.depth = qos_initialization.depth;
}

QoS::QoS(size_t history_depth) : QoS(KeepLast(history_depth)) {}

rmw_qos_profile_t& QoS::get_rmw_qos_profile() { return rmw_qos_profile_; }

const rmw_qos_profile_t& QoS::get_rmw_qos_profile() const { return rmw_qos_profile_; }

QoS& QoS::history(HistoryPolicy history) {
  return this->history(static_cast<rmw_qos_history_policy_t>(history));
}

QoS& QoS::history(rmw_qos_history_policy_t history) {
  rmw_qos_profile_.history = history;
  return *this;
}

QoS& QoS::keep_last(size_t depth) {
  rmw_qos_profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_LAST;
  rmw_qos_profile_.depth = depth;
  return *this;
}

QoS& QoS::keep_all() {
  rmw_qos_profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  rmw_qos_profile_.depth = 0;
  return *this;
}

QoS& QoS::reliability(ReliabilityPolicy reliability) {
  return this->reliability(static_cast<rmw_qos_reliability_policy_t>(reliability));
}

QoS& QoS::reliability(rmw_qos_reliability_policy_t reliability) {
  rmw_qos_profile_.reliability = reliability;
  return *this;
}

QoS& QoS::reliable() { return reliability(RMW_QOS_POLICY_RELIABILITY_RELIABLE); }

QoS& QoS::best_effort() { return reliability(RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT); }

QoS& QoS::durability(DurabilityPolicy durability) {
  return this->durability(static_cast<rmw_qos_durability_policy_t>(durability));
}

QoS& QoS::durability(rmw_qos_durability_policy_t durability) {
  rmw_qos_profile_.durability = durability;
  return *this;
}

QoS& QoS::durability_volatile() { return durability(RMW_QOS_POLICY_DURABILITY_VOLATILE); }

QoS& QoS::transient_local() { return durability(RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL); }

QoS& QoS::deadline(const rclcpp::Duration& deadline) {
  rmw_qos_profile_.deadline = deadline.to_rmw_time();
  return *this;
}

QoS& QoS::lifespan(const rclcpp::Duration& lifespan) {
  rmw_qos_profile_.lifespan = lifespan.to_rmw_time();
  return *this;
}

HistoryPolicy QoS::history() const { return static_cast<HistoryPolicy>(rmw_qos_profile_.history); }

size_t QoS::depth() const { return rmw_qos_profile_.depth; }

ReliabilityPolicy QoS::reliability() const {
  return static_cast<ReliabilityPolicy>(rmw_qos_profile_.reliability);
}

DurabilityPolicy QoS::durability() const {
  return static_cast<DurabilityPolicy>(rmw_qos_profile_.durability);
}

bool QoS::operator==(const QoS& other) const {
  const auto& a = rmw_qos_profile_;
  const auto& b = other.rmw_qos_profile_;
  return a.history == b.history && a.depth == b.depth && a.reliability == b.reliability &&
         a.durability == b.durability;
}

bool QoS::operator!=(const QoS& other) const { return !(*this == other); }

ClockQoS::ClockQoS(const QoSInitialization& qos_initialization)
    : QoS(qos_initialization, rmw_qos_profile_sensor_data) {}

SensorDataQoS::SensorDataQoS(const QoSInitialization& qos_initialization)
    : QoS(qos_initialization, rmw_qos_profile_sensor_data) {}

ParametersQoS::ParametersQoS(const QoSInitialization& qos_initialization)
    : QoS(qos_initialization, rmw_qos_profile_parameters) {}

ServicesQoS::ServicesQoS(const QoSInitialization& qos_initialization)
    : QoS(qos_initialization, rmw_qos_profile_services_default) {}

SystemDefaultsQoS::SystemDefaultsQoS(const QoSInitialization& qos_initialization)
    : QoS(qos_initialization, rmw_qos_profile_system_default) {}

}  // namespace rclcpp
