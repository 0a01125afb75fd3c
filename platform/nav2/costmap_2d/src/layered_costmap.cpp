#include "nav2_costmap_2d/layered_costmap.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint.hpp"

namespace nav2_costmap_2d {

LayeredCostmap::LayeredCostmap(const std::string& global_frame, bool track_unknown)
    : global_frame_(global_frame), track_unknown_(track_unknown) {
  combined_costmap_.setDefaultValue(track_unknown ? NO_INFORMATION : FREE_SPACE);
}

LayeredCostmap::~LayeredCostmap() {
  // Layers may hold a pointer back to us; let them go first.
  plugins_.clear();
}

namespace {

// World window to a cell window [lo, hi) clipped to the grid.
void windowToCells(double lo, double hi, double origin, double resolution, unsigned int size,
                   int& lo_cell, int& hi_cell) {
  const double first = std::floor((lo - origin) / resolution);
  const double last = std::ceil((hi - origin) / resolution);
  lo_cell = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(size)));
  hi_cell = static_cast<int>(std::clamp(last, 0.0, static_cast<double>(size)));
}

}  // namespace

void LayeredCostmap::updateMap(double robot_x, double robot_y, double robot_yaw) {
  double min_x = std::numeric_limits<double>::max();
  double min_y = std::numeric_limits<double>::max();
  double max_x = std::numeric_limits<double>::lowest();
  double max_y = std::numeric_limits<double>::lowest();
  for (const auto& plugin : plugins_) {
    plugin->updateBounds(robot_x, robot_y, robot_yaw, &min_x, &min_y, &max_x, &max_y);
  }
  if (!(min_x < max_x) || !(min_y < max_y)) {
    return;
  }
  const double resolution = combined_costmap_.getResolution();
  if (!(resolution > 0.0)) {
    return;
  }
  int x0 = 0;
  int xn = 0;
  int y0 = 0;
  int yn = 0;
  windowToCells(min_x, max_x, combined_costmap_.getOriginX(), resolution,
                combined_costmap_.getSizeInCellsX(), x0, xn);
  windowToCells(min_y, max_y, combined_costmap_.getOriginY(), resolution,
                combined_costmap_.getSizeInCellsY(), y0, yn);
  if (x0 >= xn || y0 >= yn) {
    return;
  }
  for (const auto& plugin : plugins_) {
    plugin->updateCosts(combined_costmap_, x0, y0, xn, yn);
  }
}

void LayeredCostmap::resizeMap(unsigned int size_x, unsigned int size_y, double resolution,
                               double origin_x, double origin_y) {
  combined_costmap_.resizeMap(size_x, size_y, resolution, origin_x, origin_y);
}

void LayeredCostmap::addPlugin(std::shared_ptr<Layer> plugin) {
  plugins_.push_back(std::move(plugin));
}

void LayeredCostmap::setFootprint(const std::vector<geometry_msgs::msg::Point>& footprint_spec) {
  double inscribed = 0.0;
  double circumscribed = 0.0;
  calculateMinAndMaxDistances(footprint_spec, inscribed, circumscribed);
  {
    std::lock_guard<std::mutex> lock(footprint_mutex_);
    footprint_ = footprint_spec;
    inscribed_radius_ = inscribed;
    circumscribed_radius_ = circumscribed;
  }
  for (const auto& plugin : plugins_) {
    plugin->onFootprintChanged();
  }
}

std::vector<geometry_msgs::msg::Point> LayeredCostmap::getFootprint() const {
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return footprint_;
}

double LayeredCostmap::getCircumscribedRadius() const {
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return circumscribed_radius_;
}

double LayeredCostmap::getInscribedRadius() const {
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return inscribed_radius_;
}

}  // namespace nav2_costmap_2d
