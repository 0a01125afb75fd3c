// The road of one "dynamic_coverage_planning" planning cycle, on the local planning action's
// worker thread: the path cut at the robot, the obstacle rules, the replan with its corner cut,
// and the stretch handed out.
#include <chrono>
#include <cmath>
#include <limits>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"
#include "planning/search_options.hpp"

namespace planning {

namespace {

// A stretch that starts this far from the robot is joined to it by a grid search.
constexpr double kJoinDistance = 0.3;
// Options of the join search: cost-aware steps, half a metre of tolerance at either end, a
// budget for the whole local map.
constexpr double kJoinFuzzyRange = 0.5;
// A path with less than this left is used up.
constexpr double kUsedUpLength = 0.1;
// A path with less than this left is short...
constexpr double kShortLength = 1.0;
// ...and replanned when the robot stands this close to an obstacle.
constexpr double kShortPathObstacleDistance = 0.8;
// A current path ending this close to the stored corner ends at it.
constexpr double kCornerReach = 0.1;
// A replan with the robot this close to where it last turned at a corner turns it again.
constexpr double kCornerReturn = 0.5;
// The turn test aims at the first pose at least this far from the robot.
constexpr double kSpinStep = 0.3;
// Two compared poses further apart than this differ.
constexpr double kSimilarPoseDistance = 0.2;

}  // namespace

bool DynamicCoveragePlanning::makePlan(Path& out, ControlState& control, bool& /*need_replan*/) {
  control.finished = finished_;
  out.nav_path.poses.clear();
  // A task without a zone to clean has nothing to plan; its intake has said why, once.
  if (!global_path_uuid_.empty() && current_contours_->empty()) {
    return false;
  }
  Cycle cycle;
  cycle.started = std::chrono::system_clock::now();
  const int cached = getNextGlobalPath(cycle.current);
  if (cached < 0) {
    return false;
  }
  if (cached > 0) {
    out.nav_path.header = cycle.current.nav_path.header;
  }
  if (!updateRobotPose()) {
    return false;
  }
  contour_manager_->setRobotPose(robot_pose_);
  contour_manager_->setRobotCell(robot_cell_x_, robot_cell_y_);
  contour_manager_->locationCoverter().updateOrigin();
  if (!cycle.current.nav_path.poses.empty()) {
    cutPath(cycle.current, robot_pose_, cycle.far, cycle.stuck);
  }
  cycle.remaining = remainingLength(cycle.current.nav_path);
  if (enable_contour_dilation_ && contour_manager_->detectContourHollow(cycle.hollow)) {
    cycle.replan = true;
    cycle.dilated = true;
    trace("DynamicCoveragePlanning::makePlan try dilated, start planning");
  }
  if (waittingDynamicObstacles(out.nav_path, control)) {
    return true;
  }
  publishActiveTriggerRosbag(cycle.current.nav_path, local_gridmap_);
  localCostmapMorphology(cycle.image);
  if (stopObstacle(cycle.image, cycle.replan, control, cycle.current.nav_path, out.nav_path)) {
    return true;
  }
  cycle.reached = endsAtStoredCorner(cycle.current);
  if (replanRequested(cycle)) {
    const Next next = replanContour(cycle, out, control);
    if (next != Next::kTail) {
      return next == Next::kDone;
    }
  } else {
    zelto_need_rotation_ = false;
  }
  return finishCycle(cycle, out);
}

double DynamicCoveragePlanning::remainingLength(const nav_msgs::msg::Path& path) const {
  double length = 0.0;
  for (std::size_t i = 1; i < path.poses.size() && length < path_length_horizon_; ++i) {
    length += base_robot_.calDistance(path.poses[i - 1], path.poses[i]);
  }
  return length;
}

bool DynamicCoveragePlanning::endsAtStoredCorner(const Path& current) {
  const auto& poses = current.nav_path.poses;
  if (!douglas_peuker_->hasZeltoCorner() || poses.empty() ||
      base_robot_.calDistance(douglas_peuker_->getZeltoPose(), poses.back()) > kCornerReach) {
    return false;
  }
  zelto_rotation_angle_ = douglas_peuker_->getZeltoYaw();
  return true;
}

bool DynamicCoveragePlanning::replanRequested(const Cycle& cycle) {
  // In this order: each test may log, and the first has an effect of its own.
  if (contour_manager_->rePlanCleanPath()) {
    LOG_INFO("DynamicCoveragePlanning::makePlan replan_clean_path");
    return true;
  }
  return pathTooshortReplan(cycle.reached, cycle.remaining) || cycle.replan ||
         off_path_count_ > off_path_count_limit_ || cycle.remaining < kUsedUpLength;
}

DynamicCoveragePlanning::Next DynamicCoveragePlanning::replanContour(Cycle& cycle, Path& out,
                                                                     ControlState& control) {
  off_path_count_ = 0;
  zero_index_count_ = 0;
  contour_manager_->setObstacleMat(cycle.image);
  contour_path_->paths.clear();
  contour_manager_->getContourPath(*contour_path_, cycle.dilated, cycle.hollow);
  updateGlobalPaths(workingSet());
  if (getNextGlobalPath(cycle.current) < 0 || !updateRobotPose()) {
    return Next::kFailed;
  }
  trace("contour_path_ size is {}", contour_path_->paths.size());
  finished_ = contour_manager_->isFinished();
  control.finished = finished_;
  trace("finished={}", finished_);
  if (contour_path_->paths.empty()) {
    LOG_WARN("DynamicCoveragePlanning::makePlan contour_path_->poses is empty");
    out.nav_path.poses.assign(1, robot_pose_);
    calculateCleaningEfficiency();
    return Next::kDone;
  }
  setForcedSpin(cycle);
  cutAtCorner(cycle.current);
  cutPath(cycle.current, robot_pose_, cycle.far, cycle.stuck);
  return Next::kTail;
}

DynamicCoveragePlanning::MultiPaths DynamicCoveragePlanning::workingSet() {
  MultiPaths set = *contour_path_;
  if (set.paths.empty()) {
    return set;
  }
  if (!set.paths.front().move_backward) {
    // The whole set becomes one forward path.
    Path joined;
    joined.nav_path.header = set.paths.front().nav_path.header;
    for (const auto& path : set.paths) {
      const auto& poses = path.nav_path.poses;
      joined.nav_path.poses.insert(joined.nav_path.poses.end(), poses.begin(), poses.end());
    }
    prepareContourPath(joined.nav_path);
    set.paths.assign(1, joined);
  } else if (set.paths.size() == 2) {
    // Backing out first: only the forward path after it is prepared.
    prepareContourPath(set.paths[1].nav_path);
  }
  return set;
}

void DynamicCoveragePlanning::prepareContourPath(nav_msgs::msg::Path& path) {
  const auto step = static_cast<float>(path_sample_distance_);
  path_product_->resamplePath(path, step);
  removeConcavePoints(path, third_gridmap_, max_dis_threshold_, global_path_offset_, true);
  path_product_->resamplePath(path, step);
}

void DynamicCoveragePlanning::setForcedSpin(const Cycle& cycle) {
  zelto_need_rotation_ = false;
  const bool corner = douglas_peuker_->hasZeltoCorner();
  // The robot has run out the path at the stored corner: it turns there before the new path.
  if (cycle.remaining < kUsedUpLength && cycle.reached && corner &&
      !cycle.current.nav_path.poses.empty()) {
    zelto_need_rotation_ = true;
    zelto_rotation_angle_ = douglas_peuker_->getZeltoYaw();
    zelto_pose_ = cycle.current.nav_path.poses.back();
  }
  if (cycle.replan && corner &&
      base_robot_.calDistance(zelto_pose_, robot_pose_) <= kCornerReturn) {
    zelto_need_rotation_ = true;
    zelto_rotation_angle_ = douglas_peuker_->getZeltoYaw();
  }
}

void DynamicCoveragePlanning::cutAtCorner(Path& current) {
  const auto started = std::chrono::steady_clock::now();
  if (contour_path_->paths.size() == 1 && !current.move_backward) {
    douglas_peuker_->processPath(current.nav_path.poses);
  }
  LOG_DEBUG("!!!!!!!!!!!!!!!!!!!!!!!zelto corner select time is {}",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  zelto_path_cut_ = false;
  const auto grid = global_gridmap_->getMultiGridMap();
  const auto& candidates = douglas_peuker_->getCornerCandidates();
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!grid->getCostmap()->worldToMap(candidates[k].x, candidates[k].y, mx, my)) {
      LOG_WARN("The zelto corner point is out of the local score map !!!!!!!!!!");
      continue;
    }
    const double distance = grid->getDistance(mx, my);
    trace("The distance between zelto corner and obstacle is: {}", distance);
    // A corner near an obstacle is where the robot must stop and turn rather than sweep round.
    if (distance < dis_zelto_to_obstacle_) {
      zelto_path_cut_ =
          douglas_peuker_->cutPathFromZelto(current.nav_path.poses, k, forward_offset_dis_);
      return;
    }
  }
}

