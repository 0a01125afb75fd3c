#ifndef VANTRELL_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_
#define VANTRELL_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_

#include <array>
#include <cstdint>
#include <vector>

namespace vantrell_nav2_gridmap {

// Exact Euclidean distance, in cells, from every cell of a row-major grid to
// the nearest source cell: the result of OpenCV's precise L2
// distanceTransform. Computed here on the calling thread alone: OpenCV's own
// runs on a TBB pool whose synchronisation ThreadSanitizer cannot follow, and
// every host that builds a grid map would inherit the false reports.
//
// Beside the output it needs memory for one row only, so that a large map's
// layers are not joined by a grid-sized scratch copy while they are built.
class DistanceTransform {
 public:
  // The cell values that are sources: sources[value] is true.
  using SourceValues = std::array<bool, 256>;

  // out[i] for each of cols * rows cells; `far` everywhere when no cell is a source.
  void compute(const uint8_t* cells, const SourceValues& sources, unsigned int cols,
               unsigned int rows, float far, float* out);

 private:
  // Distance to the nearest source in the same column, kept in `out` until the row pass.
  static bool columnPass(const uint8_t* cells, const SourceValues& sources, unsigned int cols,
                         unsigned int rows, float* out);
  // Squared distance along one row, from the per-cell squared column distances.
  void rowPass(const double* f, unsigned int n, float* out);

  std::vector<double> row_f_;
  std::vector<int32_t> hull_at_;
  std::vector<double> hull_from_;
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__DISTANCE_TRANSFORM_HPP_
