#include "rclcpp_testing/log_capture.hpp"

#include "log_sinks.hpp"

namespace rclcpp_testing {

LogCapture::LogCapture()
    : sink_(rclcpp::detail::addLogSink([this](rclcpp::Logger::Level level,
                                              const std::string& logger_name,
                                              const std::string& text) {
        add({level, logger_name, text});
      })) {}

LogCapture::~LogCapture() { rclcpp::detail::removeLogSink(sink_); }

std::vector<LogRecord> LogCapture::records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

size_t LogCapture::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& r : records_) {
    n += r.message.find(text) != std::string::npos ? 1 : 0;
  }
  return n;
}

size_t LogCapture::count(rclcpp::Logger::Level level, const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& r : records_) {
    n += (r.level == level && r.message.find(text) != std::string::npos) ? 1 : 0;
  }
  return n;
}

bool LogCapture::contains(const std::string& text) const { return count(text) > 0; }

bool LogCapture::wait_for(const std::string& text, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this, &text]() {
    for (const auto& r : records_) {
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

void LogCapture::add(const LogRecord& record) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
  }
  cv_.notify_all();
}

}  // namespace rclcpp_testing
