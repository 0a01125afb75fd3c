#ifndef TESTS__PLATFORM__ROS2__RCLCPP__TEST_TYPES_HPP_
#define TESTS__PLATFORM__ROS2__RCLCPP__TEST_TYPES_HPP_

#include <cstdint>
#include <memory>
#include <vector>

// Small service and action types of the tests' own, shaped as generated ones.
namespace test_msgs {
namespace srv {
struct Sum_Request {
  using SharedPtr = std::shared_ptr<Sum_Request>;
  using ConstSharedPtr = std::shared_ptr<const Sum_Request>;
  int64_t a = 0;
  int64_t b = 0;
};
struct Sum_Response {
  using SharedPtr = std::shared_ptr<Sum_Response>;
  using ConstSharedPtr = std::shared_ptr<const Sum_Response>;
  int64_t sum = 0;
};
struct Sum {
  using Request = Sum_Request;
  using Response = Sum_Response;
};
}  // namespace srv

namespace action {
struct Count_Goal {
  using SharedPtr = std::shared_ptr<Count_Goal>;
  using ConstSharedPtr = std::shared_ptr<const Count_Goal>;
  int32_t target = 0;
};
struct Count_Result {
  using SharedPtr = std::shared_ptr<Count_Result>;
  using ConstSharedPtr = std::shared_ptr<const Count_Result>;
  std::vector<int32_t> counted;
};
struct Count_Feedback {
  using SharedPtr = std::shared_ptr<Count_Feedback>;
  using ConstSharedPtr = std::shared_ptr<const Count_Feedback>;
  int32_t current = 0;
};
struct Count {
  using Goal = Count_Goal;
  using Result = Count_Result;
  using Feedback = Count_Feedback;
};
}  // namespace action
}  // namespace test_msgs

#endif  // TESTS__PLATFORM__ROS2__RCLCPP__TEST_TYPES_HPP_
