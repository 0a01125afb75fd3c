#ifndef RCLCPP_TESTING__LOG_CAPTURE_HPP_
#define RCLCPP_TESTING__LOG_CAPTURE_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/logger.hpp"

namespace rclcpp_testing {

struct LogRecord {
  rclcpp::Logger::Level level;
  std::string logger_name;
  std::string message;
};

// Collects every record that passes its logger's level, from any thread, for
// as long as it lives. Records still go to the console as well.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogRecord> records() const;
  // Records whose message contains `text` (and of `level`, in the second form).
  size_t count(const std::string& text) const;
  size_t count(rclcpp::Logger::Level level, const std::string& text) const;
  bool contains(const std::string& text) const;
  // Waits until a record containing `text` has arrived.
  bool wait_for(const std::string& text, std::chrono::milliseconds timeout) const;
  void clear();

  // Called by the logging machinery.
  void add(const LogRecord& record);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<LogRecord> records_;
  // Last: records may arrive as soon as it is registered.
  const uint64_t sink_;
};

}  // namespace rclcpp_testing

#endif  // RCLCPP_TESTING__LOG_CAPTURE_HPP_
