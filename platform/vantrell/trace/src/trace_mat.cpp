#include "vantrell_trace/trace_mat.hpp"

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace vantrell_trace {

TraceMat::TraceMat(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap,
                   const std::string& name)
    : gridmap_(std::move(gridmap)) {
  if (!gridmap_) {
    throw std::invalid_argument("TraceMat " + name + " needs a grid map, got an empty pointer");
  }
  node_ = std::make_shared<rclcpp::Node>("vantrell_trace");
  publisher_ = node_->create_publisher<nav_msgs::msg::OccupancyGrid>(name, rclcpp::QoS(1));
  reset();
}

void TraceMat::reset() {
  const nav2_costmap_2d::Costmap2D* costmap = gridmap_->getMultiGridMap()->getCostmap();
  const int rows = static_cast<int>(costmap->getSizeInCellsY());
  const int cols = static_cast<int>(costmap->getSizeInCellsX());
  if (mat_.rows != rows || mat_.cols != cols || mat_.type() != CV_8UC1) {
    mat_.create(rows, cols, CV_8UC1);
  }
  mat_.setTo(cv::Scalar(0));
}

void TraceMat::setMat(const cv::Mat& image, bool to_percent) {
  if (image.empty()) {
    return;
  }
  if (image.type() != CV_8UC1) {
    RCLCPP_WARN(node_->get_logger(), "TraceMat::setMat %s: only 8-bit single-channel images",
                publisher_->get_topic_name());
    return;
  }
  const cv::Rect overlap =
      cv::Rect(0, 0, image.cols, image.rows) & cv::Rect(0, 0, mat_.cols, mat_.rows);
  if (overlap.empty()) {
    return;
  }
  cv::Mat target = mat_(overlap);
  if (to_percent) {
    image(overlap).convertTo(target, CV_8UC1, 100.0 / 255.0);
  } else {
    image(overlap).copyTo(target);
  }
}

uint8_t TraceMat::getMatColor(const cv::Point& cell) const {
  if (!cv::Rect(0, 0, mat_.cols, mat_.rows).contains(cell)) {
    return 0;
  }
  return mat_.at<uint8_t>(cell.y, cell.x);
}

void TraceMat::setMatPointColor(const cv::Point& cell, uint8_t color) {
  if (cv::Rect(0, 0, mat_.cols, mat_.rows).contains(cell)) {
    mat_.at<uint8_t>(cell.y, cell.x) = color;
  }
}

void TraceMat::publishCVMatAsGrid() {
  const auto costmap_ros = gridmap_->getCostmapROS();
  const nav2_costmap_2d::Costmap2D* costmap = gridmap_->getMultiGridMap()->getCostmap();
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = costmap_ros->getGlobalFrameID();
  grid.header.stamp = node_->now();
  grid.info.map_load_time = grid.header.stamp;
  grid.info.resolution = static_cast<float>(costmap->getResolution());
  grid.info.width = static_cast<uint32_t>(mat_.cols);
  grid.info.height = static_cast<uint32_t>(mat_.rows);
  grid.info.origin.position.x = costmap->getOriginX();
  grid.info.origin.position.y = costmap->getOriginY();
  grid.info.origin.orientation.w = 1.0;
  grid.data.resize(mat_.total());
  for (int row = 0; row < mat_.rows; ++row) {
    std::memcpy(grid.data.data() + static_cast<size_t>(row) * mat_.cols, mat_.ptr<uint8_t>(row),
                static_cast<size_t>(mat_.cols));
  }
  publisher_->publish(grid);
}

}  // namespace vantrell_trace
