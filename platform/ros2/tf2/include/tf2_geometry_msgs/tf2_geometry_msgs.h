#ifndef TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_H_
#define TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_H_

// Older spelling of the header.
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

#endif  // TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_H_
