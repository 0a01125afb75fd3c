#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "rclcpp/clock.hpp"
#include "rclcpp/logging.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/multi_grid_map.hpp"
#include "vantrell_nav2_planner/astar2/grid_search.hpp"
#include "vantrell_nav2_planner/astar2/grid_view.hpp"
#include "vantrell_nav2_planner/astar2/search_workspace.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

// One budget unit of AstarOptions::int_60, in expanded cells.
constexpr std::size_t kExpansionsPerBudgetUnit = 10000;

const char* describe(SearchStatus status) {
  switch (status) {
    case SearchStatus::kFound:
      return "found";
    case SearchStatus::kStartOffMap:
      return "the start lies beside the map";
    case SearchStatus::kStartBlocked:
      return "the start is blocked and no usable cell lies within the start tolerance";
    case SearchStatus::kGoalOffMap:
      return "the goal lies beside the map";
    case SearchStatus::kGoalBlocked:
      return "the goal is blocked and no usable cell lies within the goal tolerance";
    case SearchStatus::kNoRoute:
      return "no route leads to the goal";
    case SearchStatus::kBudgetExhausted:
      return "the search budget ran out";
  }
  return "unknown";
}

bool finitePosition(const geometry_msgs::msg::PoseStamped& pose) {
  return std::isfinite(pose.pose.position.x) && std::isfinite(pose.pose.position.y);
}

bool validLength(double metres) { return std::isfinite(metres) && metres >= 0.0; }

// The cell holding a world position; far-off positions are clamped so that they stay beside
// the map rather than overflow.
GridCell toCell(const vantrell_nav2_gridmap::GridLayers& layers, double wx, double wy) {
  constexpr double kFar = 1e9;
  const double x = std::floor((wx - layers.origin_x) / layers.resolution);
  const double y = std::floor((wy - layers.origin_y) / layers.resolution);
  return GridCell{static_cast<int>(std::clamp(x, -kFar, kFar)),
                  static_cast<int>(std::clamp(y, -kFar, kFar))};
}

geometry_msgs::msg::Quaternion yawToQuaternion(double yaw) {
  geometry_msgs::msg::Quaternion q;
  q.x = 0.0;
  q.y = 0.0;
  q.z = std::sin(yaw / 2.0);
  q.w = std::cos(yaw / 2.0);
  return q;
}

// Why a map cannot be searched, or null.
const char* mapProblem(const vantrell_nav2_gridmap::GridLayers* layers) {
  if (layers == nullptr) {
    return "no grid map layers to search";
  }
  const std::size_t cells = static_cast<std::size_t>(layers->size_x) * layers->size_y;
  if (cells == 0U || layers->cost.size() != cells || layers->danger.size() != cells ||
      !(layers->resolution > 0.0) || !std::isfinite(layers->resolution)) {
    return "the grid map layers are empty or malformed";
  }
  if (cells > std::numeric_limits<std::uint32_t>::max()) {
    return "the grid map has more cells than a search can index";
  }
  return nullptr;
}

// Why a request cannot be searched, or null.
const char* requestProblem(const geometry_msgs::msg::PoseStamped& start,
                           const geometry_msgs::msg::PoseStamped& goal,
                           const AstarOptions& options) {
  if (!finitePosition(start) || !finitePosition(goal)) {
    return "start or goal position is not finite";
  }
  if (!validLength(options.fuzzy_range) || !validLength(options.goal_fuzzy_range)) {
    return "a tolerance is negative or not finite";
  }
  if (options.int_60 < 0) {
    return "the search budget is negative";
  }
  return nullptr;
}

// Builds the corridor of the reference path when the options ask for one that can matter.
const ReferenceCorridor* buildCorridor(const vantrell_nav2_gridmap::GridLayers& layers,
                                       const GridView& view, const AstarOptions& options,
                                       ReferenceCorridor& corridor) {
  if (!options.use_reference_path || options.reference_path == nullptr) {
    return nullptr;
  }
  const AstarReferencePath& reference = *options.reference_path;
  if (!(std::isfinite(reference.path_cost) && reference.path_cost > 0.0) ||
      reference.path.poses.empty()) {
    return nullptr;
  }
  std::vector<GridCell> points;
  points.reserve(reference.path.poses.size());
  for (const auto& pose : reference.path.poses) {
    if (finitePosition(pose)) {
      points.push_back(toCell(layers, pose.pose.position.x, pose.pose.position.y));
    }
  }
  const double band = (validLength(reference.range) ? reference.range / layers.resolution : 0.0) +
                      std::max(0, options.offset_cells);
  const double ramp =
      validLength(reference.distance) ? reference.distance / layers.resolution : 0.0;
  const float penalty = static_cast<float>(std::min(reference.path_cost, 1e6));
  return corridor.build(view, points, band, ramp, penalty) ? &corridor : nullptr;
}

