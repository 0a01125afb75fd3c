#include "planning/local_planning/contour/image_processing.hpp"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <utility>

#include "logger/logger.hpp"

namespace planning {

void ImageProcessing::setCallBack(ContourFilter callback) { callback_ = std::move(callback); }

void ImageProcessing::getMaskMat(const cv::Mat& src, const std::vector<cv::Point>& polygon,
                                 cv::Mat& out) {
  if (polygon.empty()) {
    return;
  }
  if (src.empty()) {
    out.release();
    return;
  }
  // Clearing `out` below would wipe a source that is the same image.
  const cv::Mat source = src.data == out.data ? src.clone() : src;
  if (mask_.size() != source.size() || mask_.type() != CV_8UC1) {
    mask_.create(source.size(), CV_8UC1);
  }
  if (out.size() != source.size()) {
    out.create(source.size(), CV_8UC1);
  }
  mask_.setTo(0);
  out.setTo(0);
  const cv::Point* corners = polygon.data();
  const int count = static_cast<int>(polygon.size());
  cv::fillPoly(mask_, &corners, &count, 1, cv::Scalar(255), cv::LINE_8, 0, cv::Point(0, 0));
  source.copyTo(out, mask_);
}

std::vector<ContourInfo> ImageProcessing::getAllValidContourAddSort(ContourType type,
                                                                    const cv::Mat& image,
                                                                    int zone_index, int x, int y) {
  std::vector<ContourInfo> infos;
  if (image.empty()) {
    return infos;
  }
  if (image.type() != CV_8UC1) {
    LOG_WARN("getAllValidContourAddSort: the image must be 8-bit single-channel, not type {}",
             image.type());
    return infos;
  }
  std::vector<std::vector<cv::Point>> contours;
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(image, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_NONE,
                   cv::Point(0, 0));
  const cv::Point2f robot(static_cast<float>(x), static_cast<float>(y));
  for (size_t i = 0; i < contours.size(); ++i) {
    if (hierarchy[i][3] != -1) {
      continue;
    }
    std::vector<cv::Point>& contour = contours[i];
    const double area = cv::contourArea(contour, false);
    if (callback_(contour, area, type)) {
      continue;
    }
    ContourInfo info;
    info.area = area;
    info.robot_distance = cv::pointPolygonTest(contour, robot, true);
    info.state = ContourInfo::kActive;
    info.points.assign(contour.rbegin(), contour.rend());
    info.zone_index = zone_index;
    info.uuid = base_robot_.generateUuid();
    info.plan_fail_count = 0;
    info.type = type;
    infos.push_back(std::move(info));
  }
  sortContourInfos(infos.begin(), infos.end(), std::string());
  return infos;
}

}  // namespace planning
