#ifndef TF2__BUFFER_CORE_H_
#define TF2__BUFFER_CORE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/LinearMath/Transform.h"
#include "tf2/time.h"
#include "tf2/time_cache.h"

namespace tf2 {

constexpr Duration BUFFER_CORE_DEFAULT_CACHE_TIME = std::chrono::seconds(10);

// The tree of frames: every frame has at most one parent, and each frame keeps
// its transforms to that parent over the cache time. Lookups walk from both
// frames to their common ancestor. Safe to use from several threads.
class BufferCore {
 public:
  explicit BufferCore(Duration cache_time = BUFFER_CORE_DEFAULT_CACHE_TIME);
  virtual ~BufferCore() = default;
  BufferCore(const BufferCore&) = delete;
  BufferCore& operator=(const BufferCore&) = delete;

  // Forgets every transform and frame.
  void clear();

  // Stores the transform from transform.child_frame_id to header.frame_id.
  // False, with an error line on stderr, for an empty or '/'-prefixed frame id,
  // a frame that is its own parent, a NaN, a quaternion whose length is not 1
  // (within 0.01), or data older than the child's cache window. A static
  // transform holds at every time until it is replaced.
  bool setTransform(const geometry_msgs::msg::TransformStamped& transform,
                    const std::string& authority, bool is_static = false);

  // The transform that maps points of `source_frame` into `target_frame` at
  // `time`; TimePointZero asks for the latest time at which every transform on
  // the way is known. Throws InvalidArgumentException for a malformed frame id,
  // LookupException for an unknown frame or a loop, ConnectivityException when
  // no chain joins the frames and ExtrapolationException when `time` lies
  // outside the stored transforms.
  geometry_msgs::msg::TransformStamped lookupTransform(const std::string& target_frame,
                                                       const std::string& source_frame,
                                                       const TimePoint& time) const;

  // Whether lookupTransform would succeed; the reason it would not goes to
  // `error_msg` when given.
  bool canTransform(const std::string& target_frame, const std::string& source_frame,
                    const TimePoint& time, std::string* error_msg = nullptr) const;

  bool _frameExists(const std::string& frame_id) const;
  std::vector<std::string> getAllFrameNames() const;
  // One line per frame with a parent: "Frame <child> exists with parent <parent>.".
  std::string allFramesAsString() const;
  Duration getCacheLength() const { return cache_time_; }

 protected:
  // Blocks until `ready` holds or `deadline` passes, re-testing after every
  // stored transform. Returns the last value of `ready`.
  bool waitUntil(const std::function<bool()>& ready,
                 std::chrono::steady_clock::time_point deadline) const;

 private:
  struct Chain {
    // Frames from the start upwards, and the transform of each frame to the
    // next one (one entry fewer). The walk ends at a root, at a frame of
    // `meet`, or where a frame has no transform at the time, which `error`
    // then tells.
    std::vector<std::string> frames;
    std::vector<Transform> steps;
    std::string error;
  };

  geometry_msgs::msg::TransformStamped lookupLocked(const std::string& target_frame,
                                                    const std::string& source_frame,
                                                    const TimePoint& time) const;
  void validateFrame(const std::string& frame_id, const char* role) const;
  std::vector<std::string> latestAncestors(const std::string& frame) const;
  TimePoint latestCommonTime(const std::vector<std::string>& source_path,
                             const std::vector<std::string>& target_path,
                             const std::string& ancestor) const;
  Chain walk(const std::string& frame, TimePoint time, const std::vector<std::string>& meet) const;
  std::string allFramesLocked() const;
  void notifyChanged();

  Duration cache_time_;
  mutable std::mutex mutex_;
  std::map<std::string, TimeCache> caches_;
  std::set<std::string> frames_;

  mutable std::mutex change_mutex_;
  mutable std::condition_variable changed_;
  uint64_t generation_{0};
};

}  // namespace tf2

#endif  // TF2__BUFFER_CORE_H_
