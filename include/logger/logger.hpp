#ifndef LOGGER__LOGGER_HPP_
#define LOGGER__LOGGER_HPP_

#include <spdlog/logger.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace vantrell {

// The process-wide logger. Built on first use from SPDLOG_STDOUT, SPDLOG_SYSTEMD
// and SPDLOG_LEVEL; every record is prefixed with a rolling number and its level.
// The LOG_* macros below read and advance the fields directly, so they are public.
class Logger {
 public:
  // Returns the one instance; the name of the first call names the spdlog logger.
  static Logger& Instance(const std::string& name);

  explicit Logger(const std::string& name);
  // Releases logger_ at process exit, while other threads may still be logging.
  ~Logger();

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Written by the constructor and, at exit, by the destructor; records reach it with
  // std::atomic_load, so a thread still logging at exit never sees it half released.
  std::shared_ptr<spdlog::logger> logger_;
  // Advanced from every logging thread, hence atomic; wraps from 255 to 0.
  std::atomic<std::uint8_t> count_{0};
  // Written only while the instance is built; read-only afterwards.
  std::int32_t level_{2};
};

namespace detail {

// A log call must never throw into its caller: a format that does not match its
// arguments (for example an exception text used as format) is written as it is.
template <typename... Args>
std::string formatLogText(fmt::format_string<Args...> format, Args&&... args) {
  try {
    return fmt::format(format, std::forward<Args>(args)...);
  } catch (const fmt::format_error&) {
    const auto view = fmt::string_view(format);
    return std::string(view.data(), view.size());
  }
}

// Numbers the record if it passes the threshold and hands it to spdlog as finished text.
void writeLogRecord(const spdlog::source_loc& location, std::int32_t level, const char* tag,
                    const std::string& text);

}  // namespace detail
}  // namespace vantrell

#define VANTRELL_LOG_RECORD(function, level_number, tag, ...)                            \
  ::vantrell::detail::writeLogRecord(::spdlog::source_loc{__FILE__, __LINE__, function}, \
                                     level_number, tag,                                  \
                                     ::vantrell::detail::formatLogText(__VA_ARGS__))

#define LOG_DEBUG(...) VANTRELL_LOG_RECORD(SPDLOG_FUNCTION, 1, "DEBUG", __VA_ARGS__)
#define LOG_INFO(...) VANTRELL_LOG_RECORD(SPDLOG_FUNCTION, 2, "INFO", __VA_ARGS__)
#define LOG_WARN(...) VANTRELL_LOG_RECORD(SPDLOG_FUNCTION, 3, "WARN", __VA_ARGS__)
#define LOG_ERROR(...) VANTRELL_LOG_RECORD(SPDLOG_FUNCTION, 4, "ERROR", __VA_ARGS__)

// For a helper that writes a line on behalf of the operation calling it: the record names
// `function` (a string that outlives the call, such as a literal), not the helper.
#define LOG_DEBUG_FROM(function, ...) VANTRELL_LOG_RECORD(function, 1, "DEBUG", __VA_ARGS__)
#define LOG_INFO_FROM(function, ...) VANTRELL_LOG_RECORD(function, 2, "INFO", __VA_ARGS__)
#define LOG_WARN_FROM(function, ...) VANTRELL_LOG_RECORD(function, 3, "WARN", __VA_ARGS__)
#define LOG_ERROR_FROM(function, ...) VANTRELL_LOG_RECORD(function, 4, "ERROR", __VA_ARGS__)

#endif  // LOGGER__LOGGER_HPP_
