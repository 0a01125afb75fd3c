#ifndef PLANNING_SIM__SIM_ROBOT_HPP_
#define PLANNING_SIM__SIM_ROBOT_HPP_

#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning_sim/localisation.hpp"
#include "planning_sim/sim_clock.hpp"
#include "planning_sim/sim_world.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_communicator/micro_unit_odom.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"

namespace planning_sim {

struct SimRobotParams {
  double max_linear_speed{0.3};    // m/s
  double max_angular_speed{0.52};  // rad/s
  // Simulated seconds per step of motion.
  double step{0.05};
  // Distance to the path pose the robot steers for.
  double lookahead{0.3};
  // Nearer than this to a path's last pose, the robot has reached it.
  double arrival_tolerance{0.05};
  // A turn in place ends this close to its heading.
  double heading_tolerance{0.01};
  // A path pose farther off the robot's heading than this makes it turn on the spot first.
  double turn_in_place_above{1.0};
  // Width of the floor the robot cleans as it drives (metres).
  double cleaning_width{0.5};
  // Outline in the robot's frame; empty: the first grid map's footprint.
  std::vector<geometry_msgs::msg::Point> footprint;
  // A follow without a time budget stops after this much simulated time.
  double follow_time_limit{600.0};
};

// The step the robot refused: it stayed at `at` instead of moving to `blocked`, which would have
// put a lethal cell of the floor (`cell`: column, row) under it.
struct Collision {
  rclcpp::Time time;
  geometry_msgs::msg::Pose2D at;
  geometry_msgs::msg::Pose2D blocked;
  cv::Point cell;
};

// How a follow, a turn or a wait ended.
struct FollowResult {
  enum class Ending { kReachedEnd, kTimeUp, kCollision };
  Ending ending{Ending::kReachedEnd};
  rclcpp::Duration elapsed{0, 0};
  // Driven, in metres.
  double distance{0.0};

  bool reachedEnd() const { return ending == Ending::kReachedEnd; }
};

/**
 * A floor-cleaning robot on the simulated floor. It follows the local paths it is handed with
 * unicycle kinematics (pure pursuit within its speed limits, turning in place when a result asks
 * for it, driving tail first when a path says `move_backward`), one step of simulated time at a
 * time. Each step moves the robot the way a real robot's localisation does, by broadcasting the
 * transform from the map frame to its base that every grid map's costmap reads; reports its
 * velocity on "odom" (nav_msgs/msg/Odometry) for the communicator's odometry unit; advances the
 * SimClock; records the pose into its track and the floor cells its cleaning width sweeps; and
 * lets due obstacles appear in the SimWorld. A step that would put a lethal cell under the robot
 * is not made: the robot stops there and reports the collision it avoided.
 *
 * Driven from one thread, the simulation's; the track may be read from any thread (the task
 * centre answers from the host's executor).
 */
class SimRobot {
 public:
  using LocalPlanningResult = vantrell_nav2_protocol::action::LocalPlanning::Result;
  // A velocity command for one step: forward speed (m/s, negative backwards) and turn (rad/s).
  struct Command {
    double linear{0.0};
    double angular{0.0};
  };
  using CommandSource = std::function<std::optional<Command>()>;

  // The grid maps are the ones whose costmaps must see the robot (a planning node's).
  SimRobot(SimClock& clock, SimWorld& world,
           std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps,
           SimRobotParams params = SimRobotParams());

  // Puts the robot down at `pose` (no motion, nothing swept) and settles.
  void place(const geometry_msgs::msg::Pose2D& pose);
  geometry_msgs::msg::Pose2D pose() const { return pose_; }

  // Turns in place to the result's spin angle when it says so, then follows its local path,
  // backwards when it says so; for at most `budget` of simulated time. Like the turns and waits
  // below, throws std::logic_error before the robot has been placed.
  FollowResult follow(const LocalPlanningResult& result,
                      std::optional<rclcpp::Duration> budget = std::nullopt);
  FollowResult follow(const nav_msgs::msg::Path& path, bool backward = false,
                      std::optional<rclcpp::Duration> budget = std::nullopt);
  FollowResult rotateTo(double yaw, std::optional<rclcpp::Duration> budget = std::nullopt);
  // Stands still while simulated time passes (obstacles may appear meanwhile).
  FollowResult standStill(const rclcpp::Duration& duration);
  // Drives the commands `next_command` gives, one a step, until it gives none (kReachedEnd), the
  // budget is spent (kTimeUp) or a step is refused (kCollision): the wheels under a controller.
  FollowResult drive(std::optional<rclcpp::Duration> budget, const CommandSource& next_command);

