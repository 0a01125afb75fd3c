#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/clock.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp {

// A periodic callback on a clock, run by the executor of its callback group.
// A wall timer runs on the steady clock; both follow driven time in tests.
class TimerBase : public detail::ExecutableEntity, public std::enable_shared_from_this<TimerBase> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(TimerBase)

  TimerBase(Clock::SharedPtr clock, std::chrono::nanoseconds period, Context::SharedPtr context);
  ~TimerBase() override;

  void cancel();
  bool is_canceled();
  // Starts a new period from now; also revives a cancelled timer.
  void reset();
  virtual void execute_callback() = 0;
  Clock::SharedPtr get_clock();
  std::chrono::nanoseconds time_until_trigger();
  virtual bool is_steady() = 0;
  bool is_ready();
  bool exchange_in_use_by_wait_set_state(bool in_use_state);

  // Executor machinery.
  std::function<void()> take_ready_work() override;
  bool has_ready_work() override;
  std::chrono::nanoseconds time_until_ready() const override;
  bool is_timed() const override;

 private:
  int64_t now_ns() const;

  Clock::SharedPtr clock_;
  const int64_t period_ns_;
  Context::WeakPtr context_;
  mutable std::mutex mutex_;
  bool canceled_ = false;
  int64_t next_call_ns_ = 0;
  std::atomic_bool in_use_by_wait_set_{false};
};

template <typename FunctorT>
class GenericTimer : public TimerBase {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(GenericTimer)

  GenericTimer(Clock::SharedPtr clock, std::chrono::nanoseconds period, FunctorT&& callback,
               Context::SharedPtr context)
      : TimerBase(clock, period, context), callback_(std::forward<FunctorT>(callback)) {}

  void execute_callback() override {
    if constexpr (std::is_invocable_v<FunctorT&, TimerBase&>) {
      callback_(*this);
    } else {
      callback_();
    }
  }

  bool is_steady() override { return get_clock()->get_clock_type() == RCL_STEADY_TIME; }

 protected:
  FunctorT callback_;
};

template <typename FunctorT>
class WallTimer : public GenericTimer<FunctorT> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(WallTimer)

  WallTimer(std::chrono::nanoseconds period, FunctorT&& callback, Context::SharedPtr context)
      : GenericTimer<FunctorT>(std::make_shared<Clock>(RCL_STEADY_TIME), period,
                               std::forward<FunctorT>(callback), context) {}
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