bool DynamicCoveragePlanning::finishCycle(Cycle& cycle, Path& out) {
  // Cleaning starts where the robot reaches the zone: at its outline when it comes from outside,
  // or at once when it is inside already (it may never come near an outline drawn along walls).
  if (!coverage_triggered_ &&
      (contour_manager_->hasReachedContour() || contour_manager_->isRobotInCurrentZone())) {
    communicator_->getPlanningUnit()->triggerCleanCoverage(true, path_overlap_distance_,
                                                           coverage_width_);
    coverage_triggered_ = true;
    contour_manager_->setCoverageStart(robot_pose_);
  }
  if (cycle.stuck) {
    ++off_path_count_;
    Path scratch;
    sharp_angle_planning_->generatePath(-1, zero_index_count_, cycle.far, clip_state_first_,
                                        clip_state_second_, robot_pose_, cycle.current, scratch);
  }
  takeStretch(cycle.current, out);
  if (!out.nav_path.poses.empty() && !joinRobot(cycle.current, out)) {
    calculateCleaningEfficiency();
    return false;
  }
  if (!out.nav_path.poses.empty()) {
    out.move_backward = checkContourDirection(out, robot_pose_);
    out.check_blocked = out.move_backward;
  }
  trace("DynamicCoveragePlanning::makePlan path_msg.poses size is {}", out.nav_path.poses.size());
  if (out.nav_path.poses.empty() && finished_) {
    out.nav_path.poses.assign(1, robot_pose_);
  }
  pubCoveredInfo();
  trace("DynamicCoveragePlanning::makePlan use time is  {} ms",
        static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now() - cycle.started)
                                 .count()));
  calculateCleaningEfficiency();
  return true;
}