void fillPoses(const vantrell_nav2_gridmap::GridLayers& layers, const GridView& view,
               const std::vector<std::uint32_t>& cells,
               const geometry_msgs::msg::PoseStamped& start,
               const geometry_msgs::msg::PoseStamped& goal, bool goal_reached,
               nav_msgs::msg::Path& path) {
  auto& poses = path.poses;
  poses.resize(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const GridCell cell = view.cell(cells[i]);
    auto& pose = poses[i];
    pose.header = path.header;
    pose.pose.position.x = layers.origin_x + (cell.x + 0.5) * layers.resolution;
    pose.pose.position.y = layers.origin_y + (cell.y + 0.5) * layers.resolution;
    pose.pose.position.z = 0.0;
  }
  poses.front().pose.position.x = start.pose.position.x;
  poses.front().pose.position.y = start.pose.position.y;
  if (goal_reached) {
    poses.back().pose.position.x = goal.pose.position.x;
    poses.back().pose.position.y = goal.pose.position.y;
  }
  if (poses.size() == 1) {
    poses.front().pose.orientation = goal.pose.orientation;
    return;
  }
  // Between cell centres a heading follows from the step between the cells: a run of equal steps
  // shares one. The first and the last pose may lie off their cells' centres.
  geometry_msgs::msg::Quaternion heading;
  std::int64_t last_step = 0;  // no step: none is 0
  for (std::size_t i = 0; i + 1 < poses.size(); ++i) {
    const bool centres = i > 0 && (i + 2 < poses.size() || !goal_reached);
    const std::int64_t step =
        centres ? static_cast<std::int64_t>(cells[i + 1]) - static_cast<std::int64_t>(cells[i]) : 0;
    if (step == 0 || step != last_step) {
      const auto& here = poses[i].pose.position;
      const auto& next = poses[i + 1].pose.position;
      heading = yawToQuaternion(std::atan2(next.y - here.y, next.x - here.x));
      last_step = step;
    }
    poses[i].pose.orientation = heading;
  }
  poses.back().pose.orientation = heading;
}

}  // namespace

AstarPlanner::AstarPlanner(std::string name, std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map)
    : name_(std::move(name)), map_(std::move(map)) {
  if (!map_) {
    RCLCPP_ERROR(rclcpp::get_logger(name_),
                 "grid search '%s' has no grid map: every search will fail", name_.c_str());
  }
}

