#include "logger/logger.hpp"

#include <spdlog/sinks/ansicolor_sink.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "journal_sink.hpp"

namespace vantrell {
namespace {

using ConsoleSink = spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>;

// The notes go straight to standard output: the logger does not exist yet.
void writeNote(const std::string& note) { std::cout << note << std::endl; }

bool consoleWanted() {
  const char* value = std::getenv("SPDLOG_STDOUT");
  if (value == nullptr) {
    writeNote("environment variable SPDLOG_STDOUT is not set, and set true");
    return true;
  }
  const std::string text(value);
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  writeNote("environment variable SPDLOG_STDOUT is invalid, and set true");
  return true;
}

bool journalWanted() {
  const char* value = std::getenv("SPDLOG_SYSTEMD");
  if (value == nullptr) {
    writeNote("environment variable SPDLOG_SYSTEMD is not set, and set false");
    return false;
  }
  const std::string text(value);
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  writeNote("environment variable SPDLOG_SYSTEMD is invalid, and set false");
  return false;
}

std::int32_t configuredLevel() {
  constexpr std::int32_t kDefaultLevel = 2;
  const char* value = std::getenv("SPDLOG_LEVEL");
  if (value == nullptr) {
    writeNote("environment variable SPDLOG_LEVEL is not set, and set default level");
    return kDefaultLevel;
  }
  static const std::map<std::string, std::int32_t> levels = {
      {"trace", 0}, {"debug", 1}, {"info", 2}, {"warning", 3}, {"error", 4}, {"critical", 5}};
  const auto found = levels.find(value);
  if (found == levels.end()) {
    // Same treatment as the other two variables: say so and keep the default.
    writeNote("environment variable SPDLOG_LEVEL is invalid, and set default level");
    return kDefaultLevel;
  }
  return found->second;
}

}  // namespace

Logger& Logger::Instance(const std::string& name) {
  static Logger instance(name);
  return instance;
}

Logger::Logger(const std::string& name) {
  std::vector<spdlog::sink_ptr> sinks;
  if (consoleWanted()) {
    sinks.push_back(std::make_shared<ConsoleSink>());
  }
  if (journalWanted()) {
    sinks.push_back(makeJournalSink());
  }
  logger_ = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
  level_ = configuredLevel();
  logger_->set_level(static_cast<spdlog::level::level_enum>(level_));
  logger_->set_pattern("%v", spdlog::pattern_time_type::local);
}

// Swapped out atomically: a record on another thread either still gets the logger (and keeps it
// alive until it has written) or finds none.
Logger::~Logger() { std::atomic_store(&logger_, std::shared_ptr<spdlog::logger>()); }

namespace detail {

void writeLogRecord(const spdlog::source_loc& location, std::int32_t level, const char* tag,
                    const std::string& text) {
  Logger& instance = Logger::Instance("spdlog");
  const std::shared_ptr<spdlog::logger> logger = std::atomic_load(&instance.logger_);
  std::uint8_t count = instance.count_.load();
  if (instance.level_ <= level) {
    count = ++instance.count_;
  }
  if (!logger) {
    return;
  }
  const std::string message = fmt::format("{0:3d} [{1}] ", count % 128, tag) + text;
  logger->log(location, static_cast<spdlog::level::level_enum>(level),
              spdlog::string_view_t(message));
}

}  // namespace detail
}  // namespace vantrell
