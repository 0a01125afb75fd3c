#ifndef DEMO__WATER_SCENARIO_HPP_
#define DEMO__WATER_SCENARIO_HPP_

#include <chrono>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "demo_map.hpp"
#include "demo_options.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_msgs/msg/costmap.hpp"
#include "planning/custom_planning/custom_planning_server.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "vantrell_protocol/srv/water_uptake_path.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace demo {

using WaterUptakePath = vantrell_protocol::srv::WaterUptakePath;

// One call of the water-uptake service, and what the node published for display meanwhile.
struct UptakeAnswer {
  bool answered{false};
  std::vector<geometry_msgs::msg::PoseStamped> path;
  // From sending the request to receiving the answer.
  double milliseconds{0.0};
  // The zone as the node took it: published only once it had a costmap to read the zone on.
  std::optional<geometry_msgs::msg::Polygon> zone;
  // The largest free rectangle of the zone.
  std::optional<geometry_msgs::msg::Polygon> rectangle;
  // The path's points in their display colours.
  std::optional<visualization_msgs::msg::Marker> points;
};

/**
 * Plays the hosting process of the custom planning node and its client: publishes the map as
 * the global costmap (a costmap node keeps its last map for late subscribers, so the node gets
 * it whenever it subscribes), broadcasts where the robot stands, configures and activates the
 * node and calls its water-uptake service, listening to the zone, rectangle and points it
 * publishes. Everything is spun on the calling thread. rclcpp must be running.
 */
class WaterUptakeHost {
 public:
  // Throws std::runtime_error when the node or its service does not come up.
  explicit WaterUptakeHost(const nav_msgs::msg::OccupancyGrid& grid,
                           const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  ~WaterUptakeHost();
  WaterUptakeHost(const WaterUptakeHost&) = delete;
  WaterUptakeHost& operator=(const WaterUptakeHost&) = delete;

  // Before the first request: the node waits for the robot's first pose, but takes a later move
  // in its own time, so a request right after one might still see the robot where it was.
  void placeRobot(const Pose2& pose);
  // Asks for the uptake path of `zone` and waits at most `patience` for the answer.
  UptakeAnswer request(const geometry_msgs::msg::Polygon& zone, std::chrono::seconds patience);

 private:
  rclcpp::executors::SingleThreadedExecutor executor_;
  rclcpp::Node::SharedPtr host_;
  std::shared_ptr<planning::custom_planning::CustomPlanningServer> node_;
  rclcpp::Publisher<nav2_msgs::msg::Costmap>::SharedPtr costmap_pub_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  rclcpp::Client<WaterUptakePath>::SharedPtr client_;
  rclcpp::Subscription<geometry_msgs::msg::PolygonStamped>::SharedPtr zone_sub_;
  rclcpp::Subscription<geometry_msgs::msg::PolygonStamped>::SharedPtr rectangle_sub_;
  rclcpp::Subscription<visualization_msgs::msg::Marker>::SharedPtr points_sub_;
  UptakeAnswer latest_;
};

// The costmap a static layer would make of `grid`: unmapped cells unknown, cells a map server
// reads as occupied lethal, the rest free. No inflation: the node keeps its own clearance.
nav2_msgs::msg::Costmap costmapOf(const nav_msgs::msg::OccupancyGrid& grid);

// The zone the options ask for, or office B of the bundled floor, as the service takes it.
// Throws InputError when a corner lies off the map, when the zone encloses no area or when it
// holds no free cell.
geometry_msgs::msg::Polygon plannedZone(const DemoOptions& options, const DemoMap& map);

// The map, the zone, the rectangle and the points the node published, the path and the robot,
// with a legend below.
cv::Mat drawUptake(const nav_msgs::msg::OccupancyGrid& grid,
                   const geometry_msgs::msg::Polygon& zone, const Pose2& robot,
                   const UptakeAnswer& answer);

/**
 * The "water" scenario: hosts the custom planning node on the map, asks for the water-uptake
 * path of the zone, prints the poses and the time taken and writes the picture.
 * Returns kAllPlansSucceeded, or kPlanFailed when the service gave no path.
 */
int runWaterScenario(const DemoOptions& options, std::ostream& out);

}  // namespace demo

#endif  // DEMO__WATER_SCENARIO_HPP_
