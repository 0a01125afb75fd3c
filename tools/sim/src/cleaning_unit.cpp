#include "planning_sim/cleaning_unit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

namespace planning_sim {

namespace {

constexpr char kTriggerTopic[] = "/communicator/clean_coverage";
// A cell the brushes leave and reach again within this many steps (a second of the robot's
// 0.05 s steps) is still in the same pass: the rim of the swept band flickers as the heading
// wavers, while a real second pass needs the robot to drive away and come back.
constexpr int32_t kSamePassSteps = 20;
constexpr int32_t kNeverSwept = std::numeric_limits<int32_t>::min() / 2;

}  // namespace

CleaningUnit::CleaningUnit(
    const nav_msgs::msg::MapMetaData& floor, double cleaning_width,
    std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> coverage_maps)
    : floor_(floor),
      brush_cells_(static_cast<int>(std::lround(cleaning_width / floor.resolution))),
      coverage_maps_(std::move(coverage_maps)),
      passes_(static_cast<int>(floor.height), static_cast<int>(floor.width), CV_16UC1,
              cv::Scalar(0)),
      last_swept_(static_cast<int>(floor.height), static_cast<int>(floor.width), CV_32SC1,
                  cv::Scalar(kNeverSwept)),
      node_(std::make_shared<rclcpp::Node>("sim_cleaning_unit")) {
  if (!(cleaning_width > 0.0) || brush_cells_ < 1) {
    throw std::invalid_argument("the cleaning unit needs a cleaning width of a cell at least");
  }
  trigger_sub_ = node_->create_subscription<Trigger>(
      kTriggerTopic, rclcpp::QoS(10), [this](const Trigger& trigger) { hear(trigger); });
}

void CleaningUnit::hear(const Trigger& trigger) {
  if (trigger.start) {
    ++starts_;
  }
  running_ = trigger.start;
}

cv::Point CleaningUnit::cellOf(const geometry_msgs::msg::Pose2D& pose) const {
  return {static_cast<int>(std::floor((pose.x - floor_.origin.position.x) / floor_.resolution)),
          static_cast<int>(std::floor((pose.y - floor_.origin.position.y) / floor_.resolution))};
}

void CleaningUnit::sweep(const geometry_msgs::msg::Pose2D& from,
                         const geometry_msgs::msg::Pose2D& to) {
  std::lock_guard<std::mutex> lock(records_mutex_);
  const int32_t step = step_++;
  if (!running_) {
    return;
  }
  const cv::Point a = cellOf(from);
  const cv::Point b = cellOf(to);
  const int reach = brush_cells_ / 2 + 1;
  const cv::Rect around =
      cv::Rect(cv::Point(std::min(a.x, b.x) - reach, std::min(a.y, b.y) - reach),
               cv::Point(std::max(a.x, b.x) + reach + 1, std::max(a.y, b.y) + reach + 1)) &
      cv::Rect(0, 0, passes_.cols, passes_.rows);
  if (around.empty()) {
    return;
  }
  stroke_.create(around.size(), CV_8UC1);
  stroke_.setTo(0);
  cv::line(stroke_, a - around.tl(), b - around.tl(), cv::Scalar(255), brush_cells_, cv::LINE_8);
  std::vector<vantrell_nav2_gridmap::ObstacleEdit::Cell> first_swept;
  for (int row = 0; row < around.height; ++row) {
    const uint8_t* swept = stroke_.ptr<uint8_t>(row);
    uint16_t* passes = passes_.ptr<uint16_t>(row + around.y) + around.x;
    int32_t* last = last_swept_.ptr<int32_t>(row + around.y) + around.x;
    for (int col = 0; col < around.width; ++col) {
      if (swept[col] == 0) {
        continue;
      }
      if (step - last[col] > kSamePassSteps && passes[col] < UINT16_MAX) {
        if (passes[col]++ == 0) {
          first_swept.push_back({static_cast<unsigned int>(col + around.x),
                                 static_cast<unsigned int>(row + around.y)});
        }
      }
      last[col] = step;
    }
  }
  swept_cells_ += first_swept.size();
  if (!first_swept.empty()) {
    for (const auto& map : coverage_maps_) {
      map->getMultiGridMap()->queueCoveredCells(first_swept);
    }
  }
}

cv::Mat CleaningUnit::passes() const {
  std::lock_guard<std::mutex> lock(records_mutex_);
  return passes_.clone();
}

size_t CleaningUnit::sweptCells() const {
  std::lock_guard<std::mutex> lock(records_mutex_);
  return swept_cells_;
}

void CleaningUnit::clearRecords() {
  std::lock_guard<std::mutex> lock(records_mutex_);
  swept_cells_ = 0;
  passes_.setTo(0);
  last_swept_.setTo(kNeverSwept);
}

}  // namespace planning_sim
