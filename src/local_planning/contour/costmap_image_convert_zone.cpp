// The zone-window images of both coverage planners, each built under the first grid
// map's costmap mutex.
#include <algorithm>
#include <initializer_list>
#include <mutex>
#include <opencv2/imgproc.hpp>

#include "costmap_image_detail.hpp"
#include "planning/local_planning/contour/costmap_image_convert.hpp"

namespace planning {

using contour_detail::distanceImage;
using contour_detail::ensureImage;
using contour_detail::kernelCells;
using contour_detail::openImage;
using vantrell_nav2_gridmap::GridmapLocationCoverter;

namespace {

// Re-creates each rectangle image only when its size differs, and blocks every pixel: a
// pixel whose cell lies off the map stays blocked. Returns the rectangle's image size (an
// inverted rectangle has none).
cv::Size blockedRectImages(const cv::Rect& rect, std::initializer_list<cv::Mat*> images) {
  const cv::Size size(std::max(rect.width, 0), std::max(rect.height, 0));
  for (cv::Mat* image : images) {
    ensureImage(*image, size, CV_8UC1);
    image->setTo(0);
  }
  return size;
}

// Calls visit(row, column, cost, obstacle distance in metres) for every pixel of `rect`
// whose cell lies on the grid map.
template <typename Visit>
void visitCellsOnMap(const cv::Rect& rect, const vantrell_nav2_gridmap::MultiGridMap& grid,
                     Visit visit) {
  const nav2_costmap_2d::Costmap2D* costmap = grid.getCostmap();
  const int size_x = static_cast<int>(costmap->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap->getSizeInCellsY());
  const cv::Rect cells =
      cv::Rect(rect.tl(), cv::Size(std::max(rect.width, 0), std::max(rect.height, 0))) &
      cv::Rect(0, 0, size_x, size_y);
  const unsigned char* costs = costmap->getCharMap();
  for (int y = cells.y; y < cells.y + cells.height; ++y) {
    for (int x = cells.x; x < cells.x + cells.width; ++x) {
      visit(y - rect.y, x - rect.x, costs[static_cast<size_t>(y) * size_x + x],
            grid.getDistance(x, y));
    }
  }
}

}  // namespace

std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t>
CostmapImageConvert::refreshAndLockFirstMap() {
  const auto grid = first_gridmap_->getMultiGridMap();
  grid->updateMap();
  return std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t>(*grid->getCostmap()->getMutex());
}

void CostmapImageConvert::updateStaticCoverageCostmapMat(const cv::Rect& rect, cv::Mat& clean_mat,
                                                         cv::Mat& clean_local_mat,
                                                         cv::Mat& open_mat, cv::Mat& local_open_mat,
                                                         cv::Mat& obstacle_free_mat,
                                                         const GridmapLocationCoverter& converter) {
  const auto lock = refreshAndLockFirstMap();
  const auto grid = first_gridmap_->getMultiGridMap();
  const double clearance = robot_half_width_ + static_coverage_safe_offset_;
  updateLocalWindow(clearance, local_open_mat);
  blockedRectImages(rect, {&clean_mat, &clean_local_mat, &obstacle_free_mat, &open_mat});
  traceCellCount(clean_mat);
  visitCellsOnMap(rect, *grid, [&](int row, int col, uint8_t cost, double d) {
    const uint8_t clean = cost < clean_cost_ && d > clearance ? 255 : 0;
    clean_mat.at<uint8_t>(row, col) = clean_local_mat.at<uint8_t>(row, col) = clean;
    obstacle_free_mat.at<uint8_t>(row, col) = d > 0.0 ? 255 : 0;
    open_mat.at<uint8_t>(row, col) = d > clearance ? 255 : 0;
  });
  openImage(open_mat, open_mat,
            kernelCells(morph_open_element_size_, grid->getCostmap()->getResolution()),
            morph_open_iterations_);
  overlayLocalCells(rect, converter, [&](int row, int col, uint8_t cost) {
    clean_local_mat.at<uint8_t>(row, col) = cost < clean_cost_ ? 255 : 0;
  });
}

void CostmapImageConvert::updateCoverageCostmapMat(const CleanZoneInfo& zone, const cv::Rect& rect,
                                                   cv::Mat& clean_mat, cv::Mat& inflation_mat,
                                                   cv::Mat& local_open_mat,
                                                   cv::Mat& obstacle_free_mat,
                                                   const GridmapLocationCoverter& converter) {
  const auto lock = refreshAndLockFirstMap();
  const auto grid = first_gridmap_->getMultiGridMap();
  updateLocalWindow(planning_safe_distance_, local_open_mat);
  const cv::Size size = blockedRectImages(rect, {&clean_mat, &inflation_mat, &obstacle_free_mat});
  traceCellCount(clean_mat);
  visitCellsOnMap(rect, *grid, [&](int row, int col, uint8_t cost, double d) {
    // An unknown cell counts as just not cleanable.
    const uint8_t counted = cost == 255 ? clean_cost_ : cost;
    clean_mat.at<uint8_t>(row, col) = counted < clean_cost_ && d > safe_distance_ ? 255 : 0;
    inflation_mat.at<uint8_t>(row, col) = counted < inflation_cost_ && d > safe_distance_ ? 255 : 0;
    obstacle_free_mat.at<uint8_t>(row, col) = d > 0.0 ? 255 : 0;
  });
  overlayLocalCells(rect, converter, [&](int row, int col, uint8_t cost) {
    clean_mat.at<uint8_t>(row, col) = cost < clean_cost_ ? 255 : 0;
    inflation_mat.at<uint8_t>(row, col) = cost < inflation_cost_ ? 255 : 0;
  });
  applyZoneMask(zone, size, clean_mat, inflation_mat, obstacle_free_mat);
}

void CostmapImageConvert::applyZoneMask(const CleanZoneInfo& zone, const cv::Size& size,
                                        cv::Mat& clean_mat, cv::Mat& inflation_mat,
                                        cv::Mat& obstacle_free_mat) {
  if (size.area() == 0) {
    return;
  }
  ensureImage(zone_fill_mat_, size, CV_8UC1);
  zone_fill_mat_.setTo(255);
  if (zone.points.empty()) {
    ensureImage(zone_mask_mat_, size, CV_8UC1);
    zone_mask_mat_.setTo(0);
  } else {
    image_processing_.getMaskMat(zone_fill_mat_, zone.points, zone_mask_mat_);
    cv::drawContours(zone_mask_mat_, std::vector<std::vector<cv::Point>>{zone.points}, -1,
                     cv::Scalar(0), 1, cv::LINE_8);
  }
  distanceImage(zone_mask_mat_, zone_distance_mat_);
  const double resolution = first_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  const double border = safe_distance_ - resolution;
  for (int row = 0; row < size.height; ++row) {
    const float* distances = zone_distance_mat_.ptr<float>(row);
    uint8_t* clean = clean_mat.ptr<uint8_t>(row);
    uint8_t* inflation = inflation_mat.ptr<uint8_t>(row);
    uint8_t* free = obstacle_free_mat.ptr<uint8_t>(row);
    for (int col = 0; col < size.width; ++col) {
      const double z = distances[col] * resolution;
      if (z <= border) {
        clean[col] = inflation[col] = 0;
      }
      if (z <= 0.0) {
        free[col] = 0;
      }
    }
  }
}

}  // namespace planning
