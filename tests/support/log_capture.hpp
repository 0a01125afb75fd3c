#ifndef TESTS__SUPPORT__LOG_CAPTURE_HPP_
#define TESTS__SUPPORT__LOG_CAPTURE_HPP_

#include <spdlog/sinks/base_sink.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logger/logger.hpp"

// The one capture of the process-wide logger for tests: every record, as the console shows it
// ("nnn [LEVEL] text"), with its source.
namespace test_support {

struct CapturedRecord {
  spdlog::level::level_enum level;
  std::string text;
  std::string file;
  int line;
  std::string function;
};

// A record split into its level tag ("ERROR") and the text after the tag.
struct LogLine {
  std::string level;
  std::string text;
};

inline LogLine splitRecord(const std::string& record) {
  const auto open = record.find('[');
  const auto close = record.find("] ", open);
  if (open == std::string::npos || close == std::string::npos) {
    return {"", record};
  }
  return {record.substr(open + 1, close - open - 1), record.substr(close + 2)};
}

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

  std::vector<LogLine> lines() {
    std::vector<LogLine> result;
    for (const auto& text : texts()) {
      result.push_back(splitRecord(text));
    }
    return result;
  }

  /// The texts after the tag of the records at `level` ("DEBUG", "INFO", "WARN", "ERROR").
  std::vector<std::string> messagesAt(const std::string& level) {
    std::vector<std::string> result;
    for (const auto& line : lines()) {
      if (line.level == level) {
        result.push_back(line.text);
      }
    }
    return result;
  }

  /// How many records hold `part`.
  size_t count(const std::string& part) {
    size_t found = 0;
    for (const auto& text : texts()) {
      found += text.find(part) != std::string::npos ? 1 : 0;
    }
    return found;
  }

  /// How many records end with `tail` (the level tag and the text, say).
  size_t countEndingWith(const std::string& tail) {
    size_t found = 0;
    for (const auto& text : texts()) {
      found += text.size() >= tail.size() &&
                       text.compare(text.size() - tail.size(), tail.size(), tail) == 0
                   ? 1
                   : 0;
    }
    return found;
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

// The capture, emptied: what a test reads is what it caused.
inline std::shared_ptr<CaptureSink> clearedLog() {
  auto sink = captureLog();
  sink->clear();
  return sink;
}

// Whether a record ends with `tail`.
inline bool logged(CaptureSink& sink, const std::string& tail) {
  return sink.countEndingWith(tail) > 0;
}

}  // namespace test_support

#endif  // TESTS__SUPPORT__LOG_CAPTURE_HPP_
