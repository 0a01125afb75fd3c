#ifndef NAV2_COSTMAP_2D__COSTMAP_SUBSCRIBER_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_SUBSCRIBER_HPP_

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_msgs/msg/costmap.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription.hpp"

namespace nav2_costmap_2d {

// Keeps the latest costmap published on a topic. Each new message gives a
// new Costmap2D, so a costmap handed out earlier never changes under its
// holder.
class CostmapSubscriber {
 public:
  // Works with any node type that can create subscriptions (rclcpp::Node,
  // rclcpp_lifecycle::LifecycleNode).
  template <typename NodeT>
  CostmapSubscriber(const std::weak_ptr<NodeT>& parent, const std::string& topic_name)
      : topic_name_(topic_name) {
    auto node = parent.lock();
    if (!node) {
      throw std::invalid_argument("CostmapSubscriber: the node is gone");
    }
    costmap_sub_ = node->template create_subscription<nav2_msgs::msg::Costmap>(
        topic_name, rclcpp::QoS(rclcpp::KeepLast(1)).transient_local().reliable(),
        [this](std::shared_ptr<const nav2_msgs::msg::Costmap> msg) { costmapCallback(msg); });
  }

  template <typename NodeT>
  CostmapSubscriber(const std::shared_ptr<NodeT>& parent, const std::string& topic_name)
      : CostmapSubscriber(std::weak_ptr<NodeT>(parent), topic_name) {}

  CostmapSubscriber(const CostmapSubscriber&) = delete;
  CostmapSubscriber& operator=(const CostmapSubscriber&) = delete;

  // Throws std::runtime_error until the first costmap has arrived.
  std::shared_ptr<Costmap2D> getCostmap();

  void costmapCallback(const std::shared_ptr<const nav2_msgs::msg::Costmap>& msg);

 private:
  std::string topic_name_;
  std::mutex mutex_;
  std::shared_ptr<const nav2_msgs::msg::Costmap> costmap_msg_;
  bool converted_{false};
  std::shared_ptr<Costmap2D> costmap_;
  std::shared_ptr<rclcpp::Subscription<nav2_msgs::msg::Costmap>> costmap_sub_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_SUBSCRIBER_HPP_
