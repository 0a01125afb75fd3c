#include "planning/custom_planning/water_uptake_path_server.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <utility>

#include "logger/logger.hpp"
#include "nav2_util/robot_utils.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/zone_raster.hpp"
#include "tf2_ros/create_timer_ros.h"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {
namespace custom_planning {

namespace {

constexpr char kMapFrame[] = "map";
constexpr char kRobotFrame[] = "base_footprint";
constexpr double kRobotPoseTimeout = 1.0;
constexpr int kZoneErodeIterations = 8;
// The parameter lines are the constructor's, whichever helper writes them.
constexpr char kConstructor[] = "WaterUptakePathServer";

geometry_msgs::msg::PoseStamped cornerPose(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = 0.0;
  pose.pose.orientation.w = 1.0;
  return pose;
}

std_msgs::msg::ColorRGBA colour(float r, float g, float b) {
  std_msgs::msg::ColorRGBA c;
  c.r = r;
  c.g = g;
  c.b = b;
  c.a = 1.0f;
  return c;
}

}  // namespace

std::shared_ptr<WaterUptakePathServer> WaterUptakePathServer::create(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  auto server = std::make_shared<WaterUptakePathServer>(ConstructionKey(), node);
  server->offerService();
  return server;
}

WaterUptakePathServer::WaterUptakePathServer(
    ConstructionKey /*key*/, const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node)
    : param_prefix_("water_uptake_path_server."), node_(node) {
  const auto host = node_.lock();
  if (!host) {
    throw std::invalid_argument("WaterUptakePathServer needs a living node");
  }
  declareParameters(host);

  costmap_sub_ = std::make_shared<nav2_costmap_2d::CostmapSubscriber>(node_, topic_name_);

  tf_buffer_ = std::make_shared<tf2_ros::Buffer>(host->get_clock(), tf2::durationFromSec(10.0));
  tf_buffer_->setCreateTimerInterface(std::make_shared<tf2_ros::CreateTimerROS>(
      host->get_node_base_interface(), host->get_node_timers_interface()));
  tf_listener_ = std::make_shared<tf2_ros::TransformListener>(*tf_buffer_);

  max_rect_pub_ = host->create_publisher<geometry_msgs::msg::PolygonStamped>(
      "vantrell_nav2_custom_planning/max_rect", rclcpp::QoS(1));
  zone_pub_ = host->create_publisher<geometry_msgs::msg::PolygonStamped>(
      "vantrell_nav2_custom_planning/zone", rclcpp::QoS(1));
  water_points_pub_ = host->create_publisher<visualization_msgs::msg::Marker>(
      "vantrell_nav2_custom_planning/water_points", rclcpp::QoS(10));
}

// The service comes last, once everything a request uses exists: its own callback group may
// serve a request on another executor thread at once. The callback holds the server weakly, so
// that deactivate or cleanup can release it while a request waits; such a request gets an empty
// answer, and one already running keeps the server until it has answered. Whatever a request
// throws (images of a huge costmap that cannot be allocated, say) is its failure, answered like
// the others with an empty path, rather than an exception out of the host's executor.
void WaterUptakePathServer::offerService() {
  const auto host = node_.lock();
  if (!host) {
    throw std::invalid_argument("WaterUptakePathServer needs a living node");
  }
  callback_group_ = host->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  const std::weak_ptr<WaterUptakePathServer> weak_self = weak_from_this();
  water_uptake_service_ = host->create_service<WaterUptakePath>(
      water_uptake_service_name_,
      [weak_self](std::shared_ptr<WaterUptakePath::Request> request,
                  std::shared_ptr<WaterUptakePath::Response> response) {
        const auto self = weak_self.lock();
        if (!self) {
          return;
        }
        try {
          self->waterUptakePathCallback(std::move(request), response);
        } catch (const std::exception& error) {
          LOG_ERROR_FROM("waterUptakePathCallback", "[WaterUptakePathServer] request failed: {}",
                         error.what());
          response->path.clear();
        }
      },
      rmw_qos_profile_services_default, callback_group_);
}

void WaterUptakePathServer::declareParameters(
    const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  const auto name = [this](const char* suffix) { return param_prefix_ + suffix; };
  task_finish_path_len_ = declareAndGetParameter(node, name("task_finish_path_len"), 8.0);
  water_uptake_forward_dis_ = declareAndGetParameter(node, name("water_uptake_forward_dis"), 0.5);
  water_uptake_backward_dis_ = declareAndGetParameter(node, name("water_uptake_backward_dis"), 1.2);
  cur_uptake_pos_offest_ = declareAndGetParameter(node, name("cur_uptake_pos_offest"), -0.5);
  temp_forward_dis_ = declareAndGetParameter(node, name("temp_forward_dis"), 0.5);
  costmap_erode_radius_ = declareAndGetParameter(node, name("costmap_erode_radius"), 1.8);
  repeat_move_dis_ = declareAndGetParameter(node, name("repeat_move_dis"), 5.0);
  min_repeat_move_dis_ = declareAndGetParameter(node, name("min_repeat_move_dis"), 5.0);
  visualize_debug_ = declareAndGetParameter(node, name("visualize_debug"), false);
  topic_name_ =
      declareAndGetParameter(node, name("topic_name"), std::string("/global_costmap/costmap_raw"));

  LOG_INFO_FROM(kConstructor, " task_finish_path_len_ is :{}", task_finish_path_len_);
  LOG_INFO_FROM(kConstructor, " water_uptake_forward_dis_ is :{}", water_uptake_forward_dis_);
  LOG_INFO_FROM(kConstructor, " water_uptake_backward_dis_ is :{}", water_uptake_backward_dis_);
  LOG_INFO_FROM(kConstructor, " cur_uptake_pos_offest_ is :{}", cur_uptake_pos_offest_);
  LOG_INFO_FROM(kConstructor, " temp_forward_dis_ is :{}", temp_forward_dis_);
  LOG_INFO_FROM(kConstructor, " costmap_erode_radius_ is :{}", costmap_erode_radius_);
  LOG_INFO_FROM(kConstructor, " repeat_move_dis_ is :{}", repeat_move_dis_);
  LOG_INFO_FROM(kConstructor, " min_repeat_move_dis_ is :{}", min_repeat_move_dis_);
  LOG_INFO_FROM(kConstructor, " visualize_debug_ is :{}", visualize_debug_);

  water_uptake_service_name_ =
      declareAndGetParameter(node, name("water_uptake_service_name"),
                             std::string("/vantrell_nav2_custom_planning/WaterUptakePath"));
  LOG_INFO_FROM(kConstructor, " water_uptake_service_name_ is :{}", water_uptake_service_name_);
}

void WaterUptakePathServer::waterUptakePathCallback(
    std::shared_ptr<WaterUptakePath::Request> request,
    std::shared_ptr<WaterUptakePath::Response> response) {
  zone_polygons_ = request->zone_polygons;
  try {
    costmap_ = costmap_sub_->getCostmap();
  } catch (const std::exception& e) {
    LOG_ERROR("[WaterUptakePathServer] {}", e.what());
    return;
  }
  if (!costmap_) {
    LOG_ERROR("[WaterUptakePathServer] {}", "no costmap");
    return;
  }

  std::vector<geometry_msgs::msg::PoseStamped> path_vec;
  const auto start = std::chrono::system_clock::now();
  getPostTaskPath(path_vec);
  const auto elapsed = std::chrono::system_clock::now() - start;
  LOG_INFO("[WaterUptakePathServer] getPostTaskPath use time is {} ms",
           std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  response->path = path_vec;
}

void WaterUptakePathServer::buildFreeMap() {
  const int size_x = static_cast<int>(costmap_->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap_->getSizeInCellsY());
  if (free_map_.rows == size_y && free_map_.cols == size_x && free_map_.type() == CV_8UC1) {
    free_map_.setTo(0);
    zone_map_.setTo(0);
  } else {
    free_map_ = cv::Mat::zeros(size_y, size_x, CV_8UC1);
    zone_map_ = cv::Mat::zeros(size_y, size_x, CV_8UC1);
  }
  if (size_x == 0 || size_y == 0) {
    return;
  }
  std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap_->getMutex());
  // Row-major costs, row = cell y: the same layout as the image.
  const cv::Mat costs(size_y, size_x, CV_8UC1, costmap_->getCharMap());
  cv::compare(costs, 0, free_map_, cv::CMP_EQ);
}

bool WaterUptakePathServer::cornerToCell(const cv::Point2f& corner,
                                         const nav2_costmap_2d::Costmap2D& costmap,
                                         unsigned int& mx, unsigned int& my) {
  const unsigned int size_x = costmap.getSizeInCellsX();
  const unsigned int size_y = costmap.getSizeInCellsY();
  if (size_x == 0 || size_y == 0 || !std::isfinite(corner.x) || !std::isfinite(corner.y)) {
    return false;
  }
  const auto clampCell = [](double value, unsigned int size) {
    return static_cast<unsigned int>(std::clamp(std::trunc(value), 0.0, size - 1.0));
  };
  mx = clampCell(corner.x, size_x);
  my = clampCell(corner.y, size_y);
  return true;
}

bool WaterUptakePathServer::getPostTaskPath(
    std::vector<geometry_msgs::msg::PoseStamped>& path_vec) {
  if (!costmap_) {
    LOG_ERROR("[WaterUptakePathServer] {}", "no costmap");
    return false;
  }
  buildFreeMap();

  if (zone_polygons_.empty() || zone_polygons_.front().points.empty()) {
    LOG_ERROR("get goal_zone error, size is zero, error code is {}",
              codes::kWaterUptakeZoneMissing);
    return false;
  }
  const geometry_msgs::msg::Polygon& zone = zone_polygons_.front();
  publishZone(zone);
  LOG_INFO("zone_polygons_ points size is {}", zone.points.size());
  if (zone.points.size() < 3) {
    LOG_ERROR("zone_polygons_ points must larger than 2");
    return false;
  }

  // Every corner must lie on the map: a zone cut short would be another zone.
  const ZoneCells cells = zoneCells(zone, *costmap_);
  if (!cells.off_map.empty()) {
    LOG_ERROR("[WaterUptakePathServer] getPostTaskPath worldToMap failed");
    return false;
  }
  const std::vector<cv::Point>& contour = cells.outline;
  fillZone(contour, zone_map_);
  cv::bitwise_and(free_map_, zone_map_, zone_map_);
  // The border counts as free, so a zone at the map edge keeps its edge cells.
  cv::erode(zone_map_, zone_map_, cv::Mat(), cv::Point(-1, -1), kZoneErodeIterations,
            cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());

  const int free_count = cv::countNonZero(zone_map_);
  if (free_count == 0) {
    LOG_WARN("count non zero is {}", free_count);
    return false;
  }

  cv::Point2f corners[4];
  try {
    const cv::Mat_<unsigned char> zone_mask(zone_map_);
    const cv::RotatedRect rect = largestRectInNonConvexPoly(contour, zone_mask);
    rect.points(corners);
  } catch (const cv::Exception& e) {
    LOG_WARN("{}", e.what());
    return false;
  }

  std::vector<geometry_msgs::msg::PoseStamped> corner_poses;
  geometry_msgs::msg::Polygon rect_polygon;
  for (const auto& corner : corners) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!cornerToCell(corner, *costmap_, mx, my)) {
      LOG_ERROR("[WaterUptakePathServer] rectangle corner ({}, {}) is not a cell", corner.x,
                corner.y);
      return false;
    }
    double wx = 0.0;
    double wy = 0.0;
    costmap_->mapToWorld(mx, my, wx, wy);
    geometry_msgs::msg::Point32 point;
    point.x = static_cast<float>(wx);
    point.y = static_cast<float>(wy);
    point.z = 0.0f;
    rect_polygon.points.push_back(point);
    corner_poses.push_back(cornerPose(wx, wy));
  }
  publishMaxRect(rect_polygon);

  geometry_msgs::msg::PoseStamped robot;
  if (!nav2_util::getCurrentPose(robot, *tf_buffer_, kMapFrame, kRobotFrame, kRobotPoseTimeout)) {
    LOG_ERROR("[WaterUptakePathServer] failed to get robot pose");
    return false;
  }

  size_t nearest = 0;
  double nearest_dis = std::numeric_limits<double>::max();
  for (size_t k = 0; k < corner_poses.size(); ++k) {
    const double dis = geometry::planarDistance(corner_poses[k], robot);
    if (dis < nearest_dis) {
      nearest_dis = dis;
      nearest = k;
    }
  }

  path_vec.clear();
  path_vec.push_back(corner_poses[nearest]);
  path_vec.push_back(corner_poses[(nearest + 2) % 4]);
  computeUptakePath(free_map_, path_vec, robot);
  publishWaterPoints(path_vec);
  return true;
}

