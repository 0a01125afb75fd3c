#ifndef RCLCPP__LOG_SINKS_HPP_
#define RCLCPP__LOG_SINKS_HPP_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rclcpp/logger.hpp"

namespace rclcpp {
namespace detail {

// Hears every record that passes its logger's level, from any thread, after the console has it.
// Called with the logging lock held: it must not log.
using LogSink = std::function<void(Logger::Level level, const std::string& logger_name,
                                   const std::string& text)>;

// What a holder keeps so that the levels and sinks are still there on its way out.
std::shared_ptr<const void> logging_state_holder();

// Returns the handle that removes the sink again.
uint64_t addLogSink(LogSink sink);
void removeLogSink(uint64_t handle);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__LOG_SINKS_HPP_
