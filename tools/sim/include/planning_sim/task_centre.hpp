#ifndef PLANNING_SIM__TASK_CENTRE_HPP_
#define PLANNING_SIM__TASK_CENTRE_HPP_

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"

namespace planning_sim {

/**
 * Stands in for the robot's task centre as the coverage planners reach it: answers
 * "/get_coverage_point" (GetCoveredPoints) with the poses the robot has covered, in covering
 * order (the simulated robot's track), when asked with the flag 1; any other flag gets no poses
 * and `success` false. Its node must be spun (a NodeHost) on another thread than the planners
 * that ask, which wait for the answer.
 */
class TaskCentre {
 public:
  using GetCoveredPoints = vantrell_nav2_protocol::srv::GetCoveredPoints;
  using CoveredPoses = std::function<std::vector<geometry_msgs::msg::PoseStamped>()>;

  explicit TaskCentre(CoveredPoses covered_poses, const std::string& node_name = "task_centre");
  TaskCentre(const TaskCentre&) = delete;
  TaskCentre& operator=(const TaskCentre&) = delete;

  rclcpp::Node::SharedPtr node() const { return node_; }
  // Requests answered so far, and the flag of the last one (-1 before the first).
  size_t requests() const { return requests_.load(); }
  int lastRequestFlag() const { return last_flag_.load(); }

 private:
  void answer(const GetCoveredPoints::Request& request, GetCoveredPoints::Response& response);

  CoveredPoses covered_poses_;
  std::atomic<size_t> requests_{0};
  std::atomic<int> last_flag_{-1};
  rclcpp::Node::SharedPtr node_;
  rclcpp::Service<GetCoveredPoints>::SharedPtr service_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__TASK_CENTRE_HPP_
