#ifndef RCLCPP__QOS_HPP_
#define RCLCPP__QOS_HPP_

#include <cstddef>

#include "rclcpp/duration.hpp"
#include "rmw/qos_profiles.h"
#include "rmw/types.h"

namespace rclcpp {

enum class HistoryPolicy {
  KeepLast = RMW_QOS_POLICY_HISTORY_KEEP_LAST,
  KeepAll = RMW_QOS_POLICY_HISTORY_KEEP_ALL,
  SystemDefault = RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_HISTORY_UNKNOWN,
};

enum class ReliabilityPolicy {
  BestEffort = RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT,
  Reliable = RMW_QOS_POLICY_RELIABILITY_RELIABLE,
  SystemDefault = RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_RELIABILITY_UNKNOWN,
};

enum class DurabilityPolicy {
  Volatile = RMW_QOS_POLICY_DURABILITY_VOLATILE,
  TransientLocal = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL,
  SystemDefault = RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_DURABILITY_UNKNOWN,
};

struct QoSInitialization {
  rmw_qos_history_policy_t history_policy;
  size_t depth;

  QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg);
  static QoSInitialization from_rmw(const rmw_qos_profile_t& rmw_qos);
};

struct KeepAll : public QoSInitialization {
  KeepAll();
};

struct KeepLast : public QoSInitialization {
  explicit KeepLast(size_t depth);
};

// Quality of service of a publisher or subscription. Depth (keep last) and
// durability (transient local) shape delivery here; a reliable subscription
// does not match a best-effort publisher, nor a transient-local subscription a
// volatile publisher, as in DDS.
class QoS {
 public:
  explicit QoS(const QoSInitialization& qos_initialization,
               const rmw_qos_profile_t& initial_profile = rmw_qos_profile_default);
  QoS(size_t history_depth);  // NOLINT: implicit as in rclcpp, so that a depth is a QoS

  rmw_qos_profile_t& get_rmw_qos_profile();
  const rmw_qos_profile_t& get_rmw_qos_profile() const;

  QoS& history(HistoryPolicy history);
  QoS& history(rmw_qos_history_policy_t history);
  QoS& keep_last(size_t depth);
  QoS& keep_all();
  QoS& reliability(ReliabilityPolicy reliability);
  QoS& reliability(rmw_qos_reliability_policy_t reliability);
  QoS& reliable();
  QoS& best_effort();
  QoS& durability(DurabilityPolicy durability);
  QoS& durability(rmw_qos_durability_policy_t durability);
  QoS& durability_volatile();
  QoS& transient_local();
  QoS& deadline(const rclcpp::Duration& deadline);
  QoS& lifespan(const rclcpp::Duration& lifespan);

  HistoryPolicy history() const;
  size_t depth() const;
  ReliabilityPolicy reliability() const;
  DurabilityPolicy durability() const;

  bool operator==(const QoS& other) const;
  bool operator!=(const QoS& other) const;

 private:
  rmw_qos_profile_t rmw_qos_profile_;
};

// What a time source subscribes to "/clock" with: best effort, the newest tick only.
class ClockQoS : public QoS {
 public:
  explicit ClockQoS(const QoSInitialization& qos_initialization = KeepLast(1));
};

class SensorDataQoS : public QoS {
 public:
  explicit SensorDataQoS(const QoSInitialization& qos_initialization =
                             QoSInitialization::from_rmw(rmw_qos_profile_sensor_data));
};

class ParametersQoS : public QoS {
 public:
  explicit ParametersQoS(const QoSInitialization& qos_initialization =
                             QoSInitialization::from_rmw(rmw_qos_profile_parameters));
};

class ServicesQoS : public QoS {
 public:
  explicit ServicesQoS(const QoSInitialization& qos_initialization =
                           QoSInitialization::from_rmw(rmw_qos_profile_services_default));
};

class SystemDefaultsQoS : public QoS {
 public:
  explicit SystemDefaultsQoS(const QoSInitialization& qos_initialization =
                                 QoSInitialization::from_rmw(rmw_qos_profile_system_default));
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_HPP_
