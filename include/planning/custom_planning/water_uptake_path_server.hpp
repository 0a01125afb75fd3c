#ifndef PLANNING__CUSTOM_PLANNING__WATER_UPTAKE_PATH_SERVER_HPP_
#define PLANNING__CUSTOM_PLANNING__WATER_UPTAKE_PATH_SERVER_HPP_

#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/costmap_subscriber.hpp"
#include "planning/custom_planning/largest_rectangle.hpp"
#include "planning/custom_planning/uptake_path.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"
#include "vantrell_protocol/srv/water_uptake_path.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace planning {
namespace custom_planning {
namespace testing {
class WaterUptakePathServerProbe;
}  // namespace testing

/**
 * Serves WaterUptakePath: for a zone in the map frame, the largest free
 * rectangle of the zone on the global costmap, and a five-pose path along its
 * diagonal to a water-uptake position. Every request also publishes the
 * zone, the rectangle and the returned points for display, in every
 * lifecycle state of the hosting node.
 *
 * Requests are served one at a time in the server's own mutually exclusive
 * callback group; nothing else touches the images between requests.
 */
class WaterUptakePathServer : public std::enable_shared_from_this<WaterUptakePathServer> {
  // Only create() builds a server: a server not owned by a shared pointer could offer no service.
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  using WaterUptakePath = vantrell_protocol::srv::WaterUptakePath;
  using UptakePathCase = custom_planning::UptakePathCase;

  /// Declares and reads the "water_uptake_path_server." parameters, subscribes to the costmap,
  /// sets up tf and the debug publishers, and then offers the service. Throws
  /// std::invalid_argument when the node is gone.
  static std::shared_ptr<WaterUptakePathServer> create(
      const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);

  /// Everything but the service; reached through create() only.
  WaterUptakePathServer(ConstructionKey key,
                        const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);

  void waterUptakePathCallback(std::shared_ptr<WaterUptakePath::Request> request,
                               std::shared_ptr<WaterUptakePath::Response> response);

  /// The uptake path for the first polygon of the latest request; false (and a log line) on
  /// failure.
  bool getPostTaskPath(std::vector<geometry_msgs::msg::PoseStamped>& path_vec);

  void publishZone(const geometry_msgs::msg::Polygon& polygon);
  void publishMaxRect(const geometry_msgs::msg::Polygon& polygon);
  /// Points marker of the path: first green, second red, the rest blue.
  void publishWaterPoints(const std::vector<geometry_msgs::msg::PoseStamped>& poses);

  void computeUptakePath(const cv::Mat& mask,
                         std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
                         const geometry_msgs::msg::PoseStamped& robot) const;

  static cv::RotatedRect largestRectInNonConvexPoly(const std::vector<cv::Point>& outline,
                                                    const cv::Mat_<unsigned char>& mask) {
    return LargestRectangle::largestRectInNonConvexPoly(outline, mask);
  }

  /**
   * Cell of a rectangle corner given in (possibly fractional, possibly
   * negative) cell coordinates: truncated toward zero, then clamped into the
   * costmap. A rotated rectangle may overhang the map edge by a pixel; an
   * unclamped negative corner would wrap to a cell far off the map. False for
   * an empty costmap or a non-finite corner.
   */
  static bool cornerToCell(const cv::Point2f& corner, const nav2_costmap_2d::Costmap2D& costmap,
                           unsigned int& mx, unsigned int& my);

 private:
  friend class testing::WaterUptakePathServerProbe;

  void declareParameters(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void offerService();
  void buildFreeMap();
  void publishPolygon(
      const std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>>& publisher,
      const geometry_msgs::msg::Polygon& polygon);

  std::string water_uptake_service_name_;
  std::string param_prefix_;
  std::shared_ptr<rclcpp::CallbackGroup> callback_group_;
  std::shared_ptr<rclcpp::Service<WaterUptakePath>> water_uptake_service_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::vector<geometry_msgs::msg::Polygon> zone_polygons_;

  double task_finish_path_len_{8.0};
  double water_uptake_forward_dis_{0.5};
  double water_uptake_backward_dis_{1.2};
  double cur_uptake_pos_offest_{-0.5};
  double temp_forward_dis_{0.5};
  double costmap_erode_radius_{1.8};
  double repeat_move_dis_{5.0};
  double min_repeat_move_dis_{5.0};
  bool visualize_debug_{false};

  cv::Mat free_map_;
  cv::Mat zone_map_;
  std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::shared_ptr<tf2_ros::TransformListener> tf_listener_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  std::string topic_name_;
  std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>> max_rect_pub_;
  std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>> zone_pub_;
  std::shared_ptr<rclcpp::Publisher<visualization_msgs::msg::Marker>> water_points_pub_;
};

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__WATER_UPTAKE_PATH_SERVER_HPP_
