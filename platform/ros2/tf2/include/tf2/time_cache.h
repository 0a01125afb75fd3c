#ifndef TF2__TIME_CACHE_H_
#define TF2__TIME_CACHE_H_

#include <deque>
#include <string>

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"

namespace tf2 {

// One stored transform of a frame to its parent.
struct TransformStorage {
  std::string parent;
  Quaternion rotation;
  Vector3 translation;
  TimePoint stamp{};
};

// The transforms of one frame over the last `max_storage_time`, ordered by
// stamp. A static cache holds one transform that is valid at every time.
class TimeCache {
 public:
  TimeCache(Duration max_storage_time, bool is_static);

  bool isStatic() const { return is_static_; }
  bool empty() const { return storage_.empty(); }

  // Stores `data`; a transform with the stamp of a stored one replaces it.
  // False, with a reason in `error`, for data older than the window.
  bool insert(const TransformStorage& data, std::string* error);

  // The transform at `time` (TimePointZero: the newest), interpolated between
  // the stored neighbours. False, with a reason, when `time` lies outside.
  bool getData(TimePoint time, TransformStorage& out, std::string* error) const;

  // Parent of the newest transform; empty when nothing is stored.
  std::string latestParent() const;
  // Stamps of the newest and oldest transform; TimePointZero for a static or
  // empty cache.
  TimePoint latestTime() const;
  TimePoint oldestTime() const;

  void clear() { storage_.clear(); }

 private:
  void pruneOlderThan(TimePoint newest);

  Duration max_storage_time_;
  bool is_static_;
  std::deque<TransformStorage> storage_;
};

}  // namespace tf2

#endif  // TF2__TIME_CACHE_H_
