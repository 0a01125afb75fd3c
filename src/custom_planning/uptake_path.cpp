#include "planning/custom_planning/uptake_path.hpp"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"

namespace planning {
namespace custom_planning {

namespace {

using geometry::headingBetween;
using geometry::kPi;
using geometry::normalizeAngle;
using geometry::planarDistance;

constexpr double kSearchStep = 0.1;

void setHeading(geometry_msgs::msg::PoseStamped& pose, double heading) {
  pose.pose.orientation.x = 0.0;
  pose.pose.orientation.y = 0.0;
  pose.pose.orientation.z = heading;
  pose.pose.orientation.w = 1.0;
}

geometry_msgs::msg::PoseStamped sidewaysPose(double x, double y, double heading) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = 0.0;
  setHeading(pose, heading);
  return pose;
}

}  // namespace

UptakePath::UptakePath(const UptakePathParams& params, const nav2_costmap_2d::Costmap2D& costmap)
    : params_(params), costmap_(costmap) {}

int UptakePath::erodeKernelSize(double erode_radius, double resolution, int image_extent) {
  const double upper = 2.0 * std::max(image_extent, 0) + 1.0;
  double size = 1.0;
  if (resolution > 0.0 && std::isfinite(erode_radius)) {
    size = 2.0 * std::trunc(erode_radius / resolution);
  } else if (std::isinf(erode_radius) && erode_radius > 0.0) {
    size = upper;
  }
  return static_cast<int>(std::clamp(size, 1.0, upper));
}

void UptakePath::computeUptakePath(const cv::Mat& mask,
                                   std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
                                   const geometry_msgs::msg::PoseStamped& robot) const {
  if (path_vec.size() < 2) {
    LOG_ERROR("computeUptakePath needs two corners, got {}", path_vec.size());
    return;
  }
  path_vec.resize(2);
  auto& near = path_vec[0];
  auto& far = path_vec[1];

  const double theta = headingBetween(near, far);
  const double length = planarDistance(near, far);
  const double robot_dis = planarDistance(near, robot);
  const double far_x = far.pose.position.x;
  const double budget = params_.task_finish_path_len;
  LOG_INFO("water_uptake : task_finish_path_len_ is {}, part 1/2/total dis is {}/{}/{}", budget,
           robot_dis, length, robot_dis + length);

  UptakePathCase uptake_case = kOnePoint;
  if (robot_dis >= budget) {
    far = near;
    LOG_INFO("water_uptake mode 1: one point, get task_finish_path_len_:{}, {}, {}", budget,
             robot_dis, 0);
  } else {
    const double rest = budget - robot_dis;
    LOG_INFO("water_uptake mode 2: two points, get task_finish_path_len_:{}, {}, {}", budget,
             robot_dis, rest);
    if (robot_dis + length > budget) {
      const double r = rest / length;
      far.pose.position.x = r * far.pose.position.x + (1.0 - r) * near.pose.position.x;
      far.pose.position.y = r * far.pose.position.y + (1.0 - r) * near.pose.position.y;
      uptake_case = kTwoPointsPulledBack;
    } else {
      uptake_case = kTwoPointsKept;
    }
  }

  setHeading(near, headingBetween(robot, near));
  setHeading(far, theta);
  LOG_INFO("修改吸水路径模式");

  searchValidEndPoint(mask, path_vec, theta, length, theta, uptake_case, far_x);

  const double alpha = normalizeAngle(theta + kPi / 2.0);
  const double beta = normalizeAngle(alpha + kPi);

  const geometry_msgs::msg::PoseStamped end = path_vec.back();
  geometry_msgs::msg::PoseStamped forward = end;
  forward.pose.position.x += params_.temp_forward_dis * std::cos(theta);
  forward.pose.position.y += params_.temp_forward_dis * std::sin(theta);
  path_vec.push_back(forward);

  const double qx = end.pose.position.x + params_.cur_uptake_pos_offest * std::cos(theta);
  const double qy = end.pose.position.y + params_.cur_uptake_pos_offest * std::sin(theta);
  const auto side = sidewaysPose(qx + params_.water_uptake_forward_dis * std::cos(alpha),
                                 qy + params_.water_uptake_forward_dis * std::sin(alpha), alpha);
  path_vec.push_back(side);
  path_vec.push_back(sidewaysPose(
      side.pose.position.x + params_.water_uptake_backward_dis * std::cos(beta),
      side.pose.position.y + params_.water_uptake_backward_dis * std::sin(beta), beta));

  LOG_INFO("return path_vec size is {}", path_vec.size());
}

void UptakePath::searchValidEndPoint(const cv::Mat& mask,
                                     std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
                                     double /*heading_unused*/, double length, double heading,
                                     const UptakePathCase& uptake_path_case,
                                     double /*far_x*/) const {
  if (path_vec.empty()) {
    LOG_ERROR("searchValidEndPoint needs a path, got none");
    return;
  }
  cv::Mat eroded;
  if (!mask.empty()) {
    const int k = erodeKernelSize(params_.costmap_erode_radius, costmap_.getResolution(),
                                  std::max(mask.rows, mask.cols));
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k));
    cv::erode(mask, eroded, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
              cv::morphologyDefaultBorderValue());
  }

  const geometry_msgs::msg::PoseStamped end = path_vec.back();
  const geometry_msgs::msg::PoseStamped& start = path_vec.front();
  bool end_point_valid_flag = false;
  switch (uptake_path_case) {
    case kTwoPointsKept:
      end_point_valid_flag = true;
      break;
    case kOnePoint:
      end_point_valid_flag = freeAlong(eroded, end, heading, length);
      break;
    case kTwoPointsPulledBack:
      // Only the stretch the pull-back cut off is left to look at.
      end_point_valid_flag = freeAlong(eroded, end, heading, length - planarDistance(start, end));
      break;
    default:
      end_point_valid_flag = false;
      break;
  }

  double dist = length;
  if (length > params_.repeat_move_dis) {
    dist = params_.repeat_move_dis;
  } else if (params_.temp_forward_dis < length) {
    dist = length - params_.temp_forward_dis;
  }
  geometry_msgs::msg::PoseStamped placed;
  placed.header = end.header;
  placed.pose.position.x = start.pose.position.x + dist * std::cos(heading);
  placed.pose.position.y = start.pose.position.y + dist * std::sin(heading);
  placed.pose.position.z = end.pose.position.z;
  setHeading(placed, heading);
  path_vec.back() = placed;

  LOG_INFO("end_point_valid_flag is {}, uptake_path_case is {}", end_point_valid_flag,
           static_cast<int32_t>(uptake_path_case));
}

bool UptakePath::freeAlong(const cv::Mat& eroded, const geometry_msgs::msg::PoseStamped& start,
                           double heading, double span) const {
  if (eroded.empty() || !(span > 0.0)) {
    return false;
  }
  // A diagonal is bounded by the map; the cap only guards a corrupt length.
  const int steps = static_cast<int>(std::min(std::ceil(span / kSearchStep), 1.0e7));
  for (int i = 0; i < steps; ++i) {
    const double x = start.pose.position.x + kSearchStep * i * std::cos(heading);
    const double y = start.pose.position.y + kSearchStep * i * std::sin(heading);
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap_.worldToMap(x, y, mx, my)) {
      continue;
    }
    if (mx < static_cast<unsigned int>(eroded.cols) &&
        my < static_cast<unsigned int>(eroded.rows) &&
        eroded.at<unsigned char>(static_cast<int>(my), static_cast<int>(mx)) == 255) {
      return true;
    }
  }
  return false;
}

}  // namespace custom_planning
}  // namespace planning
