#ifndef RCL_ACTION__ACTION_SERVER_H_
#define RCL_ACTION__ACTION_SERVER_H_

#include "rcl/time.h"
#include "rmw/qos_profiles.h"

// Quality of service of the services and topics that make up an action
// server, and how long a finished goal's result stays available.
struct rcl_action_server_options_t {
  rmw_qos_profile_t goal_service_qos;
  rmw_qos_profile_t cancel_service_qos;
  rmw_qos_profile_t result_service_qos;
  rmw_qos_profile_t feedback_topic_qos;
  rmw_qos_profile_t status_topic_qos;
  rcl_duration_t result_timeout;
};

static const rmw_qos_profile_t rcl_action_qos_profile_status_default = {
    RMW_QOS_POLICY_HISTORY_KEEP_LAST,
    1,
    RMW_QOS_POLICY_RELIABILITY_RELIABLE,
    RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL,
    RMW_DURATION_DEFAULT,
    RMW_DURATION_DEFAULT,
    RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT,
    RMW_DURATION_DEFAULT,
    false};

// Services at their default profile (keep last 10), status latched, results
// kept for 15 minutes.
inline rcl_action_server_options_t rcl_action_server_get_default_options(void) {
  rcl_action_server_options_t options;
  options.goal_service_qos = rmw_qos_profile_services_default;
  options.cancel_service_qos = rmw_qos_profile_services_default;
  options.result_service_qos = rmw_qos_profile_services_default;
  options.feedback_topic_qos = rmw_qos_profile_default;
  options.status_topic_qos = rcl_action_qos_profile_status_default;
  options.result_timeout.nanoseconds = RCL_S_TO_NS(15 * 60);
  return options;
}

#endif  // RCL_ACTION__ACTION_SERVER_H_
