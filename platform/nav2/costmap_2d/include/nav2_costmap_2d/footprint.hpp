#ifndef NAV2_COSTMAP_2D__FOOTPRINT_HPP_
#define NAV2_COSTMAP_2D__FOOTPRINT_HPP_

#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"

namespace nav2_costmap_2d {

// Distances from the robot's origin to the footprint: min_dist to the nearest
// edge or vertex (the inscribed radius), max_dist to the farthest vertex (the
// circumscribed radius). Both are 0 for an empty footprint.
void calculateMinAndMaxDistances(const std::vector<geometry_msgs::msg::Point>& footprint,
                                 double& min_dist, double& max_dist);

geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt);
geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt);
geometry_msgs::msg::Polygon toPolygon(const std::vector<geometry_msgs::msg::Point> pts);
// A null polygon gives an empty list.
std::vector<geometry_msgs::msg::Point> toPointVector(
    geometry_msgs::msg::Polygon::SharedPtr polygon);

// The footprint turned by theta and moved to (x, y).
void transformFootprint(double x, double y, double theta,
                        const std::vector<geometry_msgs::msg::Point>& footprint_spec,
                        std::vector<geometry_msgs::msg::Point>& oriented_footprint);

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__FOOTPRINT_HPP_
