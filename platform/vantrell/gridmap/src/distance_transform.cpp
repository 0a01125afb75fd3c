#include "distance_transform.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vantrell_nav2_gridmap {

namespace {

constexpr int32_t kNone = std::numeric_limits<int32_t>::max();
// Stands for "no source in this column"; large enough that it never wins,
// small enough that sums of it stay finite.
constexpr double kFarSquared = 1e30;

// The output buffer holds whole column distances between the two passes.
int32_t loadColumn(const float* cell) {
  int32_t d;
  std::memcpy(&d, cell, sizeof(d));
  return d;
}

void storeColumn(float* cell, int32_t d) { std::memcpy(cell, &d, sizeof(d)); }

}  // namespace

void DistanceTransform::compute(const uint8_t* cells, const SourceValues& sources,
                                unsigned int cols, unsigned int rows, float far, float* out) {
  const size_t count = static_cast<size_t>(cols) * rows;
  if (!columnPass(cells, sources, cols, rows, out)) {
    std::fill(out, out + count, far);
    return;
  }
  // Pass 2 along each row: the lower envelope of parabolas rooted at every
  // cell with height its squared column distance. The row's column distances
  // are read out before the row is overwritten with the result.
  row_f_.resize(cols);
  hull_at_.resize(cols);
  hull_from_.resize(cols + 1);
  for (unsigned int y = 0; y < rows; ++y) {
    float* row = out + static_cast<size_t>(y) * cols;
    for (unsigned int x = 0; x < cols; ++x) {
      const int32_t d = loadColumn(row + x);
      row_f_[x] = d == kNone ? kFarSquared : static_cast<double>(d) * d;
    }
    rowPass(row_f_.data(), cols, row);
    for (unsigned int x = 0; x < cols; ++x) {
      row[x] = std::min(row[x], far);
    }
  }
}

bool DistanceTransform::columnPass(const uint8_t* cells, const SourceValues& sources,
                                   unsigned int cols, unsigned int rows, float* out) {
  // Down and up each column, walked row by row to stay in cache.
  std::vector<int32_t> last(cols, kNone);
  bool any = false;
  for (unsigned int y = 0; y < rows; ++y) {
    const size_t row = static_cast<size_t>(y) * cols;
    for (unsigned int x = 0; x < cols; ++x) {
      if (sources[cells[row + x]]) {
        last[x] = static_cast<int32_t>(y);
        any = true;
      }
      storeColumn(out + row + x, last[x] == kNone ? kNone : static_cast<int32_t>(y) - last[x]);
    }
  }
  if (!any) {
    return false;
  }
  std::fill(last.begin(), last.end(), kNone);
  for (unsigned int y = rows; y-- > 0;) {
    const size_t row = static_cast<size_t>(y) * cols;
    for (unsigned int x = 0; x < cols; ++x) {
      if (sources[cells[row + x]]) {
        last[x] = static_cast<int32_t>(y);
      }
      if (last[x] != kNone) {
        const int32_t up = last[x] - static_cast<int32_t>(y);
        storeColumn(out + row + x, std::min(loadColumn(out + row + x), up));
      }
    }
  }
  return true;
}

void DistanceTransform::rowPass(const double* f, unsigned int n, float* out) {
  // Where parabola q, rooted at q with height f[q], meets parabola p.
  auto meet = [f](int32_t q, int32_t p) {
    return ((f[q] + static_cast<double>(q) * q) - (f[p] + static_cast<double>(p) * p)) /
           (2.0 * (q - p));
  };
  int32_t k = 0;
  hull_at_[0] = 0;
  hull_from_[0] = -std::numeric_limits<double>::infinity();
  hull_from_[1] = std::numeric_limits<double>::infinity();
  for (int32_t q = 1; q < static_cast<int32_t>(n); ++q) {
    double s = meet(q, hull_at_[k]);
    while (s <= hull_from_[k]) {
      --k;
      s = meet(q, hull_at_[k]);
    }
    ++k;
    hull_at_[k] = q;
    hull_from_[k] = s;
    hull_from_[k + 1] = std::numeric_limits<double>::infinity();
  }
  k = 0;
  for (int32_t q = 0; q < static_cast<int32_t>(n); ++q) {
    while (hull_from_[k + 1] < q) {
      ++k;
    }
    const double dx = q - hull_at_[k];
    out[q] = static_cast<float>(std::sqrt(dx * dx + f[hull_at_[k]]));
  }
}

}  // namespace vantrell_nav2_gridmap
