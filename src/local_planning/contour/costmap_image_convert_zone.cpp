// The zone-window images of both coverage planners, each built under the first grid
// map's costmap mutex.
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

// A rectangle's image size; an inverted rectangle has no pixels.
cv::Size pixelSize(const cv::Rect& rect) {
  return cv::Size(std::max(rect.width, 0), std::max(rect.height, 0));
}

// Whether cell (x, y) lies on a costmap of the given size.
bool onMap(int x, int y, unsigned int size_x, unsigned int size_y) {
  return x >= 0 && y >= 0 && static_cast<unsigned int>(x) < size_x &&
         static_cast<unsigned int>(y) < size_y;
}

}  // namespace

void CostmapImageConvert::updateStaticCoverageCostmapMat(const cv::Rect& rect, cv::Mat& clean_mat,
                                                         cv::Mat& clean_local_mat,
                                                         cv::Mat& open_mat, cv::Mat& local_open_mat,
                                                         cv::Mat& obstacle_free_mat,
                                                         const GridmapLocationCoverter& converter) {
  const auto grid = first_gridmap_->getMultiGridMap();
  grid->updateMap();
  nav2_costmap_2d::Costmap2D* costmap = grid->getCostmap();
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  const double clearance = robot_half_width_ + static_coverage_safe_offset_;
  updateLocalWindow(clearance, local_open_mat);
  const cv::Size size = pixelSize(rect);
  for (cv::Mat* image : {&clean_mat, &clean_local_mat, &obstacle_free_mat, &open_mat}) {
    ensureImage(*image, size, CV_8UC1);
  }
  traceCellCount(clean_mat);
  const unsigned char* costs = costmap->getCharMap();
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  for (int row = 0; row < size.height; ++row) {
    uint8_t* clean = clean_mat.ptr<uint8_t>(row);
    uint8_t* clean_local = clean_local_mat.ptr<uint8_t>(row);
    uint8_t* free = obstacle_free_mat.ptr<uint8_t>(row);
    uint8_t* open = open_mat.ptr<uint8_t>(row);
    const int y = rect.y + row;
    for (int col = 0; col < size.width; ++col) {
      const int x = rect.x + col;
      if (!onMap(x, y, size_x, size_y)) {
        clean[col] = clean_local[col] = free[col] = open[col] = 0;
        continue;
      }
      const double d = grid->getDistance(x, y);
      const bool cleanable = costs[static_cast<size_t>(y) * size_x + x] < clean_cost_;
      clean[col] = clean_local[col] = cleanable && d > clearance ? 255 : 0;
      free[col] = d > 0.0 ? 255 : 0;
      open[col] = d > clearance ? 255 : 0;
    }
  }
  openImage(open_mat, open_mat, kernelCells(morph_open_element_size_, costmap->getResolution()),
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
  const auto grid = first_gridmap_->getMultiGridMap();
  grid->updateMap();
  nav2_costmap_2d::Costmap2D* costmap = grid->getCostmap();
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  updateLocalWindow(planning_safe_distance_, local_open_mat);
  const cv::Size size = pixelSize(rect);
  for (cv::Mat* image : {&clean_mat, &inflation_mat, &obstacle_free_mat}) {
    ensureImage(*image, size, CV_8UC1);
  }
  traceCellCount(clean_mat);
  const unsigned char* costs = costmap->getCharMap();
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  for (int row = 0; row < size.height; ++row) {
    uint8_t* clean = clean_mat.ptr<uint8_t>(row);
    uint8_t* inflation = inflation_mat.ptr<uint8_t>(row);
    uint8_t* free = obstacle_free_mat.ptr<uint8_t>(row);
    const int y = rect.y + row;
    for (int col = 0; col < size.width; ++col) {
      const int x = rect.x + col;
      if (!onMap(x, y, size_x, size_y)) {
        clean[col] = inflation[col] = free[col] = 0;
        continue;
      }
      const double d = grid->getDistance(x, y);
      uint8_t cost = costs[static_cast<size_t>(y) * size_x + x];
      if (cost == 255) {
        cost = clean_cost_;
      }
      clean[col] = cost < clean_cost_ && d > safe_distance_ ? 255 : 0;
      inflation[col] = cost < inflation_cost_ && d > safe_distance_ ? 255 : 0;
      free[col] = d > 0.0 ? 255 : 0;
    }
  }
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
