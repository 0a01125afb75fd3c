#ifndef NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
#define NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layer.hpp"

namespace nav2_costmap_2d {

// The master grid, the layers that write it and the robot footprint.
// Layers are added while the owner is being set up; the footprint may change
// at any time and is guarded.
class LayeredCostmap {
 public:
  LayeredCostmap(const std::string& global_frame, bool track_unknown);
  ~LayeredCostmap();

  // Asks every layer for its window, then lets each write it, in the order added.
  void updateMap(double robot_x, double robot_y, double robot_yaw);

  const std::string& getGlobalFrameID() const { return global_frame_; }
  bool isTrackingUnknown() const { return track_unknown_; }

  void resizeMap(unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
                 double origin_y);
  Costmap2D* getCostmap() { return &combined_costmap_; }

  void addPlugin(std::shared_ptr<Layer> plugin);
  const std::vector<std::shared_ptr<Layer>>& getPlugins() const { return plugins_; }

  void setFootprint(const std::vector<geometry_msgs::msg::Point>& footprint_spec);
  std::vector<geometry_msgs::msg::Point> getFootprint() const;
  double getCircumscribedRadius() const;
  double getInscribedRadius() const;

 private:
  std::string global_frame_;
  bool track_unknown_;
  Costmap2D combined_costmap_;
  std::vector<std::shared_ptr<Layer>> plugins_;

  mutable std::mutex footprint_mutex_;
  std::vector<geometry_msgs::msg::Point> footprint_;
  double circumscribed_radius_{0.0};
  double inscribed_radius_{0.0};
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
