#include "vantrell_communicator/micro_unit_people_info.hpp"

namespace vantrell_communicator {

PeopleInfoMap MicroUnitPeopleInfo::getPeopleInfo() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

void MicroUnitPeopleInfo::setPeopleInfo(const std::string& source, const PeopleInfo& report) {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_[source] = report;
}

void MicroUnitPeopleInfo::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.clear();
}

}  // namespace vantrell_communicator
