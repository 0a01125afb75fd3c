#include "tf2/time_cache.h"

#include <algorithm>

namespace tf2 {

TimeCache::TimeCache(Duration max_storage_time, bool is_static)
    : max_storage_time_(max_storage_time), is_static_(is_static) {}

bool TimeCache::insert(const TransformStorage& data, std::string* error) {
  if (is_static_) {
    storage_.assign(1, data);
    return true;
  }
  if (!storage_.empty() && data.stamp < storage_.back().stamp - max_storage_time_) {
    if (error) {
      *error = "the stamp " + displayTimePoint(data.stamp) + " is older than the " +
               std::to_string(durationToSec(max_storage_time_)) + " s kept before the newest " +
               displayTimePoint(storage_.back().stamp);
    }
    return false;
  }
  const auto position = std::lower_bound(
      storage_.begin(), storage_.end(), data.stamp,
      [](const TransformStorage& stored, TimePoint stamp) { return stored.stamp < stamp; });
  if (position != storage_.end() && position->stamp == data.stamp) {
    *position = data;
  } else {
    storage_.insert(position, data);
  }
  pruneOlderThan(storage_.back().stamp);
  return true;
}

void TimeCache::pruneOlderThan(TimePoint newest) {
  while (storage_.size() > 1 && storage_.front().stamp < newest - max_storage_time_) {
    storage_.pop_front();
  }
}

bool TimeCache::getData(TimePoint time, TransformStorage& out, std::string* error) const {
  if (storage_.empty()) {
    if (error) {
      *error = "no transform is stored";
    }
    return false;
  }
  if (is_static_ || time == TimePointZero) {
    out = storage_.back();
    if (is_static_) {
      out.stamp = time;
    }
    return true;
  }
  const TransformStorage& oldest = storage_.front();
  const TransformStorage& newest = storage_.back();
  if (time > newest.stamp) {
    if (error) {
      *error = "extrapolation into the future: requested time " + displayTimePoint(time) +
               " but the latest data is at time " + displayTimePoint(newest.stamp);
    }
    return false;
  }
  if (time < oldest.stamp) {
    if (error) {
      *error = "extrapolation into the past: requested time " + displayTimePoint(time) +
               " but the earliest data is at time " + displayTimePoint(oldest.stamp);
    }
    return false;
  }
  const auto after = std::lower_bound(
      storage_.begin(), storage_.end(), time,
      [](const TransformStorage& stored, TimePoint stamp) { return stored.stamp < stamp; });
  if (after->stamp == time) {
    out = *after;
    return true;
  }
  const TransformStorage& before = *(after - 1);
  if (before.parent != after->parent) {
    // The frame was re-parented in between: there is nothing to blend.
    out = before;
    out.stamp = time;
    return true;
  }
  const double ratio = static_cast<double>((time - before.stamp).count()) /
                       static_cast<double>((after->stamp - before.stamp).count());
  out.parent = before.parent;
  out.translation = before.translation.lerp(after->translation, ratio);
  out.rotation = before.rotation.slerp(after->rotation, ratio);
  out.stamp = time;
  return true;
}

std::string TimeCache::latestParent() const {
  return storage_.empty() ? std::string() : storage_.back().parent;
}

TimePoint TimeCache::latestTime() const {
  return storage_.empty() || is_static_ ? TimePointZero : storage_.back().stamp;
}

TimePoint TimeCache::oldestTime() const {
  return storage_.empty() || is_static_ ? TimePointZero : storage_.front().stamp;
}

}  // namespace tf2
