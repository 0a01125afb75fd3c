#ifndef RCL__TYPES_H_
#define RCL__TYPES_H_

#include <cstdint>

// Return codes of the C client library functions this stand-in offers.
typedef int32_t rcl_ret_t;

#define RCL_RET_OK 0
#define RCL_RET_ERROR 1
#define RCL_RET_INVALID_ARGUMENT 11

#endif  // RCL__TYPES_H_
