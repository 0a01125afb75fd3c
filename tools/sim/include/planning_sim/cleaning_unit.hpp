#ifndef PLANNING_SIM__CLEANING_UNIT_HPP_
#define PLANNING_SIM__CLEANING_UNIT_HPP_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_msgs/msg/map_meta_data.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_protocol/msg/clean_coverage_trigger.hpp"

namespace planning_sim {

/**
 * The robot's cleaning unit. Its brushes run from a clean-coverage trigger that starts coverage
 * ("/communicator/clean_coverage", start true, as the coverage planners send it) until one that
 * stops it (the point-to-point planners send start false). While they run, every move of the
 * robot sweeps the cleaning width: each floor cell it sweeps counts one more pass when the
 * brushes come back to it after having left it for longer than a moment, and a cell swept for the
 * first time reaches the coverage layer of the grid maps given (the zone map, which the coverage
 * planners read their progress from).
 *
 * Spin node() on a NodeHost; sweep() is called by the robot on the simulation's thread. The
 * trigger reaches the unit through that executor, so a move made in the same instant as the
 * planner sends it may still find the brushes as they were.
 */
class CleaningUnit {
 public:
  using Trigger = vantrell_protocol::msg::CleanCoverageTrigger;

  // Throws std::invalid_argument for a width that is not positive.
  CleaningUnit(const nav_msgs::msg::MapMetaData& floor, double cleaning_width,
               std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> coverage_maps);
  CleaningUnit(const CleaningUnit&) = delete;
  CleaningUnit& operator=(const CleaningUnit&) = delete;

  rclcpp::Node::SharedPtr node() const { return node_; }
  bool running() const { return running_.load(); }
  // Triggers heard so far that started the brushes.
  size_t starts() const { return starts_.load(); }

  // Stops the brushes, as the task manager does when a task has ended.
  void switchOff() { running_ = false; }

  // One step of the robot from `from` to `to`, standing still included.
  void sweep(const geometry_msgs::msg::Pose2D& from, const geometry_msgs::msg::Pose2D& to);

  // Passes per floor cell (16-bit), row = cell y; zero where the brushes never came.
  cv::Mat passes() const;
  // Cells swept at least once.
  size_t sweptCells() const;
  // Forgets the passes (not the coverage layer, which the planners reset with their task).
  void clearRecords();

 private:
  void hear(const Trigger& trigger);
  cv::Point cellOf(const geometry_msgs::msg::Pose2D& pose) const;

  nav_msgs::msg::MapMetaData floor_;
  int brush_cells_;
  std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> coverage_maps_;
  std::atomic<bool> running_{false};
  std::atomic<size_t> starts_{0};

  mutable std::mutex records_mutex_;
  cv::Mat passes_;
  // The step at which each cell was last swept.
  cv::Mat last_swept_;
  int32_t step_{0};
  size_t swept_cells_{0};
  cv::Mat stroke_;

  rclcpp::Node::SharedPtr node_;
  rclcpp::Subscription<Trigger>::SharedPtr trigger_sub_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__CLEANING_UNIT_HPP_
