#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

#include <cstddef>

namespace rclcpp {

class InitOptions {
 public:
  bool shutdown_on_signal = true;

  InitOptions() = default;

  InitOptions& auto_initialize_logging(bool initialize_logging) {
    initialize_logging_ = initialize_logging;
    return *this;
  }
  bool auto_initialize_logging() const { return initialize_logging_; }

  InitOptions& set_domain_id(size_t domain_id) {
    domain_id_ = domain_id;
    return *this;
  }
  size_t get_domain_id() const { return domain_id_; }

 private:
  bool initialize_logging_ = true;
  size_t domain_id_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
