#include "rclcpp/logger.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "log_sinks.hpp"
#include "process_clock.hpp"
#include "rclcpp/detail/process_wide.hpp"
#include "rclcpp/logging.hpp"

namespace rclcpp {

namespace {
// Levels set per logger name, and who else hears the records (the captures that tests hold).
struct LoggingState : std::enable_shared_from_this<LoggingState> {
  // The time stamped on each record, held for loggers kept past the process's statics.
  std::shared_ptr<detail::ProcessClock> clock{detail::ProcessClock::shared_instance()};
  std::mutex mutex;
  std::map<std::string, Logger::Level> levels;
  std::map<uint64_t, detail::LogSink> sinks;
  uint64_t next_sink{0};
};

LoggingState& state() { return detail::ProcessWide<LoggingState>::instance(); }

const char* level_name(Logger::Level level) {
  switch (level) {
    case Logger::Level::Debug:
      return "DEBUG";
    case Logger::Level::Info:
      return "INFO";
    case Logger::Level::Warn:
      return "WARN";
    case Logger::Level::Error:
      return "ERROR";
    case Logger::Level::Fatal:
      return "FATAL";
    default:
      return "UNSET";
  }
}

Logger::Level effective_level_locked(const LoggingState& s, std::string name) {
  while (true) {
    auto it = s.levels.find(name);
    if (it != s.levels.end() && it->second != Logger::Level::Unset) {
      return it->second;
    }
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
      return Logger::Level::Info;
    }
    name.resize(dot);
  }
}

FILE* console_stream() {
  static FILE* stream = []() {
    const char* use_stdout = std::getenv("RCUTILS_LOGGING_USE_STDOUT");
    return (use_stdout && std::strcmp(use_stdout, "1") == 0) ? stdout : stderr;
  }();
  return stream;
}
}  // namespace

Logger::Logger(const std::string& name)
    : name_(std::make_shared<const std::string>(name)), logging_(detail::logging_state_holder()) {}

Logger get_logger(const std::string& name) { return Logger(name); }

const char* Logger::get_name() const { return name_->c_str(); }

Logger Logger::get_child(const std::string& suffix) { return Logger(*name_ + "." + suffix); }

void Logger::set_level(Level level) {
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.levels[*name_] = level;
}

bool Logger::operator==(const Logger& other) const { return *name_ == *other.name_; }

bool Logger::operator!=(const Logger& other) const { return !(*this == other); }

namespace detail {

std::shared_ptr<const void> logging_state_holder() { return ProcessWide<LoggingState>::shared(); }

bool logging_enabled_for(const Logger& logger, Logger::Level level) {
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return level >= effective_level_locked(s, logger.get_name());
}

void log_text(const Logger& logger, Logger::Level level, const std::string& text) {
  auto& s = state();
  const int64_t now = s.clock->now(RCL_SYSTEM_TIME);
  std::lock_guard<std::mutex> lock(s.mutex);
  // ROS 2's default console format: [LEVEL] [seconds.nanoseconds] [name]: text
  std::fprintf(console_stream(), "[%s] [%lld.%09lld] [%s]: %s\n", level_name(level),
               static_cast<long long>(now / 1000000000LL),
               static_cast<long long>(now % 1000000000LL), logger.get_name(), text.c_str());
  std::fflush(console_stream());
  for (const auto& entry : s.sinks) {
    entry.second(level, logger.get_name(), text);
  }
}

void log_message(const Logger& logger, Logger::Level level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  log_text(logger, level, text);
}

bool throttle_pass(std::atomic<int64_t>& last_ns, rclcpp::Clock& clock, int64_t period_ms) {
  const int64_t now = clock.now().nanoseconds();
  int64_t last = last_ns.load();
  while (last < 0 || now - last >= period_ms * 1000000LL) {
    if (last_ns.compare_exchange_weak(last, now)) {
      return true;
    }
  }
  return false;
}

uint64_t addLogSink(LogSink sink) {
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const uint64_t handle = s.next_sink++;
  s.sinks.emplace(handle, std::move(sink));
  return handle;
}

void removeLogSink(uint64_t handle) {
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.sinks.erase(handle);
}

}  // namespace detail
}  // namespace rclcpp
