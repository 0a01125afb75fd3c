#ifndef TF2_ROS__BUFFER_H_
#define TF2_ROS__BUFFER_H_

#include <memory>
#include <mutex>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/time.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2_ros/buffer_interface.h"
#include "tf2_ros/create_timer_interface.h"

namespace tf2_ros {

// The transform tree of tf2::BufferCore with lookups that wait for data. A
// lookup with a timeout blocks the caller until the transform can be made or
// the timeout (measured on the steady clock, so that paused ROS time cannot
// stall it) has passed, then answers or throws as the core does; the waiting
// only makes sense when another thread, such as a TransformListener's, fills
// the buffer.
class Buffer : public BufferInterface, public tf2::BufferCore {
 public:
  using SharedPtr = std::shared_ptr<Buffer>;

  // `node` is accepted for the frame-listing service of the full tf2_ros,
  // which this buffer does not offer.
  explicit Buffer(rclcpp::Clock::SharedPtr clock,
                  tf2::Duration cache_time = tf2::Duration(tf2::BUFFER_CORE_DEFAULT_CACHE_TIME),
                  rclcpp::Node::SharedPtr node = rclcpp::Node::SharedPtr());

  // The core's forms without a timeout stay callable: (target, source, time)
  // and canTransform(target, source, time, &error) answer at once.
  using tf2::BufferCore::canTransform;
  using tf2::BufferCore::lookupTransform;

  geometry_msgs::msg::TransformStamped lookupTransform(const std::string& target_frame,
                                                       const std::string& source_frame,
                                                       const tf2::TimePoint& time,
                                                       const tf2::Duration timeout) const override;

  geometry_msgs::msg::TransformStamped lookupTransform(
      const std::string& target_frame, const std::string& source_frame, const rclcpp::Time& time,
      const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const;

  bool canTransform(const std::string& target_frame, const std::string& source_frame,
                    const tf2::TimePoint& time, const tf2::Duration timeout,
                    std::string* errstr = nullptr) const override;

  bool canTransform(const std::string& target_frame, const std::string& source_frame,
                    const rclcpp::Time& time,
                    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
                    std::string* errstr = nullptr) const;

  void setCreateTimerInterface(CreateTimerInterface::SharedPtr create_timer_interface);

 private:
  bool waitForTransform(const std::string& target_frame, const std::string& source_frame,
                        const tf2::TimePoint& time, const tf2::Duration timeout) const;

  rclcpp::Clock::SharedPtr clock_;
  std::mutex timer_interface_mutex_;
  CreateTimerInterface::SharedPtr timer_interface_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_H_
