#include "journal_sink.hpp"

#include <spdlog/sinks/systemd_sink.h>

#include <memory>
#include <mutex>

namespace vantrell {

spdlog::sink_ptr makeJournalSink() {
  return std::make_shared<spdlog::sinks::systemd_sink<std::mutex>>();
}

}  // namespace vantrell