void DynamicCoveragePlanning::takeStretch(const Path& current, Path& out) const {
  const auto& poses = current.nav_path.poses;
  // Nothing left to follow: the finished handling decides what the robot gets.
  if (poses.empty()) {
    return;
  }
  out.nav_path.poses.push_back(poses.front());
  double length = 0.0;
  for (std::size_t i = 1; i < poses.size(); ++i) {
    length += base_robot_.calDistance(poses[i - 1], poses[i]);
    if (!(length < dynamic_coverage_local_path_distance_)) {
      return;
    }
    out.nav_path.poses.push_back(poses[i]);
  }
}

bool DynamicCoveragePlanning::joinRobot(const Path& current, Path& out) {
  auto& poses = out.nav_path.poses;
  if (base_robot_.calDistance(poses.front(), robot_pose_) < kJoinDistance) {
    return true;
  }
  if (!local_planner_) {
    LOG_ERROR("DynamicCoveragePlanning::makePlan no local grid search to join the robot");
    return false;
  }
  SearchFields fields;
  fields.cost_aware = true;
  fields.start_tolerance = kJoinFuzzyRange;
  fields.goal_tolerance = kJoinFuzzyRange;
  fields.path_tolerance = static_cast<double>(current.tolerance);
  fields.budget = kSearchBudget;
  const AstarOptions options = searchOptions(fields);
  Path join;
  if (!local_planner_->searchPath(robot_pose_, poses.front(), options, join)) {
    return false;
  }
  const auto& joined = join.nav_path.poses;
  poses.insert(poses.begin(), joined.begin(), joined.end());
  return true;
}

