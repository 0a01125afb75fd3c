#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_PEOPLE_INFO_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_PEOPLE_INFO_HPP_

#include <mutex>
#include <string>

#include "vantrell_communicator/communicator_types.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The people unit: the latest report of every people source.
class MicroUnitPeopleInfo {
 public:
  MicroUnitPeopleInfo() = default;

  /// Latest report per source, ordered by source name (empty before the first).
  PeopleInfoMap getPeopleInfo() const;

 private:
  friend class testing::CommunicatorProbe;

  void setPeopleInfo(const std::string& source, const PeopleInfo& report);
  void clear();

  mutable std::mutex mutex_;
  PeopleInfoMap reports_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_PEOPLE_INFO_HPP_
