#include "planning/local_planning/contour/costmap_image_convert.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

#include "costmap_image_detail.hpp"
#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {

using vantrell_nav2_gridmap::GridmapLocationCoverter;
using vantrell_nav2_gridmap::GridMapROS;

namespace contour_detail {

int kernelCells(double metres, double resolution) {
  const double cells = std::ceil(metres / resolution);
  // A zero, negative or undefined element would make the opening fail; 1 leaves the image as is.
  if (!(cells >= 1.0)) {
    return 1;
  }
  // Wider than any image already; the cap keeps the conversion to int defined.
  return static_cast<int>(std::min(cells, 32767.0));
}

void ensureImage(cv::Mat& image, const cv::Size& size, int type) {
  if (image.size() != size || image.type() != type) {
    image.create(size, type);
  }
}

void openImage(const cv::Mat& in, cv::Mat& out, int kernel, int iterations) {
  const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kernel, kernel));
  cv::morphologyEx(in, out, cv::MORPH_OPEN, element, cv::Point(-1, -1), std::max(iterations, 0),
                   cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
}

void distanceImage(const cv::Mat& in, cv::Mat& out) {
  cv::distanceTransform(in, out, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
}

}  // namespace contour_detail

using contour_detail::distanceImage;
using contour_detail::ensureImage;
using contour_detail::kernelCells;
using contour_detail::openImage;

CostmapImageConvert::CostmapImageConvert(std::shared_ptr<GridMapROS> first_gridmap,
                                         std::shared_ptr<GridMapROS> second_gridmap,
                                         std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node)
    : node_(std::move(node)),
      first_gridmap_(std::move(first_gridmap)),
      second_gridmap_(std::move(second_gridmap)) {
  if (!first_gridmap_ || !second_gridmap_) {
    throw std::invalid_argument("CostmapImageConvert: both grid maps are needed");
  }
  const auto locked = node_.lock();
  if (!locked) {
    throw std::invalid_argument("CostmapImageConvert: the node no longer exists");
  }
  readParameters(*locked);
  LOG_INFO("clean_cost={}", static_cast<int>(clean_cost_));
  LOG_INFO("inflation_cost={}", static_cast<int>(inflation_cost_));
  LOG_INFO("safe_distance_offset={}", safe_distance_offset_);
  if (enable_trace_) {
    merge_trace_ =
        std::make_unique<vantrell_trace::TraceMat>(second_gridmap_, "local_merge_coverage");
  }
  robot_half_width_ = getFootprintMaxY(second_gridmap_.get());
}

void CostmapImageConvert::readParameters(rclcpp_lifecycle::LifecycleNode& node) {
  if (const auto cost =
          getNarrowedParameter(node, "clean_cost", 0, std::numeric_limits<uint8_t>::max())) {
    clean_cost_ = static_cast<uint8_t>(*cost);
  }
  if (const auto cost =
          getNarrowedParameter(node, "inflation_cost", 0, std::numeric_limits<uint8_t>::max())) {
    inflation_cost_ = static_cast<uint8_t>(*cost);
  }
  node.get_parameter("safe_distance_offset", safe_distance_offset_);
  node.get_parameter("static_coverage_safe_offset", static_coverage_safe_offset_);
  node.get_parameter("morph_open_element_size", morph_open_element_size_);
  node.get_parameter("planning_morph_open_element_size", planning_morph_open_element_size_);
  if (const auto iterations = getNarrowedParameter(node, "morph_open_iterations")) {
    morph_open_iterations_ = *iterations;
  }
  node.get_parameter("safe_distance", safe_distance_);
  node.get_parameter("planning_safe_distance", planning_safe_distance_);
  node.get_parameter("enable_trace", enable_trace_);
}

void CostmapImageConvert::setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) {
  trace_logger_ = std::move(trace_logger);
}

void CostmapImageConvert::costmapToMat(const GridMapROS& map, cv::Mat& image, uint8_t threshold) {
  nav2_costmap_2d::Costmap2D* costmap = map.getMultiGridMap()->getCostmap();
  const cv::Size size(static_cast<int>(costmap->getSizeInCellsX()),
                      static_cast<int>(costmap->getSizeInCellsY()));
  if (image.size() != size || image.type() != CV_8UC1) {
    image.create(size, CV_8UC1);
    image.setTo(255);
  }
  LOG_DEBUG("cell size is {}", size.area());
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  const unsigned char* costs = costmap->getCharMap();
  for (int y = 0; y < size.height; ++y) {
    const unsigned char* cost_row = costs + static_cast<size_t>(y) * size.width;
    uint8_t* row = image.ptr<uint8_t>(y);
    for (int x = 0; x < size.width; ++x) {
      row[x] = cost_row[x] >= threshold ? 0 : 255;
    }
  }
}

