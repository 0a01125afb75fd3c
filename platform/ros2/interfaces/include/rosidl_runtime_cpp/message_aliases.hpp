#ifndef ROSIDL_RUNTIME_CPP__MESSAGE_ALIASES_HPP_
#define ROSIDL_RUNTIME_CPP__MESSAGE_ALIASES_HPP_

#include <memory>

// The smart-pointer aliases every generated message, request, response, goal,
// result and feedback type carries.
#define ROSIDL_MESSAGE_POINTER_ALIASES(Type)          \
  using SharedPtr = std::shared_ptr<Type>;            \
  using ConstSharedPtr = std::shared_ptr<const Type>; \
  using UniquePtr = std::unique_ptr<Type>;            \
  using ConstUniquePtr = std::unique_ptr<const Type>; \
  using WeakPtr = std::weak_ptr<Type>;                \
  using ConstWeakPtr = std::weak_ptr<const Type>;     \
  using Ptr = SharedPtr;                              \
  using ConstPtr = ConstSharedPtr

// Inequality in terms of the member-wise operator== each type defines.
#define ROSIDL_MESSAGE_INEQUALITY(Type) \
  bool operator!=(const Type& other) const { return !(*this == other); }

#endif  // ROSIDL_RUNTIME_CPP__MESSAGE_ALIASES_HPP_
