#include "rclcpp/logger.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "rclcpp/logging.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "time_source.hpp"

namespace rclcpp {

namespace {
// Levels set per logger name, and the captures that tests hold open.
struct LoggingState {
  std::mutex mutex;
  std::map<std::string, Logger::Level> levels;
  std::vector<rclcpp_testing::LogCapture *> captures;
};

LoggingState &state() {
  static LoggingState instance;
  return instance;
}

const char *level_name(Logger::Level level) {
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

Logger::Level effective_level_locked(const LoggingState &s, std::string name) {
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

FILE *console_stream() {
  static FILE *stream = []() {
    const char *use_stdout = std::getenv("RCUTILS_LOGGING_USE_STDOUT");
    return (use_stdout && std::strcmp(use_stdout, "1") == 0) ? stdout : stderr;
  }();
  return stream;
}
}  // namespace

Logger::Logger(const std::string &name) : name_(std::make_shared<const std::string>(name)) {}

Logger get_logger(const std::string &name) { return Logger(name); }

const char *Logger::get_name() const { return name_->c_str(); }

Logger Logger::get_child(const std::string &suffix) { return Logger(*name_ + "." + suffix); }

void Logger::set_level(Level level) {
  auto &s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.levels[*name_] = level;
}

bool Logger::operator==(const Logger &other) const { return *name_ == *other.name_; }

bool Logger::operator!=(const Logger &other) const { return !(*this == other); }

namespace detail {

bool logging_enabled_for(const Logger &logger, Logger::Level level) {
  auto &s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return level >= effective_level_locked(s, logger.get_name());
}

void log_text(const Logger &logger, Logger::Level level, const std::string &text) {
  const int64_t now = TimeSource::instance().now(RCL_SYSTEM_TIME);
  auto &s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  // ROS 2's default console format: [LEVEL] [seconds.nanoseconds] [name]: text
  std::fprintf(console_stream(), "[%s] [%lld.%09lld] [%s]: %s\n", level_name(level),
               static_cast<long long>(now / 1000000000LL),
               static_cast<long long>(now % 1000000000LL), logger.get_name(), text.c_str());
  std::fflush(console_stream());
  for (auto *capture : s.captures) {
    capture->add({level, logger.get_name(), text});
  }
}

void log_message(const Logger &logger, Logger::Level level, const char *format, ...) {
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

bool throttle_pass(std::atomic<int64_t> &last_ns, rclcpp::Clock &clock, int64_t period_ms) {
  const int64_t now = clock.now().nanoseconds();
  int64_t last = last_ns.load();
  while (last < 0 || now - last >= period_ms * 1000000LL) {
    if (last_ns.compare_exchange_weak(last, now)) {
      return true;
    }
  }
  return false;
}

}  // namespace detail
}  // namespace rclcpp

namespace rclcpp_testing {

LogCapture::LogCapture() {
  auto &s = rclcpp::state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.captures.push_back(this);
}

LogCapture::~LogCapture() {
  auto &s = rclcpp::state();
  std::lock_guard<std::mutex> lock(s.mutex);
  for (auto it = s.captures.begin(); it != s.captures.end(); ++it) {
    if (*it == this) {
      s.captures.erase(it);
      break;
    }
  }
}

std::vector<LogRecord> LogCapture::records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

size_t LogCapture::count(const std::string &text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto &r : records_) {
    n += r.message.find(text) != std::string::npos ? 1 : 0;
  }
  return n;
}

size_t LogCapture::count(rclcpp::Logger::Level level, const std::string &text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto &r : records_) {
    n += (r.level == level && r.message.find(text) != std::string::npos) ? 1 : 0;
  }
  return n;
}

bool LogCapture::contains(const std::string &text) const { return count(text) > 0; }

bool LogCapture::wait_for(const std::string &text, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this, &text]() {
    for (const auto &r : records_) {
      if (r.message.find(text) != std::string::npos) {
        return true;
      }
    }
    return false;
  });
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
}

void LogCapture::add(const LogRecord &record) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
  }
  cv_.notify_all();
}

}  // namespace rclcpp_testing
