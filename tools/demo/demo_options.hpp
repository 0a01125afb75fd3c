#ifndef DEMO__DEMO_OPTIONS_HPP_
#define DEMO__DEMO_OPTIONS_HPP_

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/planner_keys.hpp"
#include "rclcpp/parameter.hpp"

namespace demo {

// A position on the map (metres) and a heading (radians).
struct Pose2 {
  double x{0.0};
  double y{0.0};
  double yaw{0.0};
};

// A point of the map frame (metres).
struct MapPoint {
  double x{0.0};
  double y{0.0};
};

// An obstacle the drive scenario puts into the local map, at second `at` of simulated time.
struct ObstaclePlacement {
  double x{0.0};
  double y{0.0};
  double at{0.0};
};

// What the command line asked for. Later options override earlier ones, except --goal, which
// adds one leg each time.
struct DemoOptions {
  std::string scenario{"global"};
  // Map-server YAML file; empty for the bundled office floor.
  std::string map_yaml;
  std::optional<Pose2> start;
  std::vector<Pose2> goals;
  // Corners of the water-uptake zone; empty for the water scenario's own.
  std::vector<MapPoint> zone;
  std::vector<ObstaclePlacement> obstacles;
  std::string planner{planning::global_keys::kDijkstra};
  // clean: the floor's rooms file, and the rooms of it to clean (all when empty).
  std::string rooms_file;
  std::vector<std::string> rooms;
  // drive, clean: the robot's parameter file; empty for the project's config/robot.yaml.
  std::string params_file;
  std::string output{"global_plans.png"};
  // --param NAME=VALUE, each checked against the nodes the scenario hosts.
  std::vector<rclcpp::Parameter> node_parameters;
  bool help{false};
};

// A command line the demo cannot run; the text says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `args` without the program name. Throws UsageError.
DemoOptions parseOptions(const std::vector<std::string>& args);

// "X,Y" or "X,Y,YAW" with finite numbers. Throws UsageError naming `what`.
Pose2 parsePose(const std::string& text, const std::string& what);

// A pose in the "map" frame, and back.
geometry_msgs::msg::PoseStamped toPose(const Pose2& pose);
Pose2 toPose2(const geometry_msgs::msg::PoseStamped& pose);

// "X1,Y1,X2,Y2,X3,Y3[,...]": at least three corners, finite numbers. Throws UsageError.
std::vector<MapPoint> parseZone(const std::string& text);

// "X,Y" or "X,Y,T" (metres, seconds from the start, at least 0). Throws UsageError naming `what`.
ObstaclePlacement parseObstacle(const std::string& text, const std::string& what);

std::string usage(const std::string& program);

}  // namespace demo

#endif  // DEMO__DEMO_OPTIONS_HPP_
