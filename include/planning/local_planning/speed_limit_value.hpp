#ifndef PLANNING__LOCAL_PLANNING__SPEED_LIMIT_VALUE_HPP_
#define PLANNING__LOCAL_PLANNING__SPEED_LIMIT_VALUE_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "nav_msgs/msg/path.hpp"
#include "planning/local_planning/path_judge.hpp"
#include "planning/local_planning/speed_limit_params.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"

namespace planning {

/**
 * The speed-limit value of each local path: the path judge's verdicts turned into one value
 * (1.0 is full speed), with the spoken prompt before a big turn.
 *
 * It keeps three counters from cycle to cycle and from goal to goal: the cycles of silence
 * after a prompt and the hold after the robot last passed milk. Used by the one thread that
 * runs the local node's goals.
 */
class SpeedLimitValue {
 public:
  /// The local node's parameter values that the value reads besides the judge's thresholds.
  struct Settings {
    double in_narrow_passage_max_speed{0.1};
    double backward_max_speed{0.2};
    /// The backward cap of the "force_backward" planner, which drives out of a lift.
    double lift_out_max_speed{0.32};
    /// Prompt also for the cleaning planners, and then also while following an edge.
    bool clean_mode_need_audio{false};
    bool welt_mode_need_audio{false};
    /// Cycles of silence after a prompt.
    int32_t two_speaker_nead_time{5};
    bool is_use_trajectory_collision{true};
    /// Cycles the milk hold lasts after the last cycle with milk.
    int32_t need_milk_limit_time{5};
  };

  SpeedLimitValue(std::shared_ptr<PathJudge> judge, std::shared_ptr<LogPublisher> trace_logger,
                  const Settings& settings);

  /**
   * The value for `path`, the local path of this cycle made by the planner `planner_id`.
   * `near_obstacle` receives whether the path runs along an obstacle (untouched for a path too
   * short to judge). The live caps of the grid-search and cleaning planners come from `params`.
   */
  double getSpeedLimitPercent(const nav_msgs::msg::Path& path, const std::string& planner_id,
                              bool& near_obstacle, bool move_backward,
                              const SpeedLimitParams& params);

  int32_t getTurnSpeakCountdown() const { return turn_speak_countdown_; }
  int32_t getMilkLimitCount() const { return milk_limit_count_; }
  bool isMilkLimitActive() const { return milk_limit_active_; }

 private:
  double backwardValue(const nav_msgs::msg::Path& path, const std::string& planner_id);
  double forwardValue(const nav_msgs::msg::Path& path, const std::string& planner_id,
                      bool near_obstacle, double obstacle_scale, bool welt,
                      const SpeedLimitParams& params);
  /// Speaks the big turn at most once every two_speaker_nead_time + 1 cycles of a turn.
  void promptBigTurn(bool considered, bool big_turn);
  void holdMilk(bool milk);

  Settings settings_;
  std::shared_ptr<PathJudge> judge_;
  std::shared_ptr<LogPublisher> trace_logger_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  int32_t turn_speak_countdown_{0};
  int32_t milk_limit_count_{0};
  bool milk_limit_active_{false};
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__SPEED_LIMIT_VALUE_HPP_
