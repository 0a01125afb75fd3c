#ifndef LOCAL_PLANNING__CONTOUR__CONTOUR_SNAPSHOT_HPP_
#define LOCAL_PLANNING__CONTOUR__CONTOUR_SNAPSHOT_HPP_

// Debug snapshots of the contour manager (pictures of outlines and their numbers) in the
// robot's snapshot folders; outside the library's API.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace planning {
namespace contour_detail {

// The numbered snapshot series, each counted from 0 for the life of the process.
enum class SnapshotSeries { kOverlaps, kRegions, kObstacleStrips, kObstacleChecks };

int nextSnapshotNumber(SnapshotSeries series);

// A black 8-bit three-channel picture of `size` with the outlines drawn in white.
cv::Mat outlinePicture(const cv::Size& size, const std::vector<std::vector<cv::Point>>& outlines);

/**
 * Writes `text` (when not empty) to stem + ".txt" and the picture (when not empty),
 * flipped upside down, to stem + ".jpg". The folder is the robot's and may be missing:
 * a failure is one WARN of `operation`, never an exception.
 */
void writeSnapshot(const std::string& operation, const std::string& stem, const cv::Mat& picture,
                   const std::string& text);

}  // namespace contour_detail
}  // namespace planning

#endif  // LOCAL_PLANNING__CONTOUR__CONTOUR_SNAPSHOT_HPP_
