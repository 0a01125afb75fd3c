#ifndef VANTRELL_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_
#define VANTRELL_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_

#include <memory>

#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace vantrell_nav2_gridmap {

// Turns cells of one grid map into cells of another through the world
// position of the cell's centre. Both maps must share a global frame. The
// geometry is read at construction and at each updateOrigin(); one owner
// thread uses an object.
class GridmapLocationCoverter {
 public:
  GridmapLocationCoverter(std::shared_ptr<GridMapROS> first, std::shared_ptr<GridMapROS> second);

  // Re-reads both maps' geometry. False (and every conversion false) when a
  // map is missing or the two maps live in different frames.
  bool updateOrigin();

  // Cell (x, y) of the first map to cell (u, v) of the second; false when the
  // cell is off the first map or its centre is off the second.
  bool firstToSecondMap(unsigned int x, unsigned int y, unsigned int& u, unsigned int& v) const;
  bool secondToFirstMap(unsigned int x, unsigned int y, unsigned int& u, unsigned int& v) const;

 private:
  struct Geometry {
    unsigned int size_x{0};
    unsigned int size_y{0};
    double resolution{0.0};
    double origin_x{0.0};
    double origin_y{0.0};
  };

  static Geometry readGeometry(const GridMapROS& map);
  static bool convert(const Geometry& from, const Geometry& to, unsigned int x, unsigned int y,
                      unsigned int& u, unsigned int& v);

  std::shared_ptr<GridMapROS> first_;
  std::shared_ptr<GridMapROS> second_;
  bool valid_{false};
  Geometry first_geometry_;
  Geometry second_geometry_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_
