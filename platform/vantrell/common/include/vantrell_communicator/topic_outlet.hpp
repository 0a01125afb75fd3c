#ifndef VANTRELL_COMMUNICATOR__TOPIC_OUTLET_HPP_
#define VANTRELL_COMMUNICATOR__TOPIC_OUTLET_HPP_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"

namespace vantrell_communicator {

/**
 * One outgoing topic of a unit. Every message handed over goes out on the
 * topic and is kept (the latest kMaxKept of them) together with a count of all
 * messages, so that whoever drives the process can see what was sent.
 * Messages leave in the order they were handed over, from any thread.
 */
template <typename MessageT>
class TopicOutlet {
 public:
  static constexpr size_t kMaxKept = 256;

  TopicOutlet(rclcpp::Node& node, const std::string& topic, size_t depth)
      : publisher_(node.create_publisher<MessageT>(topic, rclcpp::QoS(depth))) {}

  void publish(const MessageT& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.push_back(message);
    if (kept_.size() > kMaxKept) {
      kept_.pop_front();
    }
    ++count_;
    publisher_->publish(message);
  }

  std::vector<MessageT> kept() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<MessageT>(kept_.begin(), kept_.end());
  }

  size_t count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.clear();
    count_ = 0;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<MessageT> kept_;
  size_t count_{0};
  typename rclcpp::Publisher<MessageT>::SharedPtr publisher_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__TOPIC_OUTLET_HPP_
