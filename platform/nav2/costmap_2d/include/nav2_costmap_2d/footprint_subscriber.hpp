#ifndef NAV2_COSTMAP_2D__FOOTPRINT_SUBSCRIBER_HPP_
#define NAV2_COSTMAP_2D__FOOTPRINT_SUBSCRIBER_HPP_

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription.hpp"

namespace nav2_costmap_2d {

// Keeps the latest robot footprint published on a topic.
class FootprintSubscriber {
 public:
  template <typename NodeT>
  FootprintSubscriber(const std::weak_ptr<NodeT>& parent, const std::string& topic_name,
                      const double& footprint_timeout)
      : footprint_timeout_(footprint_timeout) {
    auto node = parent.lock();
    if (!node) {
      throw std::invalid_argument("FootprintSubscriber: the node is gone");
    }
    clock_ = node->get_clock();
    footprint_sub_ = node->template create_subscription<geometry_msgs::msg::PolygonStamped>(
        topic_name, rclcpp::SystemDefaultsQoS(),
        [this](std::shared_ptr<const geometry_msgs::msg::PolygonStamped> msg) {
          footprint_callback(msg);
        });
  }

  template <typename NodeT>
  FootprintSubscriber(const std::shared_ptr<NodeT>& parent, const std::string& topic_name,
                      const double& footprint_timeout)
      : FootprintSubscriber(std::weak_ptr<NodeT>(parent), topic_name, footprint_timeout) {}

  FootprintSubscriber(const FootprintSubscriber&) = delete;
  FootprintSubscriber& operator=(const FootprintSubscriber&) = delete;

  // False until a footprint has arrived, or when the latest is older than
  // the given timeout on the node's clock.
  bool getFootprint(std::vector<geometry_msgs::msg::Point>& footprint,
                    rclcpp::Duration& valid_footprint_timeout);
  // As above with the timeout given at construction.
  bool getFootprint(std::vector<geometry_msgs::msg::Point>& footprint);

 protected:
  void footprint_callback(const std::shared_ptr<const geometry_msgs::msg::PolygonStamped>& msg);

 private:
  double footprint_timeout_;
  rclcpp::Clock::SharedPtr clock_;
  std::mutex mutex_;
  std::shared_ptr<const geometry_msgs::msg::PolygonStamped> footprint_;
  std::shared_ptr<rclcpp::Subscription<geometry_msgs::msg::PolygonStamped>> footprint_sub_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__FOOTPRINT_SUBSCRIBER_HPP_
