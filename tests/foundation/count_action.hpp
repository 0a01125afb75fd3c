#ifndef FOUNDATION__COUNT_ACTION_HPP_
#define FOUNDATION__COUNT_ACTION_HPP_

#include <cstdint>

#include "rosidl_runtime_cpp/message_aliases.hpp"

// A small action for driving the action server: the goal names a step of the
// test's script, the result tells which goal filled it (0 when the server made
// a default result itself).
namespace foundation_test {
namespace action {

struct Count_Goal {
  ROSIDL_MESSAGE_POINTER_ALIASES(Count_Goal);
  int32_t order{};
  bool operator==(const Count_Goal& other) const { return order == other.order; }
  ROSIDL_MESSAGE_INEQUALITY(Count_Goal)
};

struct Count_Result {
  ROSIDL_MESSAGE_POINTER_ALIASES(Count_Result);
  int32_t value{};
  bool operator==(const Count_Result& other) const { return value == other.value; }
  ROSIDL_MESSAGE_INEQUALITY(Count_Result)
};

struct Count_Feedback {
  ROSIDL_MESSAGE_POINTER_ALIASES(Count_Feedback);
  bool operator==(const Count_Feedback&) const { return true; }
  ROSIDL_MESSAGE_INEQUALITY(Count_Feedback)
};

struct Count {
  using Goal = Count_Goal;
  using Result = Count_Result;
  using Feedback = Count_Feedback;
};

}  // namespace action
}  // namespace foundation_test

#endif  // FOUNDATION__COUNT_ACTION_HPP_
