// Obstacles ahead of the dynamic coverage planner, within its planning cycle: the wait for a
// dynamic obstacle, the count of a static one, the opened free-space image and the recordings
// asked for obstacle types under the path.
#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"
#include "std_msgs/msg/int8.hpp"
#include "vantrell_nav2_gridmap/obs_type_bit_map.hpp"

namespace planning {

namespace {

using coverage::secondsBetween;

// Dynamic obstacles nearer than this along the path do not count: the robot stands on them.
constexpr double kDynamicObstacleFirstDistance = 0.2;
// What the robot is told when it starts to wait for a dynamic obstacle.
constexpr int8_t kWaitingForDynamicObstacle = 7;
constexpr uint8_t kFree = 255;
constexpr uint8_t kBlocked = 0;

}  // namespace

bool DynamicCoveragePlanning::waittingDynamicObstacles(nav_msgs::msg::Path& out,
                                                       ControlState& control) {
  if (!waiting_dynamic_obstacle_) {
    return false;
  }
  const TimePoint current = now();
  if (secondsBetween(wait_start_time_, current) <= wait_dyn_obstacle_time_) {
    control.wait_state = 0;
    out.poses.push_back(robot_pose_);
    return true;
  }
  LOG_INFO("停障等待到最大时长，结束停障开始绕障");
  waiting_dynamic_obstacle_ = false;
  last_wait_end_time_ = current;
  return false;
}

bool DynamicCoveragePlanning::stopObstacle(cv::Mat& image, bool& replan, ControlState& control,
                                           nav_msgs::msg::Path& current, nav_msgs::msg::Path& out) {
  bool dynamic = false;
  double dynamic_distance = 0.0;
  if (stop_dynamic_obstacle_) {
    dynamic = path_product_->hasDynamicObstacle(
        current, local_gridmap_, kDynamicObstacleFirstDistance, stop_obstacle_distance_,
        dynamic_distance, dynamic_obstacle_checkout_range_, robot_pose_);
  }
  int index = -1;
  double static_distance = 0.0;
  const bool blocked = path_product_->startLocalPlanWithMorphology(
      image, current, local_gridmap_, stop_obstacle_distance_, index, static_distance, 0.0);
  contour_manager_->publishAsOccupancyGrid(image, distance_map_pub_, *local_gridmap_);
  if (!dynamic && !blocked) {
    return false;
  }
  bool wait = dynamic;
  if (dynamic && blocked) {
    const double metric = static_distance + dyn_static_obs_dis_diff_adjust_val_;
    LOG_INFO("dynamic_obstacle_distance/obstacle_distance/metric is {}/{}/{}", dynamic_distance,
             static_distance, metric);
    wait = metric >= dynamic_distance;
    if (wait) {
      LOG_INFO("case 2: 有动态障碍物有其它障碍物，如果动态障碍物距离小于障碍物距离，直接等待");
    } else {
      LOG_INFO("case 3: 有动态障碍物有其它障碍物，动态障碍物距离超过阈值，不等待");
    }
  }
  if (wait) {
    const TimePoint started = now();
    const double since = secondsBetween(last_wait_end_time_, started);
    if (since > stop_obstacle_trigger_interval_time_) {
      waiting_dynamic_obstacle_ = true;
      std_msgs::msg::Int8 state;
      state.data = kWaitingForDynamicObstacle;
      communicator_->getPlanningUnit()->publishWaitForDynamicObstacle(state);
      control.wait_state = 0;
      out.poses.push_back(robot_pose_);
      wait_start_time_ = started;
      LOG_INFO("满足动态障碍物停障时间间隔，开始进行停障");
      return true;
    }
    LOG_INFO(
        "未达到动态障碍物停障时间间隔,当前duration and stop_obstacle_trigger_interval_time_is "
        "{}/{}s",
        since, stop_obstacle_trigger_interval_time_);
    if (!blocked) {
      return false;
    }
  }
  // A static obstacle: replan around it once it has been seen for enough cycles.
  if (obstacle_check_count_ < max_obstacle_checkout_count_) {
    ++obstacle_check_count_;
    replan = false;
    return false;
  }
  replan = true;
  obstacle_check_count_ = 0;
  return false;
}

void DynamicCoveragePlanning::localCostmapMorphology(cv::Mat& out) {
  const auto grid = local_gridmap_->getMultiGridMap();
  const nav2_costmap_2d::Costmap2D& costmap = *grid->getCostmap();
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  if (rows == 0 || cols == 0) {
    out = cv::Mat();
    return;
  }
  if (local_costmap_mat_.rows != rows || local_costmap_mat_.cols != cols) {
    local_costmap_mat_ = cv::Mat(rows, cols, CV_8UC1);
  }
  local_costmap_mat_.setTo(kFree);
  for (int y = 0; y < rows; ++y) {
    auto* row = local_costmap_mat_.ptr<uint8_t>(y);
    for (int x = 0; x < cols; ++x) {
      if (grid->getDistance(static_cast<unsigned int>(x), static_cast<unsigned int>(y)) <= 0.0) {
        row[x] = kBlocked;
      }
    }
  }
  const int side = kernelSide(costmap.getResolution(), std::max(rows, cols));
  const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side));
  cv::morphologyEx(local_costmap_mat_, out, cv::MORPH_OPEN, element, cv::Point(-1, -1),
                   std::max(0, morph_open_iterations_), cv::BORDER_CONSTANT,
                   cv::morphologyDefaultBorderValue());
}

int DynamicCoveragePlanning::kernelSide(double resolution, int longest_side) const {
  const double side = std::ceil(morph_open_element_size_ / resolution);
  // OpenCV refuses a kernel without cells; one wider than the image opens it all the same.
  if (!(side >= 1.0)) {
    return 1;
  }
  return static_cast<int>(std::min(side, static_cast<double>(longest_side)));
}

bool DynamicCoveragePlanning::hasObstacle(std::shared_ptr<GridMapROS> map,
                                          const nav_msgs::msg::Path& path, const int& count,
                                          const int& need, const double& distance) {
  return smoothing_->hasObstacle(map, path, count, need, distance);
}

void DynamicCoveragePlanning::publishActiveTriggerRosbag(const nav_msgs::msg::Path& path,
                                                         std::shared_ptr<GridMapROS> map) {
  const auto& poses = path.poses;
  if (poses.size() < 2 || !map) {
    return;
  }
  const auto grid = map->getMultiGridMap();
  // The robot stands on pose 0: what lies under it is no longer ahead.
  for (std::size_t i = 1; i < poses.size(); ++i) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!grid->getCostmap()->worldToMap(poses[i].pose.position.x, poses[i].pose.position.y, mx,
                                        my)) {
      return;
    }
    vantrell_nav2_gridmap::ObsTypeBitMap types;
    grid->getObstacleType(mx, my, types);
    for (const auto& [name, value] : warn_obstacle_types_) {
      if (types.any(static_cast<unsigned int>(value))) {
        LOG_WARN("DynamicCoveragePlanning::There is an obstacle ahead {}", name);
      }
    }
    for (const auto& [name, value] : record_obstacle_types_) {
      const auto since =
          std::chrono::duration_cast<std::chrono::seconds>(now() - last_record_time_).count();
      if (since >= obstacle_recording_packet_interval_time_ &&
          types.any(static_cast<unsigned int>(value))) {
        communicator_->getErrCodeUnit()->publishActiveTriggerRosbag(kRecordingModule, name);
        last_record_time_ = now();
        return;
      }
    }
  }
}

}  // namespace planning
