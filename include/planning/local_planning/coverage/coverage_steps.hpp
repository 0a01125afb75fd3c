#ifndef PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_
#define PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_

#include <chrono>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

// The steps both coverage planners ("static_coverage_planning", "dynamic_coverage_planning") take
// alike: the clock of their obstacle waits and the cleaned area of a task's covered points.
namespace planning {
namespace coverage {

/// OpenCV draws no thicker line.
inline constexpr int kMaxLineThickness = 32767;

/// Seconds from `from` to `to`, counted in whole milliseconds.
double secondsBetween(std::chrono::system_clock::time_point from,
                      std::chrono::system_clock::time_point to);

/**
 * Draws the covered points, in order, as one open 4-connected line `thickness` cells wide
 * (1 to kMaxLineThickness) into `mask`, which takes the costmap's size and is cleared first, and
 * returns the area of the marked cells in square metres. Points off the costmap are left out,
 * with one WARN naming `owner`: a made-up cell would count floor that was never swept.
 */
double drawCoveredArea(const nav2_costmap_2d::Costmap2D& costmap,
                       const std::vector<geometry_msgs::msg::Point32>& points, int thickness,
                       cv::Mat& mask, const std::string& owner);

}  // namespace coverage
}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__COVERAGE__COVERAGE_STEPS_HPP_
