#ifndef VANTRELL_TRACE__TRACE_MAT_HPP_
#define VANTRELL_TRACE__TRACE_MAT_HPP_

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace vantrell_trace {

/**
 * A debug picture over the cells of one grid map (8-bit, row = cell y,
 * column = cell x), published as an occupancy grid so that a map viewer can
 * lay it over the map. Pixel values go out as they are: 0 to 100 read as
 * occupancy, larger values as the viewer's special colours.
 *
 * It publishes on the topic of its name (keep last 1) from a node of its
 * own. One owner thread per object.
 */
class TraceMat {
 public:
  /// Throws std::invalid_argument for an empty grid map pointer, and the rclcpp exception for a
  /// name that is not a valid topic name.
  TraceMat(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap, const std::string& name);

  /// Every pixel 0, at the grid map's current size.
  void reset();

  /**
   * Copies an 8-bit single-channel image into the picture, its pixel (row,
   * column) onto cell (column, row); what lies beyond the picture is dropped.
   * With `to_percent` the values 0..255 are scaled to 0..100 first. Other
   * image types are refused with a warning.
   */
  void setMat(const cv::Mat& image, bool to_percent);

  /// The pixel at a cell; 0 off the picture.
  uint8_t getMatColor(const cv::Point& cell) const;

  /// Sets the pixel at a cell; a cell off the picture is ignored.
  void setMatPointColor(const cv::Point& cell, uint8_t color);

  /// Publishes the picture with the grid map's frame, origin and resolution.
  void publishCVMatAsGrid();

  const cv::Mat& getMat() const { return mat_; }

 private:
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr publisher_;
  cv::Mat mat_;
};

}  // namespace vantrell_trace

#endif  // VANTRELL_TRACE__TRACE_MAT_HPP_