bool AstarPlanner::searchPath(const geometry_msgs::msg::PoseStamped& start_pose,
                              const geometry_msgs::msg::PoseStamped& goal_pose,
                              const AstarOptions& options,
                              vantrell_nav2_protocol::msg::Path& path) {
  if (const auto scripted = scriptedSearch(start_pose, goal_pose, options, path)) {
    return *scripted;
  }
  // The ends may be poses of the path about to be reset (a caller planning again along its
  // last path): keep them before the reset.
  const geometry_msgs::msg::PoseStamped start = start_pose;
  const geometry_msgs::msg::PoseStamped goal = goal_pose;
  path = vantrell_nav2_protocol::msg::Path();
  path.tolerance = static_cast<float>(options.tolerance);
  const auto logger = rclcpp::get_logger(name_);
  std::size_t expansions = 0;
  const auto fail = [&](bool blocked) {
    path.check_blocked = blocked;
    remember(start, goal, options, expansions, false);
    return false;
  };

  const auto grid_map = map_ ? map_->getMultiGridMap() : nullptr;
  const auto layers = grid_map ? grid_map->getLayers() : nullptr;
  if (const char* problem = mapProblem(layers.get())) {
    RCLCPP_ERROR(logger, "grid search '%s': %s", name_.c_str(), problem);
    return fail(false);
  }
  if (const char* problem = requestProblem(start, goal, options)) {
    RCLCPP_WARN(logger, "grid search '%s' refused: %s", name_.c_str(), problem);
    return fail(false);
  }

  const GridView view{layers->size_x, layers->size_y, layers->cost.data(), layers->danger.data()};
  const WorkspacePool::Lease lease = workspaces_.take();
  SearchWorkspace& workspace = *lease;
  SearchSettings settings;
  settings.cost_aware = options.byte_0;
  settings.keep_turning_room = options.byte_2;
  settings.max_expansions = static_cast<std::size_t>(options.int_60) * kExpansionsPerBudgetUnit;
  settings.start_radius = options.fuzzy_range / layers->resolution;
  settings.goal_radius = options.goal_fuzzy_range / layers->resolution;
  settings.corridor = buildCorridor(*layers, view, options, workspace.corridor());
  const auto landmarks = landmarks_->tablesFor(layers, settings.cost_aware);
  settings.landmarks = landmarks.get();

  GridSearch search(view, workspace);
  const SearchOutcome outcome =
      search.run(toCell(*layers, start.pose.position.x, start.pose.position.y),
                 toCell(*layers, goal.pose.position.x, goal.pose.position.y), settings);
  expansions = outcome.expansions;
  if (outcome.status != SearchStatus::kFound) {
    const bool off_map =
        outcome.status == SearchStatus::kStartOffMap || outcome.status == SearchStatus::kGoalOffMap;
    // Positions beside the map are the caller's mistake; blocked cells are the map's news.
    RCLCPP_WARN_EXPRESSION(logger, off_map,
                           "grid search '%s' from (%.3f, %.3f) to (%.3f, %.3f) refused: %s",
                           name_.c_str(), start.pose.position.x, start.pose.position.y,
                           goal.pose.position.x, goal.pose.position.y, describe(outcome.status));
    RCLCPP_DEBUG_EXPRESSION(logger, !off_map,
                            "grid search '%s' from (%.3f, %.3f) to (%.3f, %.3f) failed: %s",
                            name_.c_str(), start.pose.position.x, start.pose.position.y,
                            goal.pose.position.x, goal.pose.position.y, describe(outcome.status));
    return fail(isBlockedFailure(outcome.status));
  }

  const auto costmap_ros = map_->getCostmapROS();
  path.nav_path.header.frame_id = costmap_ros ? costmap_ros->getGlobalFrameID() : std::string();
  path.nav_path.header.stamp = rclcpp::Clock(RCL_ROS_TIME).now();
  fillPoses(*layers, view, search.path(), start, goal, outcome.goal_reached, path.nav_path);
  path.check_blocked = true;
  remember(start, goal, options, expansions, true);
  return true;
}

bool AstarPlanner::searchPaths(const geometry_msgs::msg::PoseStamped& start,
                               const geometry_msgs::msg::PoseStamped& goal,
                               const AstarOptions& options,
                               vantrell_nav2_protocol::msg::MultiPaths& paths) {
  if (const auto scripted = scriptedSearch(start, goal, options, paths)) {
    return *scripted;
  }
  paths.paths.clear();
  vantrell_nav2_protocol::msg::Path path;
  if (!searchPath(start, goal, options, path)) {
    return false;
  }
  paths.header = path.nav_path.header;
  paths.paths.push_back(std::move(path));
  return true;
}

void AstarPlanner::prepare() {
  const auto grid_map = map_ ? map_->getMultiGridMap() : nullptr;
  const auto layers = grid_map ? grid_map->getLayers() : nullptr;
  if (mapProblem(layers.get()) != nullptr) {
    return;  // no map yet: the first search builds what it needs
  }
  landmarks_->prepare(layers);
  try {
    workspaces_.take()->prepare(static_cast<std::size_t>(layers->size_x) * layers->size_y);
  } catch (const std::bad_alloc&) {
    // Not the host's failure: the search that needs the memory tries again and fails alone.
    RCLCPP_WARN(rclcpp::get_logger(name_),
                "grid search '%s': no memory for a search of the map yet", name_.c_str());
  }
}

void AstarPlanner::remember(const geometry_msgs::msg::PoseStamped& start,
                            const geometry_msgs::msg::PoseStamped& goal,
                            const AstarOptions& options, std::size_t expansions, bool found) {
  std::optional<AstarReferencePath> reference;
  if (options.reference_path != nullptr) {
    reference = *options.reference_path;
  }
  std::lock_guard<std::mutex> lock(record_mutex_);
  ++record_.calls;
  record_.start = start;
  record_.goal = goal;
  record_.options = options;
  record_.reference_path = std::move(reference);
  record_.expansions = expansions;
  record_.found = found;
}

SearchStatistics AstarPlanner::lastSearchStatistics() const {
  std::lock_guard<std::mutex> lock(record_mutex_);
  SearchStatistics statistics;
  statistics.expanded_cells = record_.expansions;
  statistics.found = record_.found;
  return statistics;
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
