#ifndef PLANNING_SIM__TASK_CENTRE_HPP_
#define PLANNING_SIM__TASK_CENTRE_HPP_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"

namespace planning_sim {

/**
 * Stands in for the robot's task centre as the coverage planners reach it: answers
 * "/get_coverage_point" (GetCoveredPoints) with the poses the robot has covered in the task at
 * hand, in covering order, when asked with the flag 1; any other flag gets no poses and `success`
 * false. The poses come from `covered_poses` (the simulated robot's track, which spans the whole
 * run): those stamped up to the task's start belong to earlier tasks and to the way there, and
 * are left out, so that a task asked about as it starts has covered nothing yet. Before the first
 * task starts, every pose counts. Its node must be spun (a NodeHost) on another thread than the
 * planners that ask, which wait for the answer.
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

  // The task manager hands the robot a new task at `start`: from then on the covered poses are
  // those stamped after `start`, and the task's answers are counted afresh.
  void startTask(const rclcpp::Time& start);
  // Requests of the task answered with covered poses: none means the planner never learnt what
  // the robot covered in this task.
  size_t taskAnswers() const { return task_answers_.load(); }

 private:
  void answer(const GetCoveredPoints::Request& request, GetCoveredPoints::Response& response);

  CoveredPoses covered_poses_;
  std::atomic<size_t> requests_{0};
  std::atomic<int> last_flag_{-1};
  // Poses are stamped at 0 or later: before the first task, all of them count.
  std::atomic<int64_t> task_start_ns_{-1};
  std::atomic<size_t> task_answers_{0};
  rclcpp::Node::SharedPtr node_;
  rclcpp::Service<GetCoveredPoints>::SharedPtr service_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__TASK_CENTRE_HPP_
