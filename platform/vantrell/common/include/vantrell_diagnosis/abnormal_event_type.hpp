#ifndef VANTRELL_DIAGNOSIS__ABNORMAL_EVENT_TYPE_HPP_
#define VANTRELL_DIAGNOSIS__ABNORMAL_EVENT_TYPE_HPP_

/// Kinds of abnormal-data reports. The values travel to the diagnosis
/// consumers as plain numbers, so they never change.
enum AbnormalEventType : int {
  /// Runs of failed global planning goals.
  GLOBAL_PLANNING_FAILURE = 2,
  /// Runs of failed local planning goals.
  LOCAL_PLANNING_FAILURE = 3,
};

#endif  // VANTRELL_DIAGNOSIS__ABNORMAL_EVENT_TYPE_HPP_
