#ifndef RMW__TYPES_H_
#define RMW__TYPES_H_

#include <cstddef>
#include <cstdint>

enum rmw_qos_history_policy_t {
  RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT,
  RMW_QOS_POLICY_HISTORY_KEEP_LAST,
  RMW_QOS_POLICY_HISTORY_KEEP_ALL,
  RMW_QOS_POLICY_HISTORY_UNKNOWN
};

enum rmw_qos_reliability_policy_t {
  RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT,
  RMW_QOS_POLICY_RELIABILITY_RELIABLE,
  RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT,
  RMW_QOS_POLICY_RELIABILITY_UNKNOWN
};

enum rmw_qos_durability_policy_t {
  RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT,
  RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL,
  RMW_QOS_POLICY_DURABILITY_VOLATILE,
  RMW_QOS_POLICY_DURABILITY_UNKNOWN
};

enum rmw_qos_liveliness_policy_t {
  RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT = 0,
  RMW_QOS_POLICY_LIVELINESS_AUTOMATIC = 1,
  RMW_QOS_POLICY_LIVELINESS_MANUAL_BY_TOPIC = 3,
  RMW_QOS_POLICY_LIVELINESS_UNKNOWN = 4
};

struct rmw_time_t {
  uint64_t sec;
  uint64_t nsec;
};

#define RMW_QOS_POLICY_DEPTH_SYSTEM_DEFAULT 0
#define RMW_DURATION_DEFAULT \
  { 0, 0 }
#define RMW_DURATION_INFINITE \
  { 9223372036LL, 854775807LL }

struct rmw_qos_profile_t {
  rmw_qos_history_policy_t history;
  size_t depth;
  rmw_qos_reliability_policy_t reliability;
  rmw_qos_durability_policy_t durability;
  rmw_time_t deadline;
  rmw_time_t lifespan;
  rmw_qos_liveliness_policy_t liveliness;
  rmw_time_t liveliness_lease_duration;
  bool avoid_ros_namespace_conventions;
};

// Identifies one service request: the client that sent it and its number.
struct rmw_request_id_t {
  int8_t writer_guid[16];
  int64_t sequence_number;
};

#endif  // RMW__TYPES_H_
