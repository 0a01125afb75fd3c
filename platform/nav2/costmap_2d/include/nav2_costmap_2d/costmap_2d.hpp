#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_HPP_

#include <mutex>
#include <vector>

namespace nav2_costmap_2d {

// A grid of one-byte costs with its place in the world: cell (0, 0) has its
// lower-left corner at the origin, x grows with the column and y with the row.
// Geometry and cells are read without a lock; whoever writes cells while
// others may read them holds getMutex().
class Costmap2D {
 public:
  using mutex_t = std::recursive_mutex;

  Costmap2D(unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
            double origin_x, double origin_y, unsigned char default_value = 0);
  Costmap2D();
  // Copies geometry and cells; each copy has its own mutex.
  Costmap2D(const Costmap2D& map);
  Costmap2D& operator=(const Costmap2D& map);
  virtual ~Costmap2D() = default;

  // Off the grid a read gives NO_INFORMATION and a write is dropped, so that a
  // bad cell index cannot reach memory outside the grid.
  unsigned char getCost(unsigned int mx, unsigned int my) const;
  unsigned char getCost(unsigned int index) const;
  void setCost(unsigned int mx, unsigned int my, unsigned char cost);

  // Centre of the cell.
  void mapToWorld(unsigned int mx, unsigned int my, double& wx, double& wy) const;
  // False below the origin, leaving mx and my untouched. Beyond the far edges
  // the cell is still written (callers use it to clip) and false is returned.
  bool worldToMap(double wx, double wy, unsigned int& mx, unsigned int& my) const;

  unsigned int getIndex(unsigned int mx, unsigned int my) const { return my * size_x_ + mx; }
  void indexToCells(unsigned int index, unsigned int& mx, unsigned int& my) const {
    my = index / size_x_;
    mx = index - (my * size_x_);
  }

  unsigned char* getCharMap() const;
  unsigned int getSizeInCellsX() const { return size_x_; }
  unsigned int getSizeInCellsY() const { return size_y_; }
  // As the costmap always reported it: up to the centre of the last cell plus
  // half a cell, that is (cells - 0.5) x resolution.
  double getSizeInMetersX() const;
  double getSizeInMetersY() const;
  double getOriginX() const { return origin_x_; }
  double getOriginY() const { return origin_y_; }
  double getResolution() const { return resolution_; }

  unsigned char getDefaultValue() const { return default_value_; }
  void setDefaultValue(unsigned char value) { default_value_ = value; }

  // New geometry; every cell takes the default value.
  void resizeMap(unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
                 double origin_y);
  // Cells [x0, xn) x [y0, yn) take the default value; the window is clipped to the grid.
  void resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn);

  mutex_t* getMutex() { return &access_; }

 private:
  mutable std::vector<unsigned char> costmap_;
  unsigned int size_x_;
  unsigned int size_y_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  unsigned char default_value_;
  mutable mutex_t access_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