void CostmapImageConvert::getLocalCostmapMatWithCoverage(cv::Mat& image,
                                                         const GridmapLocationCoverter& converter) {
  const auto local = second_gridmap_->getMultiGridMap();
  const nav2_costmap_2d::Costmap2D* local_costmap = local->getCostmap();
  const cv::Size size(static_cast<int>(local_costmap->getSizeInCellsX()),
                      static_cast<int>(local_costmap->getSizeInCellsY()));
  ensureImage(image, size, CV_8UC1);
  nav2_costmap_2d::Costmap2D* costmap = first_gridmap_->getMultiGridMap()->getCostmap();
  {
    std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
    const unsigned char* costs = costmap->getCharMap();
    const unsigned int size_x = costmap->getSizeInCellsX();
    const unsigned int size_y = costmap->getSizeInCellsY();
    for (int y = 0; y < size.height; ++y) {
      uint8_t* row = image.ptr<uint8_t>(y);
      for (int x = 0; x < size.width; ++x) {
        unsigned int u = 0;
        unsigned int v = 0;
        if (local->inDanger(x, y, 0) || !converter.firstToSecondMap(x, y, u, v) || u >= size_x ||
            v >= size_y) {
          row[x] = 254;
        } else {
          row[x] = costs[static_cast<size_t>(v) * size_x + u];
        }
      }
    }
  }
  if (merge_trace_) {
    merge_trace_->reset();
    merge_trace_->setMat(image, true);
    merge_trace_->publishCVMatAsGrid();
  }
}

void CostmapImageConvert::updateLocalWindow(double clearance, cv::Mat& local_open_mat) {
  const auto local = second_gridmap_->getMultiGridMap();
  const nav2_costmap_2d::Costmap2D* local_costmap = local->getCostmap();
  const int size_x = static_cast<int>(local_costmap->getSizeInCellsX());
  const int size_y = static_cast<int>(local_costmap->getSizeInCellsY());
  ensureImage(window_mat_,
              cv::Size(size_x + 2 * kLocalWindowBorder, size_y + 2 * kLocalWindowBorder), CV_8UC1);
  window_mat_.setTo(255);
  for (int y = 0; y < size_y; ++y) {
    uint8_t* row = window_mat_.ptr<uint8_t>(y + kLocalWindowBorder) + kLocalWindowBorder;
    for (int x = 0; x < size_x; ++x) {
      row[x] = local->getDistance(x, y) <= clearance ? 0 : 255;
    }
  }
  openImage(window_mat_, local_open_mat,
            kernelCells(planning_morph_open_element_size_, local_costmap->getResolution()),
            morph_open_iterations_);
  distanceImage(local_open_mat, local_distance_mat_);
}

void CostmapImageConvert::overlayLocalCells(const cv::Rect& rect,
                                            const GridmapLocationCoverter& converter,
                                            const LocalCellWriter& write) {
  const nav2_costmap_2d::Costmap2D* local_costmap =
      second_gridmap_->getMultiGridMap()->getCostmap();
  const double local_resolution = local_costmap->getResolution();
  const int local_x = static_cast<int>(local_costmap->getSizeInCellsX());
  const int local_y = static_cast<int>(local_costmap->getSizeInCellsY());
  const nav2_costmap_2d::Costmap2D* costmap = first_gridmap_->getMultiGridMap()->getCostmap();
  const unsigned char* costs = costmap->getCharMap();
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  for (int y = 0; y < local_y; ++y) {
    const float* distances =
        local_distance_mat_.ptr<float>(y + kLocalWindowBorder) + kLocalWindowBorder;
    for (int x = 0; x < local_x; ++x) {
      unsigned int u = 0;
      unsigned int v = 0;
      if (!converter.firstToSecondMap(x, y, u, v) || u >= size_x || v >= size_y) {
        continue;
      }
      const int col = static_cast<int>(u) - rect.x;
      const int row = static_cast<int>(v) - rect.y;
      if (col < 0 || row < 0 || col >= rect.width || row >= rect.height) {
        continue;
      }
      uint8_t cost = costs[static_cast<size_t>(v) * size_x + u];
      if (distances[x] * local_resolution < safe_distance_offset_) {
        cost = clean_cost_;
      }
      write(row, col, cost);
    }
  }
}

void CostmapImageConvert::traceCellCount(const cv::Mat& image) {
  const int cells = image.rows * image.cols;
  traceLine(trace_logger_, "cell size is {}", cells);
}

}  // namespace planning
