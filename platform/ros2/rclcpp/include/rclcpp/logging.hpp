#ifndef RCLCPP__LOGGING_HPP_
#define RCLCPP__LOGGING_HPP_

#include <atomic>
#include <sstream>
#include <type_traits>

#include "rclcpp/clock.hpp"
#include "rclcpp/logger.hpp"

namespace rclcpp {
namespace detail {
bool logging_enabled_for(const Logger& logger, Logger::Level level);
void log_message(const Logger& logger, Logger::Level level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void log_text(const Logger& logger, Logger::Level level, const std::string& text);
// True when at least `period_ms` of `clock` have passed since the last true
// answer for `last_ns` (a per-call-site slot); the first call is true.
bool throttle_pass(std::atomic<int64_t>& last_ns, rclcpp::Clock& clock, int64_t period_ms);
}  // namespace detail
}  // namespace rclcpp

#define RCLCPP_LOGGER_TYPE_CHECK_(logger)                                                 \
  static_assert(std::is_same<std::remove_cv_t<std::remove_reference_t<decltype(logger)>>, \
                             ::rclcpp::Logger>::value,                                    \
                "First argument to logging macros must be an rclcpp::Logger")

#define RCLCPP_LOG_IF_(level, condition, logger, ...)                                      \
  do {                                                                                     \
    RCLCPP_LOGGER_TYPE_CHECK_(logger);                                                     \
    const ::rclcpp::Logger& rclcpp_log_logger_ = (logger);                                 \
    if (::rclcpp::detail::logging_enabled_for(rclcpp_log_logger_, level) && (condition)) { \
      ::rclcpp::detail::log_message(rclcpp_log_logger_, level, __VA_ARGS__);               \
    }                                                                                      \
  } while (0)

#define RCLCPP_LOG_STREAM_IF_(level, condition, logger, stream_arg)                        \
  do {                                                                                     \
    RCLCPP_LOGGER_TYPE_CHECK_(logger);                                                     \
    const ::rclcpp::Logger& rclcpp_log_logger_ = (logger);                                 \
    if (::rclcpp::detail::logging_enabled_for(rclcpp_log_logger_, level) && (condition)) { \
      std::stringstream rclcpp_stream_ss_;                                                 \
      rclcpp_stream_ss_ << stream_arg;                                                     \
      ::rclcpp::detail::log_text(rclcpp_log_logger_, level, rclcpp_stream_ss_.str());      \
    }                                                                                      \
  } while (0)

#define RCLCPP_LOG_ONCE_(level, logger, ...)                                         \
  do {                                                                               \
    static std::atomic<bool> rclcpp_logged_once_{false};                             \
    RCLCPP_LOG_IF_(level, !rclcpp_logged_once_.exchange(true), logger, __VA_ARGS__); \
  } while (0)

#define RCLCPP_LOG_SKIPFIRST_(level, logger, ...)                                     \
  do {                                                                                \
    static std::atomic<bool> rclcpp_first_skipped_{false};                            \
    RCLCPP_LOG_IF_(level, rclcpp_first_skipped_.exchange(true), logger, __VA_ARGS__); \
  } while (0)

#define RCLCPP_LOG_THROTTLE_(level, logger, clock, duration, ...)                                  \
  do {                                                                                             \
    static std::atomic<int64_t> rclcpp_throttle_last_{-1};                                         \
    RCLCPP_LOG_IF_(level, ::rclcpp::detail::throttle_pass(rclcpp_throttle_last_, clock, duration), \
                   logger, __VA_ARGS__);                                                           \
  } while (0)

#define RCLCPP_DEBUG(logger, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Debug, true, logger, __VA_ARGS__)
#define RCLCPP_INFO(logger, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Info, true, logger, __VA_ARGS__)
#define RCLCPP_WARN(logger, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Warn, true, logger, __VA_ARGS__)
#define RCLCPP_ERROR(logger, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Error, true, logger, __VA_ARGS__)
#define RCLCPP_FATAL(logger, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Fatal, true, logger, __VA_ARGS__)

#define RCLCPP_DEBUG_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Debug, expression, logger, __VA_ARGS__)
#define RCLCPP_INFO_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Info, expression, logger, __VA_ARGS__)
#define RCLCPP_WARN_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Warn, expression, logger, __VA_ARGS__)
#define RCLCPP_ERROR_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Error, expression, logger, __VA_ARGS__)
#define RCLCPP_FATAL_EXPRESSION(logger, expression, ...) \
  RCLCPP_LOG_IF_(::rclcpp::Logger::Level::Fatal, expression, logger, __VA_ARGS__)

#define RCLCPP_DEBUG_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Debug, logger, __VA_ARGS__)
#define RCLCPP_INFO_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Info, logger, __VA_ARGS__)
#define RCLCPP_WARN_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Warn, logger, __VA_ARGS__)
#define RCLCPP_ERROR_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Error, logger, __VA_ARGS__)
#define RCLCPP_FATAL_ONCE(logger, ...) \
  RCLCPP_LOG_ONCE_(::rclcpp::Logger::Level::Fatal, logger, __VA_ARGS__)

#define RCLCPP_DEBUG_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_SKIPFIRST_(::rclcpp::Logger::Level::Debug, logger, __VA_ARGS__)
#define RCLCPP_INFO_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_SKIPFIRST_(::rclcpp::Logger::Level::Info, logger, __VA_ARGS__)
#define RCLCPP_WARN_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_SKIPFIRST_(::rclcpp::Logger::Level::Warn, logger, __VA_ARGS__)
#define RCLCPP_ERROR_SKIPFIRST(logger, ...) \
  RCLCPP_LOG_SKIPFIRST_(::rclcpp::Logger::Level::Error, logger, __VA_ARGS__)

#define RCLCPP_DEBUG_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Debug, logger, clock, duration, __VA_ARGS__)
#define RCLCPP_INFO_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Info, logger, clock, duration, __VA_ARGS__)
#define RCLCPP_WARN_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Warn, logger, clock, duration, __VA_ARGS__)
#define RCLCPP_ERROR_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Error, logger, clock, duration, __VA_ARGS__)
#define RCLCPP_FATAL_THROTTLE(logger, clock, duration, ...) \
  RCLCPP_LOG_THROTTLE_(::rclcpp::Logger::Level::Fatal, logger, clock, duration, __VA_ARGS__)

#define RCLCPP_DEBUG_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_IF_(::rclcpp::Logger::Level::Debug, true, logger, stream_arg)
#define RCLCPP_INFO_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_IF_(::rclcpp::Logger::Level::Info, true, logger, stream_arg)
#define RCLCPP_WARN_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_IF_(::rclcpp::Logger::Level::Warn, true, logger, stream_arg)
#define RCLCPP_ERROR_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_IF_(::rclcpp::Logger::Level::Error, true, logger, stream_arg)
#define RCLCPP_FATAL_STREAM(logger, stream_arg) \
  RCLCPP_LOG_STREAM_IF_(::rclcpp::Logger::Level::Fatal, true, logger, stream_arg)

#endif  // RCLCPP__LOGGING_HPP_
