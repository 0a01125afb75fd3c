#ifndef PLANNING_SIM__SIM_CLOCK_HPP_
#define PLANNING_SIM__SIM_CLOCK_HPP_

#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rosgraph_msgs/msg/clock.hpp"

namespace planning_sim {

// `options` with the parameter "use_sim_time" set: a node made with them reads its clock and
// runs its ROS timers on the time of a SimClock, as nodes do beside a simulator.
rclcpp::NodeOptions simTimeOptions(rclcpp::NodeOptions options = rclcpp::NodeOptions());

/**
 * Simulated time, driven the way a simulator drives ROS 2: every move of it is published on
 * "/clock" (rosgraph_msgs/msg/Clock), which the time source of every node made with
 * simTimeOptions() follows. Time stands still between moves, so a plan takes no simulated time.
 * Used from one thread, the simulation's.
 */
class SimClock {
 public:
  // Throws std::invalid_argument for a start at or before 0, which ROS reads as "no time yet".
  explicit SimClock(const rclcpp::Time& start = rclcpp::Time(100, 0, RCL_ROS_TIME));

  rclcpp::Time now() const { return now_; }
  // Throws std::invalid_argument for a negative step.
  void advance(const rclcpp::Duration& step);

  // Waits on `clock` too in synchronise(). Throws std::invalid_argument when the clock does not
  // follow simulated time (its node was not made with simTimeOptions()). A node made after the
  // last move has not heard it: the time is published again.
  void attach(const rclcpp::Clock::SharedPtr& clock);
  // Returns once every attached clock reads the current time, so that what a node does next
  // happens at that time. Throws std::runtime_error when one has not heard it within a generous
  // wait.
  void synchronise() const;

 private:
  void publish();

  rclcpp::Time now_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<rosgraph_msgs::msg::Clock>::SharedPtr publisher_;
  std::vector<rclcpp::Clock::SharedPtr> clocks_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__SIM_CLOCK_HPP_
