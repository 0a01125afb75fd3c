#ifndef RCL_ACTION__RCL_ACTION_H_
#define RCL_ACTION__RCL_ACTION_H_

#include "rcl_action/action_server.h"

#endif  // RCL_ACTION__RCL_ACTION_H_