  // The pure pursuit command towards `poses` from the pose at `cursor` on (moved on as the robot
  // passes them); none once the last pose is reached. The blind follower's steering.
  std::optional<Command> pursue(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                size_t& cursor, bool backward) const;
  // The command turning in place towards `yaw`; none once the heading is within tolerance.
  std::optional<Command> turnTowards(double yaw) const;
  // Where the robot would be after one step of `command`.
  geometry_msgs::msg::Pose2D moved(const Command& command) const;
  // How many times the robot has been put down: a controller starts afresh after a placement.
  size_t placements() const { return placements_; }

  // Returns once every costmap has heard the robot's pose, every node on simulated time reads
  // the current time and the communicator's odometry unit holds the latest report, so that a
  // plan asked for next starts from here and now. Throws std::runtime_error when one of them
  // has not within a generous wait.
  void settle();

  // Called after every step the robot makes, standing still included, with the pose it left and
  // the pose it reached (a cleaning unit sweeps the floor between them); on the simulation's
  // thread.
  using StepObserver = std::function<void(const geometry_msgs::msg::Pose2D& from,
                                          const geometry_msgs::msg::Pose2D& to)>;
  void observeSteps(StepObserver observer) { step_observer_ = std::move(observer); }

  // The last collision avoided, if any.
  std::optional<Collision> collision() const { return collision_; }
  // Every pose the robot has been at since it was placed or its records were cleared, in order.
  std::vector<geometry_msgs::msg::PoseStamped> track() const;
  // The floor cells swept by the cleaning width (255), row = cell y.
  cv::Mat coveredCells() const;
  double coveredArea() const;
  // Forgets the track (but the current pose), the swept cells and the collision.
  void clearRecords();

  const SimRobotParams& params() const { return params_; }
  SimClock& clock() { return clock_; }

 private:
  // One step of simulated time with `command`; false when it was refused.
  bool step(const Command& command);
  geometry_msgs::msg::PoseStamped stampedPose() const;
  void record(const geometry_msgs::msg::Pose2D& from);
  void publishOdometry(const Command& command);
  void waitForOdometry() const;

  SimClock& clock_;
  SimWorld& world_;
  SimRobotParams params_;
  Localisation localisation_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<nav_msgs::msg::Odometry>::SharedPtr odometry_;
  // The communicator's unit that hears "odom", made (if it was not) before the first report.
  std::shared_ptr<vantrell_communicator::MicroUnitOdom> odometry_unit_;
  // The last report as the odometry unit records it.
  geometry_msgs::msg::TwistStamped last_odometry_;
  geometry_msgs::msg::Pose2D pose_;
  bool placed_{false};
  size_t placements_{0};
  std::optional<Collision> collision_;
  StepObserver step_observer_;

  mutable std::mutex records_mutex_;
  std::vector<geometry_msgs::msg::PoseStamped> track_;
  cv::Mat covered_;
};

// The blind follower's steering from `pose`: pure pursuit towards `poses` from the pose at
// `cursor` on (moved on as the robot passes them), none once the last pose is reached; and the
// turn in place towards `yaw`, none once within the heading tolerance.
std::optional<SimRobot::Command> pursuitCommand(
    const geometry_msgs::msg::Pose2D& pose,
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t& cursor, bool backward,
    const SimRobotParams& params);
std::optional<SimRobot::Command> turnCommand(const geometry_msgs::msg::Pose2D& pose, double yaw,
                                             const SimRobotParams& params);
// Where a robot at `pose` is after `dt` of `command` (unicycle motion).
geometry_msgs::msg::Pose2D advanced(const geometry_msgs::msg::Pose2D& pose,
                                    const SimRobot::Command& command, double dt);

}  // namespace planning_sim

#endif  // PLANNING_SIM__SIM_ROBOT_HPP_
