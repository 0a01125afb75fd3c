#ifndef CUSTOM_PLANNING__WATER_UPTAKE__WATER_UPTAKE_PATH_SERVER_PROBE_HPP_
#define CUSTOM_PLANNING__WATER_UPTAKE__WATER_UPTAKE_PATH_SERVER_PROBE_HPP_

#include <exception>
#include <utility>

#include "planning/custom_planning/water_uptake_path_server.hpp"

namespace planning {
namespace custom_planning {
namespace testing {

// Reaches into the server for tests only: its tf buffer and costmap source.
class WaterUptakePathServerProbe {
 public:
  explicit WaterUptakePathServerProbe(WaterUptakePathServer& server) : server_(server) {}

  tf2_ros::Buffer& tfBuffer() const { return *server_.tf_buffer_; }

  // Size in cells of the latest costmap received, (0, 0) before the first.
  std::pair<unsigned int, unsigned int> costmapSize() const {
    try {
      const auto costmap = server_.costmap_sub_->getCostmap();
      return {costmap->getSizeInCellsX(), costmap->getSizeInCellsY()};
    } catch (const std::exception&) {
      return {0, 0};
    }
  }

  const cv::Mat& freeMap() const { return server_.free_map_; }
  cv::Mat& zoneMap() const { return server_.zone_map_; }

 private:
  WaterUptakePathServer& server_;
};

}  // namespace testing
}  // namespace custom_planning
}  // namespace planning

#endif  // CUSTOM_PLANNING__WATER_UPTAKE__WATER_UPTAKE_PATH_SERVER_PROBE_HPP_
