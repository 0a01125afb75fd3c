#ifndef LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_PROBE_HPP_
#define LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_PROBE_HPP_

#include <chrono>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "planning/local_planning/contour/contour_manager.hpp"

namespace planning {
namespace testing {

// The manager's task state, which only its path search would otherwise set.
struct ContourManagerProbe {
  static std::vector<ContourInfo>& contours(ContourManager& m) { return m.contour_info_vec_; }
  static std::vector<CleanZoneInfo>& zones(ContourManager& m) { return m.zone_infos_; }
  static std::vector<CleanZoneInfo>& rawZones(ContourManager& m) { return m.raw_zone_infos_; }
  static int32_t& zoneIndex(ContourManager& m) { return m.current_zone_index_; }
  static std::string& currentUuid(ContourManager& m) { return m.current_contour_uuid_; }
  static bool& finished(ContourManager& m) { return m.finished_; }
  static bool& saveContourFile(ContourManager& m) { return m.save_contour_file_; }
  static cv::Mat& zoneImage(ContourManager& m) { return m.zone_coverage_mat_; }
  static cv::Point robotCell(ContourManager& m) { return m.robot_cell_; }
  static double minimumCleaningArea(ContourManager& m) { return m.minimum_cleaning_area_; }
  static int32_t waitTime(ContourManager& m) { return m.dynamic_coverage_planner_wait_time_; }
  static void setWindowOrigin(ContourManager& m, uint32_t x, uint32_t y) {
    m.bbox_origin_x_ = x;
    m.bbox_origin_y_ = y;
  }
  static std::shared_ptr<ContourManager::OccupancyGridPublisher> distanceMapPublisher(
      ContourManager& m) {
    return m.distance_map_pub_;
  }
  // Snapshots go below this folder instead of the robot's.
  static std::string& snapshotRoot(ContourManager& m) { return m.snapshot_root_; }
  static std::chrono::system_clock::time_point& lastPlanTime(ContourManager& m) {
    return m.last_plan_time_;
  }
  static std::chrono::system_clock::time_point& surroundedSince(ContourManager& m) {
    return m.surrounded_start_time_;
  }
  static bool robotSurrounded(ContourManager& m) { return m.robot_surrounded_; }
  static bool& narrowContour(ContourManager& m) { return m.narrow_contour_; }
  static double& judgeSurroundArea(ContourManager& m) { return m.judge_surround_area_; }
  static double& surroundTryTime(ContourManager& m) { return m.robot_surround_try_time_; }
  static double& complexDensityWidth(ContourManager& m) { return m.complex_density_width_; }
  static bool& useObstacleIdentify(ContourManager& m) { return m.use_obatacle_identify_; }
  static int32_t tryPlannerPointsCount(ContourManager& m) { return m.try_planner_points_count_; }
  static void trimHead(ContourManager& m, nav_msgs::msg::Path& path) { m.trimHeadAtRobot(path); }
};

}  // namespace testing
}  // namespace planning

#endif  // LOCAL_PLANNING__CONTOUR__CONTOUR_MANAGER_PROBE_HPP_
