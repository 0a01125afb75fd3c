#ifndef VANTRELL_NAV2_SMOOTHER__DOUGLAS_PEUKER_HPP_
#define VANTRELL_NAV2_SMOOTHER__DOUGLAS_PEUKER_HPP_

#include <cstddef>
#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace vantrell_nav2_smoother {
struct Vec2;
}  // namespace vantrell_nav2_smoother

/**
 * Finds the corners of a path where a robot following it had better stop and
 * turn on the spot, and cuts the path just past one of them.
 *
 * processPath simplifies the path with the Douglas-Peucker rule (tolerance
 * `select_corner_error` metres). A simplified vertex becomes a corner
 * candidate when the path turns there by more than `select_zelto_theta`
 * degrees and the leg after it is straight (no pose of it further than
 * `select_zelto_error` metres from its chord) and at least `linear_need_dis`
 * metres long. Candidates come in path order.
 *
 * The object also keeps one stored corner, the corner the robot is to turn
 * at: processPath stores the first candidate within `dis_zelto_to_corner`
 * metres of the robot (robot pose from the grid map's costmap, or the path's
 * first pose when there is none), and cutPathFromZelto stores the point it
 * cut at. Its heading is that of the leg after the corner.
 *
 * One owner thread per object.
 */
class DouglasPeuker {
 public:
  struct Corner {
    double x{0.0};  // metres, in the path's frame
    double y{0.0};
    double yaw{0.0};  // heading of the leg after the corner, radians
    size_t index{0};  // pose index in the path given to processPath
  };

  /// Throws std::invalid_argument for an empty grid map pointer or a value that is negative or
  /// not finite.
  DouglasPeuker(double select_corner_error, double select_zelto_error, double select_zelto_theta,
                double dis_zelto_to_corner, double linear_need_dis,
                std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap);

  /// Forgets the candidates, the simplified path and the stored corner.
  void reset();

  /**
   * Finds the corner candidates of the path (replacing the earlier ones) and
   * stores the first one near the robot. A path of fewer than three poses, or
   * one holding a non-finite position, has no candidates.
   */
  void processPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses);

  /**
   * Cuts the path forward_offset metres (along the path) after candidate k:
   * the poses beyond go, and a pose at the cut point, heading along its
   * segment, ends the path. A path too short for the offset is kept whole.
   * Stores the cut point, with the heading of the leg after the corner, as
   * the stored corner. False, with path and stored corner untouched, for a k
   * that is not a candidate, an empty path, a negative or non-finite offset,
   * or a path that does not pass the candidate.
   */
  bool cutPathFromZelto(std::vector<geometry_msgs::msg::PoseStamped>& poses, size_t k,
                        double forward_offset);

  const std::vector<Corner>& getCornerCandidates() const { return candidates_; }
  /// Indices of the poses that the simplification of the last processPath kept.
  const std::vector<size_t>& getSimplifiedIndices() const { return simplified_; }

  bool hasZeltoCorner() const { return has_zelto_; }
  /// The stored corner's pose; its orientation is the heading of getZeltoYaw.
  const geometry_msgs::msg::PoseStamped& getZeltoPose() const { return zelto_pose_; }
  /// Heading in radians to turn to at the stored corner.
  double getZeltoYaw() const { return zelto_yaw_; }

 private:
  // Whether simplified vertex `vertex` (a position in simplified_) is a corner.
  bool isCorner(const std::vector<vantrell_nav2_smoother::Vec2>& points, size_t vertex,
                double& yaw) const;
  void storeNearCorner(const std::vector<geometry_msgs::msg::PoseStamped>& poses);
  // Where candidate k lies on the path, if the path passes it.
  bool locate(const std::vector<geometry_msgs::msg::PoseStamped>& poses, const Corner& corner,
              size_t& index) const;
  void store(const geometry_msgs::msg::PoseStamped& pose, double yaw);

  double select_corner_error_;
  double select_zelto_error_;
  double select_zelto_theta_;  // radians
  double dis_zelto_to_corner_;
  double linear_need_dis_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap_;

  std::vector<size_t> simplified_;
  std::vector<Corner> candidates_;
  bool has_zelto_{false};
  geometry_msgs::msg::PoseStamped zelto_pose_;
  double zelto_yaw_{0.0};
};

#endif  // VANTRELL_NAV2_SMOOTHER__DOUGLAS_PEUKER_HPP_
