#ifndef VANTRELL_COMMUNICATOR__COMMUNICATOR_TYPES_HPP_
#define VANTRELL_COMMUNICATOR__COMMUNICATOR_TYPES_HPP_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "std_msgs/msg/header.hpp"

namespace vantrell_communicator {

/// Start (or stop) of the cleaning devices for a coverage run.
struct CleanCoverageTrigger {
  using SharedPtr = std::shared_ptr<CleanCoverageTrigger>;
  using ConstSharedPtr = std::shared_ptr<const CleanCoverageTrigger>;
  using UniquePtr = std::unique_ptr<CleanCoverageTrigger>;

  bool start{false};
  int32_t path_overlap{0};
  int32_t coverage_width{0};

  bool operator==(const CleanCoverageTrigger& o) const {
    return start == o.start && path_overlap == o.path_overlap && coverage_width == o.coverage_width;
  }
  bool operator!=(const CleanCoverageTrigger& o) const { return !(*this == o); }
};

/// A request for a diagnostic recording: which module asks, and why.
struct RosbagTrigger {
  using SharedPtr = std::shared_ptr<RosbagTrigger>;
  using ConstSharedPtr = std::shared_ptr<const RosbagTrigger>;
  using UniquePtr = std::unique_ptr<RosbagTrigger>;

  std::string module;
  std::string event;

  bool operator==(const RosbagTrigger& o) const { return module == o.module && event == o.event; }
  bool operator!=(const RosbagTrigger& o) const { return !(*this == o); }
};

/// One person seen by a people source, in the robot frame (metres): x ahead,
/// y to the left.
struct PersonInfo {
  double x{0.0};
  double y{0.0};

  bool operator==(const PersonInfo& o) const { return x == o.x && y == o.y; }
  bool operator!=(const PersonInfo& o) const { return !(*this == o); }
};

/// The latest report of one people source.
struct PeopleInfo {
  std_msgs::msg::Header header;
  std::vector<PersonInfo> people;

  bool operator==(const PeopleInfo& o) const { return header == o.header && people == o.people; }
  bool operator!=(const PeopleInfo& o) const { return !(*this == o); }
};

/// Latest report per people source, keyed by the source's name.
using PeopleInfoMap = std::map<std::string, PeopleInfo>;

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__COMMUNICATOR_TYPES_HPP_