void DynamicCoveragePlanning::cutPath(Path& path, PoseStamped& robot, bool& far, bool& stuck) {
  auto& poses = path.nav_path.poses;
  std::size_t best = 0;
  double nearest = std::numeric_limits<double>::max();
  double farthest = 0.0;
  double length = 0.0;
  for (std::size_t k = 0; k + 1 < poses.size(); ++k) {
    length += base_robot_.calDistance(poses[k], poses[k + 1]);
    const double distance = base_robot_.calDistance(robot, poses[k]);
    if (distance < nearest) {
      nearest = distance;
      best = k;
    }
    farthest = std::max(farthest, distance);
    if (length >= cut_path_forward_dis_) {
      // The robot stands near the whole searched stretch: it is as good as at its end.
      if (farthest <= cut_path_tolerance_max_dis_) {
        best = k;
      }
      break;
    }
  }
  if (nearest >= cut_path_forward_dis_) {
    LOG_WARN("The robot is far away from the path !!!!!!!");
    far = true;
  }
  trace("cut path the index is: {}", best);
  if (best <= 1) {
    ++zero_index_count_;
    if (zero_index_count_ >= tolerance_zero_index_count_) {
      stuck = true;
    }
  } else {
    zero_index_count_ = 0;
  }
  poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(best));
  updateCurrentGlobalPath(path);
}

bool DynamicCoveragePlanning::pathTooshortReplan(bool reached, double remaining) {
  if (reached) {
    return false;
  }
  if (remaining < kShortLength) {
    const auto grid = local_gridmap_->getMultiGridMap();
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!grid->getCostmap()->worldToMap(robot_pose_.pose.position.x, robot_pose_.pose.position.y,
                                        mx, my)) {
      return false;
    }
    const double distance = grid->getDistance(mx, my);
    LOG_WARN("DynamicCoveragePlanning::pathTooshortReplan obstacle dis:{}", distance);
    return distance <= kShortPathObstacleDistance;
  }
  if (remaining < path_length_horizon_) {
    return !contour_manager_->isNarrowContour();
  }
  return false;
}

bool DynamicCoveragePlanning::takeRobotPose() {
  PoseStamped pose;
  if (!global_gridmap_->getCostmapROS()->getRobotPose(pose)) {
    LOG_ERROR("[DynamicCoveragePlanning]updateRobotPose , getRobotPose is failed");
    return false;
  }
  robot_pose_ = pose;
  robot_pose_valid_ = true;
  return true;
}

bool DynamicCoveragePlanning::updateRobotPose() {
  const PoseStamped kept = robot_pose_;
  if (!takeRobotPose()) {
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!global_gridmap_->getMultiGridMap()->getCostmap()->worldToMap(
          robot_pose_.pose.position.x, robot_pose_.pose.position.y, mx, my)) {
    LOG_ERROR("[DynamicCoveragePlanning]updateRobotPose , worldToMap is failed");
    robot_pose_ = kept;
    return false;
  }
  robot_cell_x_ = mx;
  robot_cell_y_ = my;
  return true;
}

bool DynamicCoveragePlanning::checkContourDirection(const Path& path, const PoseStamped& robot) {
  double min_angle = 0.0;
  double max_angle = 0.0;
  spin_collision_->getSpinAngle(robot, path.nav_path, kSpinStep, min_angle, max_angle);
  return min_angle < -geometry::kPi / 2.0 && max_angle > geometry::kPi / 2.0 &&
         !spin_collision_->isCollisionFree(robot, min_angle, max_angle);
}

double DynamicCoveragePlanning::calculatePathSimilarity(const nav_msgs::msg::Path& path1,
                                                        const nav_msgs::msg::Path& path2,
                                                        bool& differs) const {
  differs = false;
  LOG_DEBUG("path1.poses.size()={}; path2.poses.size()={}", path1.poses.size(), path2.poses.size());
  if (path1.poses.size() != path2.poses.size() || path1.poses.empty()) {
    return 0.0;
  }
  double sum = 0.0;
  for (std::size_t i = 0; i < path1.poses.size(); ++i) {
    const double distance = base_robot_.calDistance(path1.poses[i], path2.poses[i]);
    differs = differs || distance > kSimilarPoseDistance;
    sum += distance;
  }
  return sum;
}

}  // namespace planning
