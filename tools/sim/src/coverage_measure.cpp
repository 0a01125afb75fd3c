#include "planning_sim/coverage_measure.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "planning/geometry.hpp"
#include "planning/zone_raster.hpp"

namespace planning_sim {

namespace {

// A stretch of steady heading: over the last kSteadyDistance driven the heading moved by less
// than kSteadySpread (a curve wider than about 2 m radius counts as steady).
constexpr double kSteadyDistance = 0.2;
constexpr double kSteadySpread = 0.1;

// Distance from each free cell's centre to the centre of the nearest cell that is not free; the
// image border counts as not free.
cv::Mat clearance(const cv::Mat& free) {
  cv::Mat padded;
  cv::copyMakeBorder(free, padded, 1, 1, 1, 1, cv::BORDER_CONSTANT, cv::Scalar(0));
  cv::Mat distance;
  cv::distanceTransform(padded, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
  return distance(cv::Rect(1, 1, free.cols, free.rows)).clone();
}

cv::Mat polygonMask(const cv::Size& size, const std::vector<cv::Point>& polygon) {
  cv::Mat mask(size, CV_8UC1, cv::Scalar(0));
  planning::fillZone(polygon, mask, 255);
  return mask;
}

cv::Point2d centroidOf(const std::vector<cv::Point>& polygon) {
  const cv::Moments moments = cv::moments(polygon);
  if (moments.m00 != 0.0) {
    return {moments.m10 / moments.m00, moments.m01 / moments.m00};
  }
  cv::Point2d sum;
  for (const auto& p : polygon) {
    sum += cv::Point2d(p);
  }
  return sum / static_cast<double>(polygon.size());
}

// The cell of `candidates` nearest `centre`.
std::optional<cv::Point> nearest(const cv::Mat& candidates, const cv::Point2d& centre) {
  std::optional<cv::Point> best;
  double best_distance = std::numeric_limits<double>::infinity();
  for (int y = 0; y < candidates.rows; ++y) {
    const uint8_t* row = candidates.ptr<uint8_t>(y);
    for (int x = 0; x < candidates.cols; ++x) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      if (row[x] != 0 && d < best_distance) {
        best_distance = d;
        best = cv::Point(x, y);
      }
    }
  }
  return best;
}

// The largest 8-connected part of `mask`: a start elsewhere (under a table, in a ring of chairs)
// would leave most of the zone out of the robot's reach.
cv::Mat largestPart(const cv::Mat& mask) {
  cv::Mat labels;
  cv::Mat stats;
  cv::Mat centroids;
  const int parts = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  int largest = 0;
  for (int label = 1; label < parts; ++label) {
    if (largest == 0 ||
        stats.at<int>(label, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA)) {
      largest = label;
    }
  }
  cv::Mat part(mask.size(), CV_8UC1, cv::Scalar(0));
  if (largest > 0) {
    part.setTo(cv::Scalar(255), labels == largest);
  }
  return part;
}

}  // namespace

cv::Mat centreSpace(const cv::Mat& free, double radius) {
  cv::Mat space;
  cv::compare(clearance(free), radius, space, cv::CMP_GT);
  return space;
}

cv::Mat reachableArea(const cv::Mat& centre_space, const std::vector<cv::Point>& polygon,
                      const cv::Point& start) {
  cv::Mat region = polygonMask(centre_space.size(), polygon) & centre_space;
  cv::Mat reachable(centre_space.size(), CV_8UC1, cv::Scalar(0));
  if (!cv::Rect(0, 0, region.cols, region.rows).contains(start) || region.at<uint8_t>(start) == 0) {
    return reachable;
  }
  cv::Mat labels;
  cv::connectedComponents(region, labels, 8, CV_32S);
  cv::compare(labels, labels.at<int32_t>(start), reachable, cv::CMP_EQ);
  return reachable;
}

std::optional<cv::Point> startCell(const cv::Mat& free, const cv::Mat& centre_space,
                                   const cv::Mat& planning_space,
                                   const std::vector<cv::Point>& polygon, double turning_radius) {
  if (polygon.empty()) {
    return std::nullopt;
  }
  // The planners keep the padded outline off obstacles: gaps between table legs that the bare
  // outline passes close for them, and a start inside such a ring leaves them the ring alone.
  const cv::Mat zone = polygonMask(free.size(), polygon);
  cv::Mat inside = largestPart(zone & planning_space & centre_space);
  if (cv::countNonZero(inside) == 0) {
    inside = largestPart(zone & centre_space);
  }
  cv::Mat turnable;
  cv::compare(clearance(free), turning_radius, turnable, cv::CMP_GE);
  const cv::Point2d centroid = centroidOf(polygon);
  if (auto best = nearest(inside & turnable, centroid)) {
    return best;
  }
  return nearest(inside, centroid);
}

CoverageFigures measureCoverage(const cv::Mat& target, const cv::Mat& passes) {
  CoverageFigures figures;
  double summed_passes = 0.0;
  for (int y = 0; y < target.rows; ++y) {
    const uint8_t* wanted = target.ptr<uint8_t>(y);
    const uint16_t* passed = passes.ptr<uint16_t>(y);
    for (int x = 0; x < target.cols; ++x) {
      if (wanted[x] == 0) {
        continue;
      }
      ++figures.target_cells;
      if (passed[x] > 0) {
        ++figures.covered_cells;
        summed_passes += passed[x];
      }
    }
  }
  if (figures.target_cells > 0) {
    figures.covered_share = static_cast<double>(figures.covered_cells) / figures.target_cells;
  }
  if (figures.covered_cells > 0) {
    figures.overlap = summed_passes / figures.covered_cells;
  }
  return figures;
}

TrackFigures measureTrack(const std::vector<geometry_msgs::msg::Pose2D>& track) {
  TrackFigures figures;
  if (track.empty()) {
    return figures;
  }
  // Unwrapped heading against the distance driven, over the last kSteadyDistance.
  struct Sample {
    double driven;
    double heading;
  };
  std::deque<Sample> window{{0.0, track.front().theta}};
  double driven = 0.0;
  double heading = track.front().theta;
  double anchor = heading;
  for (size_t i = 1; i < track.size(); ++i) {
    const double step = std::hypot(track[i].x - track[i - 1].x, track[i].y - track[i - 1].y);
    const double turn = planning::geometry::normalizeAngle(track[i].theta - track[i - 1].theta);
    driven += step;
    heading += turn;
    figures.length_m += step;
    figures.rotation_rad += std::abs(turn);
    window.push_back({driven, heading});
    while (window.size() > 1 && driven - window[1].driven >= kSteadyDistance) {
      window.pop_front();
    }
    const auto [low, high] =
        std::minmax_element(window.begin(), window.end(),
                            [](const Sample& a, const Sample& b) { return a.heading < b.heading; });
    const bool steady = driven - window.front().driven >= kSteadyDistance &&
                        high->heading - low->heading < kSteadySpread;
    if (steady) {
      figures.turns += std::abs(heading - anchor) > kTurnAngle ? 1 : 0;
      anchor = heading;
    }
  }
  figures.turns += std::abs(heading - anchor) > kTurnAngle ? 1 : 0;
  figures.estimated_time_s = figures.length_m / kLinearSpeed + figures.rotation_rad / kAngularSpeed;
  return figures;
}

TimeFigures timeFigures(std::vector<double> times) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  if (times.empty()) {
    return {none, none, none};
  }
  std::sort(times.begin(), times.end());
  double sum = 0.0;
  for (const double t : times) {
    sum += t;
  }
  const auto rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(times.size())));
  return {sum / static_cast<double>(times.size()), times[std::max<size_t>(rank, 1) - 1],
          times.back()};
}

}  // namespace planning_sim
