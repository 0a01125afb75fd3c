#include "contour_snapshot.hpp"

#include <array>
#include <atomic>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"

namespace planning {
namespace contour_detail {

int nextSnapshotNumber(SnapshotSeries series) {
  static std::array<std::atomic<int>, 4> counters{};
  return counters.at(static_cast<size_t>(series))++;
}

cv::Mat outlinePicture(const cv::Size& size, const std::vector<std::vector<cv::Point>>& outlines) {
  cv::Mat picture = cv::Mat::zeros(size, CV_8UC3);
  if (!picture.empty()) {
    cv::drawContours(picture, outlines, -1, cv::Scalar(255, 255, 255), 1, cv::LINE_8);
  }
  return picture;
}

namespace {

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::out | std::ios::trunc);
  file << text;
  file.flush();
  return file.good();
}

bool writePicture(const std::string& path, const cv::Mat& picture) {
  cv::Mat flipped;
  cv::flip(picture, flipped, 0);
  try {
    return cv::imwrite(path, flipped);
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace

void writeSnapshot(const std::string& operation, const std::string& stem, const cv::Mat& picture,
                   const std::string& text) {
  bool written = true;
  if (!text.empty()) {
    written = writeText(stem + ".txt", text) && written;
  }
  if (!picture.empty()) {
    written = writePicture(stem + ".jpg", picture) && written;
  }
  if (!written) {
    LOG_WARN("{}: could not write the snapshot {}", operation, stem);
  }
}

}  // namespace contour_detail
}  // namespace planning
