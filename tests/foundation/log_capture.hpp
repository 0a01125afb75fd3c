#ifndef FOUNDATION__LOG_CAPTURE_HPP_
#define FOUNDATION__LOG_CAPTURE_HPP_

#include <spdlog/sinks/base_sink.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logger/logger.hpp"

namespace foundation_test {

struct CapturedRecord {
  spdlog::level::level_enum level;
  std::string text;
  std::string file;
  int line;
  std::string function;
};

// Keeps every record that reaches the logger's sinks, as the console would show it.
class CaptureSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<CapturedRecord> records() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }

  std::vector<std::string> texts() {
    std::vector<std::string> result;
    for (const auto& record : records()) {
      result.push_back(record.text);
    }
    return result;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    spdlog::memory_buf_t formatted;
    formatter_->format(msg, formatted);
    std::string text(formatted.data(), formatted.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
      text.pop_back();
    }
    records_.push_back({msg.level, text, msg.source.filename ? msg.source.filename : "",
                        msg.source.line, msg.source.funcname ? msg.source.funcname : ""});
  }

  void flush_() override {}

 private:
  std::vector<CapturedRecord> records_;
};

// Adds one capture sink to the process-wide logger, once. Call it before other
// threads start logging: the logger's sink list itself is not guarded.
inline std::shared_ptr<CaptureSink> captureLog() {
  static const std::shared_ptr<CaptureSink> sink = [] {
    auto made = std::make_shared<CaptureSink>();
    made->set_pattern("%v");
    vantrell::Logger::Instance("spdlog").logger_->sinks().push_back(made);
    return made;
  }();
  return sink;
}

}  // namespace foundation_test

#endif  // FOUNDATION__LOG_CAPTURE_HPP_
