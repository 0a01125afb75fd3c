#ifndef VANTRELL_DIAGNOSIS__DIAGNOSIS_HPP_
#define VANTRELL_DIAGNOSIS__DIAGNOSIS_HPP_

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>

#include "vantrell_diagnosis/abnormal_event_type.hpp"

namespace vantrell_diagnosis {
namespace testing {
class DiagnosisProbe;
}  // namespace testing
}  // namespace vantrell_diagnosis

/**
 * The process-wide diagnosis reporter. Components raise an abnormal-data
 * report of a kind with status 1 and clear it with status 0; the reporter
 * keeps the state of each kind. Safe to call from any thread.
 */
class Diagnosis {
 public:
  /// The one reporter of the process, made at the first call.
  static Diagnosis& getInstance();

  Diagnosis(const Diagnosis&) = delete;
  Diagnosis& operator=(const Diagnosis&) = delete;

  /**
   * Raises (status 1) or clears (status 0) the report of a kind. Any other
   * status is refused with an error line and changes nothing.
   */
  void DataStatusReport(AbnormalEventType type, int status);

 private:
  friend class vantrell_diagnosis::testing::DiagnosisProbe;

  struct Report {
    AbnormalEventType type;
    int status;
  };

  Diagnosis() = default;

  mutable std::mutex mutex_;
  std::map<int, int> status_;
  // Only the latest reports are kept: the process may run for months.
  static constexpr size_t kMaxKeptReports = 256;
  std::deque<Report> reports_;
};

#endif  // VANTRELL_DIAGNOSIS__DIAGNOSIS_HPP_
