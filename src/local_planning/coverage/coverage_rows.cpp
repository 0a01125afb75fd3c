#include "planning/local_planning/coverage/coverage_rows.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

namespace planning {

namespace {

using Cells = std::vector<cv::Point>;

// The unit normal of the edge and the edge's start: a row is the edge moved along the normal.
struct RowFrame {
  cv::Point start;
  cv::Point end;
  float nx{0.0F};
  float ny{0.0F};

  float offsetOf(const cv::Point& p) const {
    return static_cast<float>(p.x - start.x) * nx + static_cast<float>(p.y - start.y) * ny;
  }
  // A cell moved `by` along the normal, rounded as the robots round it.
  cv::Point moved(const cv::Point& p, double by) const {
    return {static_cast<int>(std::lround(static_cast<float>(p.x + by * nx))),
            static_cast<int>(std::lround(static_cast<float>(p.y + by * ny)))};
  }
};

RowFrame rowFrame(const std::array<cv::Point, 2>& edge) {
  RowFrame frame;
  frame.start = edge[0];
  frame.end = edge[1];
  const double dx = -(edge[1].y - edge[0].y);
  const double dy = edge[1].x - edge[0].x;
  const double length = std::max(std::hypot(dx, dy), 1e-10);
  frame.nx = static_cast<float>(dx / length);
  frame.ny = static_cast<float>(dy / length);
  return frame;
}

// Offsets of the rows of one region, top first.
std::vector<double> rowOffsets(const RowFrame& frame, const Cells& region, double d,
                               const cv::Size& window) {
  float min = std::numeric_limits<float>::max();
  float max = std::numeric_limits<float>::lowest();
  for (const auto& p : region) {
    min = std::min(min, frame.offsetOf(p));
    max = std::max(max, frame.offsetOf(p));
  }
  float minbox = std::numeric_limits<float>::max();
  float maxbox = std::numeric_limits<float>::lowest();
  for (const cv::Point corner :
       {cv::Point(0, 0), cv::Point(0, window.height), cv::Point(window.width, window.height),
        cv::Point(window.width, 0)}) {
    minbox = std::min(minbox, frame.offsetOf(corner));
    maxbox = std::max(maxbox, frame.offsetOf(corner));
  }
  const double top = std::min(maxbox - 1.5 * d, max - 0.5 * d);
  const double bottom = std::max(minbox + 1.5 * d, min + 0.5 * d);
  std::cout << " maxbox: " << maxbox << " minbox: " << minbox << " max: " << max << " min: " << min
            << std::endl;
  const double width = max - min;
  if (width <= 0.5 * d) {
    return {(max + min) / 2.0};
  }
  if (width <= d) {
    return {bottom, top};
  }
  std::vector<double> offsets;
  const int count = static_cast<int>(std::ceil((top - minbox) / d));
  for (int i = 0; i <= count; ++i) {
    const double offset = top - i * d;
    // A step that lands exactly on the bottom gives it twice.
    if (offset < bottom) {
      offsets.push_back(bottom);
      break;
    }
    offsets.push_back(offset);
  }
  return offsets;
}

// Where the band of lines around offset `o` crosses the region's outline, moved back onto the
// row at `o`; each cell once.
Cells bandCrossings(const RowFrame& frame, const Cells& region, double o, double d) {
  Cells crossings;
  const int first = static_cast<int>(std::lround(-d / 2.0));
  const int last = static_cast<int>(std::floor(d / 2.0));
  const std::size_t n = region.size();
  for (int k = first; k <= last; ++k) {
    const cv::Point s = frame.moved(frame.start, o + k);
    const cv::Point e = frame.moved(frame.end, o + k);
    const int64_t dx = e.x - s.x;
    const int64_t dy = e.y - s.y;
    for (std::size_t i = 0; i < n; ++i) {
      const cv::Point& p = region[i];
      const cv::Point& next = region[(i + 1) % n];
      const int64_t ex = next.x - p.x;
      const int64_t ey = next.y - p.y;
      const int64_t denom = ey * dx - ex * dy;
      if (denom == 0) {
        continue;
      }
      const double t = static_cast<double>((s.y - p.y) * dx - (s.x - p.x) * dy) / denom;
      if (t < 0.0 || t > 1.0) {
        continue;
      }
      const double u = static_cast<double>(ex * (s.y - p.y) - ey * (s.x - p.x)) / denom;
      const cv::Point crossing(static_cast<int>(std::lround(dx * u + s.x)),
                               static_cast<int>(std::lround(dy * u + s.y)));
      const cv::Point on_row = frame.moved(crossing, -k);
      if (std::find(crossings.begin(), crossings.end(), on_row) == crossings.end()) {
        crossings.push_back(on_row);
      }
    }
  }
  return crossings;
}

}  // namespace

std::array<cv::Point, 2> findLongestEdge(const std::vector<CleanZoneInfo>& zones) {
  std::array<cv::Point, 2> longest{cv::Point(0, 0), cv::Point(0, 0)};
  double best = -1.0;
  for (const auto& zone : zones) {
    const std::size_t n = zone.points.size();
    for (std::size_t i = 0; i < n; ++i) {
      const cv::Point& a = zone.points[i];
      const cv::Point& b = zone.points[(i + 1) % n];
      const double length = std::hypot(b.x - a.x, b.y - a.y);
      if (length > best) {
        best = length;
        longest = {a, b};
      }
    }
  }
  return longest;
}

std::vector<std::vector<cv::Point>> generateParallelPaths(
    const std::vector<std::vector<cv::Point>>& regions, const std::array<cv::Point, 2>& edge,
    double spacing, const cv::Size& window) {
  std::vector<Cells> rows;
  // Rows closer than a cell would never end.
  if (!(spacing >= 1.0)) {
    return rows;
  }
  const RowFrame frame = rowFrame(edge);
  for (const auto& region : regions) {
    if (region.empty()) {
      continue;
    }
    for (const double offset : rowOffsets(frame, region, spacing, window)) {
      Cells crossings = bandCrossings(frame, region, offset, spacing);
      if (findFarthestPoints(crossings)) {
        std::cout << " intersect0: [" << crossings[0].x << ", " << crossings[0].y << "]"
                  << " intersect1: [" << crossings[1].x << ", " << crossings[1].y << "]"
                  << std::endl;
        rows.push_back(std::move(crossings));
      }
    }
  }
  return rows;
}

bool findFarthestPoints(std::vector<cv::Point>& cells) {
  if (cells.size() < 2) {
    cells.clear();
    return false;
  }
  if (cells.size() == 2) {
    return true;
  }
  std::size_t best_i = 0;
  std::size_t best_j = 1;
  double best = -1.0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    for (std::size_t j = i + 1; j < cells.size(); ++j) {
      const double d = std::hypot(cells[j].x - cells[i].x, cells[j].y - cells[i].y);
      if (d > best) {
        best = d;
        best_i = i;
        best_j = j;
      }
    }
  }
  cells = {cells[best_i], cells[best_j]};
  return true;
}

}  // namespace planning
