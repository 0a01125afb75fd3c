#ifndef NAV2_COSTMAP_2D__TESTING__COSTMAP_MESSAGE_HPP_
#define NAV2_COSTMAP_2D__TESTING__COSTMAP_MESSAGE_HPP_

#include <mutex>
#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_msgs/msg/costmap.hpp"

// Host and test hook: the message a costmap publisher would send for a
// costmap, to feed a CostmapSubscriber. Never included by library code.
namespace nav2_costmap_2d {
namespace testing {

inline nav2_msgs::msg::Costmap toCostmapMessage(Costmap2D& costmap,
                                                const std::string& frame_id = "map") {
  nav2_msgs::msg::Costmap msg;
  std::lock_guard<Costmap2D::mutex_t> lock(*costmap.getMutex());
  msg.header.frame_id = frame_id;
  msg.metadata.layer = "master";
  msg.metadata.resolution = static_cast<float>(costmap.getResolution());
  msg.metadata.size_x = costmap.getSizeInCellsX();
  msg.metadata.size_y = costmap.getSizeInCellsY();
  msg.metadata.origin.position.x = costmap.getOriginX();
  msg.metadata.origin.position.y = costmap.getOriginY();
  const unsigned char* cells = costmap.getCharMap();
  msg.data.assign(cells, cells + static_cast<size_t>(msg.metadata.size_x) * msg.metadata.size_y);
  return msg;
}

}  // namespace testing
}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__TESTING__COSTMAP_MESSAGE_HPP_
