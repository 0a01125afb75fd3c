#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

namespace rclcpp {

class Logger;

Logger get_logger(const std::string& name);

// A named logger. Levels are kept per name; a name without its own level takes
// that of its nearest dotted ancestor ("a.b" for "a.b.c"), else INFO.
class Logger {
 public:
  enum class Level { Unset = 0, Debug = 10, Info = 20, Warn = 30, Error = 40, Fatal = 50 };

  Logger(const Logger&) = default;
  Logger& operator=(const Logger&) = default;

  const char* get_name() const;
  Logger get_child(const std::string& suffix);
  void set_level(Level level);

  bool operator==(const Logger& other) const;
  bool operator!=(const Logger& other) const;

 private:
  friend Logger rclcpp::get_logger(const std::string& name);
  explicit Logger(const std::string& name);

  std::shared_ptr<const std::string> name_;
  // The process's levels and sinks, held so that a logger kept in a static object still logs.
  std::shared_ptr<const void> logging_;
};

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
