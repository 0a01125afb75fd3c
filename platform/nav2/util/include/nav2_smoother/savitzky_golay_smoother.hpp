#ifndef NAV2_SMOOTHER__SAVITZKY_GOLAY_SMOOTHER_HPP_
#define NAV2_SMOOTHER__SAVITZKY_GOLAY_SMOOTHER_HPP_

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_core/smoother.hpp"

namespace nav2_smoother {
namespace testing {
class SmootherFaults;
}  // namespace testing

/**
 * Smooths a path with the 7-point quadratic Savitzky-Golay filter. The path
 * is split where the motion reverses (cusps); each stretch of more than ten
 * poses is filtered with its two end poses held fixed, once and then
 * "refinement_num" more times when "do_refinement" is set, and its inner poses
 * are re-headed along the new curve (backwards on a reversing stretch).
 * Shorter stretches are left as they are. The path is written only when every
 * stretch was smoothed within the time allowed.
 *
 * Parameters, declared under the configured name when missing:
 *   <name>.do_refinement (bool, true), <name>.refinement_num (int, 2).
 */
class SavitzkyGolaySmoother : public nav2_core::Smoother {
 public:
  SavitzkyGolaySmoother() = default;
  ~SavitzkyGolaySmoother() override = default;

  /// Throws std::runtime_error when the node is gone.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                 std::shared_ptr<tf2_ros::Buffer> tf,
                 std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub,
                 std::shared_ptr<nav2_costmap_2d::FootprintSubscriber> footprint_sub) override;

  void cleanup() override {}
  void activate() override {}
  void deactivate() override {}

  /**
   * True when the path was smoothed (or had nothing long enough to smooth);
   * false, with the path untouched, when max_time ran out or the path holds a
   * non-finite position.
   */
  bool smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) override;

 protected:
  struct Segment {
    size_t first;
    size_t last;  // inclusive
  };

  /// Stretches between direction reversals; neighbours share the cusp pose.
  static std::vector<Segment> findDirectionalPathSegments(const nav_msgs::msg::Path& path);

  /// One filter pass over poses[first..last]; the two ends stay.
  static void applyFilter(std::vector<geometry_msgs::msg::PoseStamped>& poses, const Segment& s);

  /// Inner poses of the stretch headed along the curve.
  static void updateOrientations(std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                 const Segment& s, bool reversing);

  /// Whether the poses of the stretch mostly face against their motion.
  static bool isReversing(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                          const Segment& s);

  bool do_refinement_{true};
  int refinement_num_{2};
  rclcpp::Logger logger_{rclcpp::get_logger("SGSmoother")};

 private:
  friend class testing::SmootherFaults;

  /// Test hook: the next n calls of smooth fail, whatever the path.
  static std::atomic<int> forced_failures_;
};

}  // namespace nav2_smoother

#endif  // NAV2_SMOOTHER__SAVITZKY_GOLAY_SMOOTHER_HPP_
