#ifndef PLANNING__LOCAL_PLANNING__TRACE_LINE_HPP_
#define PLANNING__LOCAL_PLANNING__TRACE_LINE_HPP_

#include <memory>
#include <string>
#include <utility>

#include "logger/logger.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"

namespace planning {

/**
 * One trace line through the node's trace publisher. A component asked to trace before the node
 * handed it the publisher still writes the line to the log instead of failing.
 */
template <typename... Args>
void traceLine(const std::shared_ptr<LogPublisher>& publisher, const std::string& format,
               Args&&... args) {
  if (publisher) {
    publisher->pub_debug(format, std::forward<Args>(args)...);
    return;
  }
  LOG_DEBUG("{}",
            vantrell::detail::formatLogText(fmt::runtime(format), std::forward<Args>(args)...));
}

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__TRACE_LINE_HPP_
