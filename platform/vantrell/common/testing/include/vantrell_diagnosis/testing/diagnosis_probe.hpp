#ifndef VANTRELL_DIAGNOSIS__TESTING__DIAGNOSIS_PROBE_HPP_
#define VANTRELL_DIAGNOSIS__TESTING__DIAGNOSIS_PROBE_HPP_

#include <mutex>
#include <vector>

#include "vantrell_diagnosis/diagnosis.hpp"

namespace vantrell_diagnosis {
namespace testing {

/// Test hook: reads what was reported to the process-wide Diagnosis and
/// clears it between tests.
class DiagnosisProbe {
 public:
  struct Report {
    AbnormalEventType type;
    int status;

    bool operator==(const Report& other) const {
      return type == other.type && status == other.status;
    }
  };

  /// Accepted reports, oldest first (the latest 256 at most).
  static std::vector<Report> reports() {
    auto& diagnosis = Diagnosis::getInstance();
    std::lock_guard<std::mutex> lock(diagnosis.mutex_);
    std::vector<Report> out;
    for (const auto& r : diagnosis.reports_) {
      out.push_back({r.type, r.status});
    }
    return out;
  }

  /// Current status of a kind: 1 raised, 0 cleared or never reported.
  static int status(AbnormalEventType type) {
    auto& diagnosis = Diagnosis::getInstance();
    std::lock_guard<std::mutex> lock(diagnosis.mutex_);
    const auto it = diagnosis.status_.find(static_cast<int>(type));
    return it == diagnosis.status_.end() ? 0 : it->second;
  }

  /// Forgets every report and status, as in a fresh process.
  static void reset() {
    auto& diagnosis = Diagnosis::getInstance();
    std::lock_guard<std::mutex> lock(diagnosis.mutex_);
    diagnosis.status_.clear();
    diagnosis.reports_.clear();
  }
};

}  // namespace testing
}  // namespace vantrell_diagnosis

#endif  // VANTRELL_DIAGNOSIS__TESTING__DIAGNOSIS_PROBE_HPP_