void WaterUptakePathServer::computeUptakePath(
    const cv::Mat& mask, std::vector<geometry_msgs::msg::PoseStamped>& path_vec,
    const geometry_msgs::msg::PoseStamped& robot) const {
  if (!costmap_) {
    LOG_ERROR("[WaterUptakePathServer] {}", "no costmap");
    return;
  }
  UptakePathParams params;
  params.task_finish_path_len = task_finish_path_len_;
  params.water_uptake_forward_dis = water_uptake_forward_dis_;
  params.water_uptake_backward_dis = water_uptake_backward_dis_;
  params.cur_uptake_pos_offest = cur_uptake_pos_offest_;
  params.temp_forward_dis = temp_forward_dis_;
  params.costmap_erode_radius = costmap_erode_radius_;
  params.repeat_move_dis = repeat_move_dis_;
  UptakePath(params, *costmap_).computeUptakePath(mask, path_vec, robot);
}

void WaterUptakePathServer::publishPolygon(
    const std::shared_ptr<rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>>& publisher,
    const geometry_msgs::msg::Polygon& polygon) {
  geometry_msgs::msg::PolygonStamped message;
  message.header.frame_id = kMapFrame;
  message.header.stamp.sec = 0;
  message.header.stamp.nanosec = 0;
  message.polygon = polygon;
  publisher->publish(message);
}

