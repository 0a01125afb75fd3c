#include "planning/search_options.hpp"

#include <cstring>

namespace planning {

AstarOptions searchOptions(const SearchFields& fields) {
  AstarOptions options;
  std::memset(static_cast<void*>(&options), 0, sizeof(options));
  options.byte_0 = fields.cost_aware;
  options.byte_2 = fields.keep_turning_room;
  options.fuzzy_range = fields.start_tolerance;
  options.goal_fuzzy_range = fields.goal_tolerance;
  options.tolerance = fields.path_tolerance;
  options.int_60 = fields.budget;
  return options;
}

AstarOptions globalSearchOptions(double fuzzy_range, double goal_tolerance) {
  SearchFields fields;
  fields.cost_aware = true;
  fields.keep_turning_room = true;
  fields.start_tolerance = fuzzy_range;
  fields.goal_tolerance = goal_tolerance;
  fields.path_tolerance = kGlobalPathTolerance;
  fields.budget = kSearchBudget;
  return searchOptions(fields);
}

AstarOptions liftSearchOptions(double goal_tolerance) {
  SearchFields fields;
  fields.keep_turning_room = true;
  fields.goal_tolerance = goal_tolerance;
  fields.path_tolerance = kLiftPathTolerance;
  return searchOptions(fields);
}

}  // namespace planning
