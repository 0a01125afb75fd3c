// The contour manager's obstacle image as an occupancy grid.
#include "logger/logger.hpp"
#include "planning/local_planning/contour/contour_manager.hpp"
#include "rclcpp/clock.hpp"

namespace planning {

namespace {

// Occupancy of an obstacle pixel; every other pixel is 0.
constexpr int8_t kObstacleOccupancy = -2;

// Row-major occupancy of an 8-bit image: its 0 pixels are obstacles. These are the
// pixels at distance 0 in the image's distance transform.
std::vector<int8_t> obstacleOccupancy(const cv::Mat& image) {
  std::vector<int8_t> data(static_cast<size_t>(image.rows) * image.cols, 0);
  for (int row = 0; row < image.rows; ++row) {
    const uint8_t* pixels = image.ptr<uint8_t>(row);
    int8_t* cells = data.data() + static_cast<size_t>(row) * image.cols;
    for (int col = 0; col < image.cols; ++col) {
      if (pixels[col] == 0) {
        cells[col] = kObstacleOccupancy;
      }
    }
  }
  return data;
}

}  // namespace

void ContourManager::publishAsOccupancyGrid(
    const cv::Mat& image, const std::shared_ptr<OccupancyGridPublisher>& publisher,
    const vantrell_nav2_gridmap::GridMapROS& map) {
  if (!publish_morph_local_costmap_mat_ || !publisher || publisher->get_subscription_count() == 0) {
    return;
  }
  if (image.empty() || image.type() != CV_8UC1) {
    LOG_WARN("publishAsOccupancyGrid: the image must be 8-bit single-channel and not empty");
    return;
  }
  const nav2_costmap_2d::Costmap2D* costmap = map.getMultiGridMap()->getCostmap();
  const double resolution = costmap->getResolution();
  // The image covers the costmap grown by the same border on every side.
  const int border =
      static_cast<int>((image.cols - static_cast<int>(costmap->getSizeInCellsX())) * 0.5);
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  grid.header.frame_id = map.getCostmapROS()->getGlobalFrameID();
  grid.info.resolution = static_cast<float>(resolution);
  grid.info.width = static_cast<uint32_t>(image.cols);
  grid.info.height = static_cast<uint32_t>(image.rows);
  grid.info.origin.position.x = costmap->getOriginX() - resolution * border;
  grid.info.origin.position.y = costmap->getOriginY() - resolution * border;
  grid.info.origin.position.z = 0.0;
  grid.info.origin.orientation.w = 1.0;
  grid.data = obstacleOccupancy(image);
  publisher->publish(grid);
}

}  // namespace planning