void WaterUptakePathServer::publishZone(const geometry_msgs::msg::Polygon& polygon) {
  publishPolygon(zone_pub_, polygon);
}

void WaterUptakePathServer::publishMaxRect(const geometry_msgs::msg::Polygon& polygon) {
  publishPolygon(max_rect_pub_, polygon);
}

void WaterUptakePathServer::publishWaterPoints(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  visualization_msgs::msg::Marker marker;
  marker.header.frame_id = kMapFrame;
  marker.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  marker.ns = "multi_points";
  marker.id = 0;
  marker.type = visualization_msgs::msg::Marker::POINTS;
  marker.action = visualization_msgs::msg::Marker::ADD;
  marker.scale.x = 0.1;
  marker.scale.y = 0.1;
  marker.scale.z = 0.0;
  marker.lifetime.sec = 0;
  marker.lifetime.nanosec = 0;
  for (size_t i = 0; i < poses.size(); ++i) {
    geometry_msgs::msg::Point point;
    point.x = poses[i].pose.position.x;
    point.y = poses[i].pose.position.y;
    point.z = 0.0;
    marker.points.push_back(point);
    marker.colors.push_back(i == 0   ? colour(0.0f, 1.0f, 0.0f)
                            : i == 1 ? colour(1.0f, 0.0f, 0.0f)
                                     : colour(0.0f, 0.0f, 1.0f));
  }
  water_points_pub_->publish(marker);
}

}  // namespace custom_planning
}  // namespace planning
