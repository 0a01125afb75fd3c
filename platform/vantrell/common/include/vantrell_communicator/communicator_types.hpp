#ifndef VANTRELL_COMMUNICATOR__COMMUNICATOR_TYPES_HPP_
#define VANTRELL_COMMUNICATOR__COMMUNICATOR_TYPES_HPP_

#include <map>
#include <string>
#include <vector>

#include "std_msgs/msg/header.hpp"

namespace vantrell_communicator {

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
