#include "nav2_costmap_2d/footprint_subscriber.hpp"

#include "nav2_costmap_2d/footprint.hpp"
#include "rclcpp/time.hpp"

namespace nav2_costmap_2d {

void FootprintSubscriber::footprint_callback(
    const std::shared_ptr<const geometry_msgs::msg::PolygonStamped>& msg) {
  std::lock_guard<std::mutex> lock(mutex_);
  footprint_ = msg;
}

bool FootprintSubscriber::getFootprint(std::vector<geometry_msgs::msg::Point>& footprint,
                                       rclcpp::Duration& valid_footprint_timeout) {
  std::shared_ptr<const geometry_msgs::msg::PolygonStamped> latest;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest = footprint_;
  }
  if (!latest) {
    return false;
  }
  const rclcpp::Time stamp(latest->header.stamp, clock_->get_clock_type());
  if (clock_->now() - stamp > valid_footprint_timeout) {
    return false;
  }
  footprint = toPointVector(std::make_shared<geometry_msgs::msg::Polygon>(latest->polygon));
  return true;
}

bool FootprintSubscriber::getFootprint(std::vector<geometry_msgs::msg::Point>& footprint) {
  rclcpp::Duration timeout = rclcpp::Duration::from_seconds(footprint_timeout_);
  return getFootprint(footprint, timeout);
}

}  // namespace nav2_costmap_2d
