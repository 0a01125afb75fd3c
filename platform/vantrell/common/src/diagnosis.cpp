#include "vantrell_diagnosis/diagnosis.hpp"

#include "rclcpp/logging.hpp"

Diagnosis& Diagnosis::getInstance() {
  // A function-local static: construction is thread-safe and happens once.
  static Diagnosis instance;
  return instance;
}

void Diagnosis::DataStatusReport(AbnormalEventType type, int status) {
  const auto logger = rclcpp::get_logger("diagnosis");
  if (status != 0 && status != 1) {
    RCLCPP_ERROR(logger,
                 "DataStatusReport: status %d for event type %d is neither 0 (clear) nor 1 (raise)",
                 status, static_cast<int>(type));
    return;
  }
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& current = status_[static_cast<int>(type)];
    changed = current != status;
    current = status;
    reports_.push_back({type, status});
    if (reports_.size() > kMaxKeptReports) {
      reports_.pop_front();
    }
  }
  if (changed) {
    if (status == 1) {
      RCLCPP_WARN(logger, "abnormal data report raised for event type %d", static_cast<int>(type));
    } else {
      RCLCPP_INFO(logger, "abnormal data report cleared for event type %d", static_cast<int>(type));
    }
  }
}
