#include "tf2/buffer_core.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "tf2/exceptions.h"

namespace tf2 {

namespace {

TimePoint fromStamp(const builtin_interfaces::msg::Time& stamp) {
  return TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

builtin_interfaces::msg::Time toStamp(TimePoint time) {
  constexpr int64_t kNanosPerSecond = 1000000000;
  const int64_t count = time.time_since_epoch().count();
  int64_t sec = count / kNanosPerSecond;
  int64_t nanosec = count % kNanosPerSecond;
  if (nanosec < 0) {
    nanosec += kNanosPerSecond;
    sec -= 1;
  }
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(sec);
  stamp.nanosec = static_cast<uint32_t>(nanosec);
  return stamp;
}

bool reject(const std::string& reason) {
  std::fprintf(stderr, "[ERROR] [tf2.buffer_core]: %s\n", reason.c_str());
  return false;
}

bool allFinite(const geometry_msgs::msg::Transform& t) {
  return std::isfinite(t.translation.x) && std::isfinite(t.translation.y) &&
         std::isfinite(t.translation.z) && std::isfinite(t.rotation.x) &&
         std::isfinite(t.rotation.y) && std::isfinite(t.rotation.z) && std::isfinite(t.rotation.w);
}

bool contains(const std::vector<std::string>& frames, const std::string& frame) {
  for (const std::string& candidate : frames) {
    if (candidate == frame) {
      return true;
    }
  }
  return false;
}

std::string firstShared(const std::vector<std::string>& source_path,
                        const std::vector<std::string>& target_path) {
  for (const std::string& frame : source_path) {
    if (contains(target_path, frame)) {
      return frame;
    }
  }
  return std::string();
}

}  // namespace

BufferCore::BufferCore(Duration cache_time) : cache_time_(cache_time) {}

void BufferCore::clear() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    caches_.clear();
    frames_.clear();
  }
  notifyChanged();
}

bool BufferCore::setTransform(const geometry_msgs::msg::TransformStamped& transform,
                              const std::string& authority, bool is_static) {
  const std::string& child = transform.child_frame_id;
  const std::string& parent = transform.header.frame_id;
  const std::string source = " from authority \"" + authority + "\"";
  if (child.empty()) {
    return reject("TF_NO_CHILD_FRAME_ID: ignoring transform" + source +
                  " because child_frame_id is not set");
  }
  if (parent.empty()) {
    return reject("TF_NO_FRAME_ID: ignoring transform with child_frame_id \"" + child + "\"" +
                  source + " because frame_id is not set");
  }
  if (child == parent) {
    return reject("TF_SELF_TRANSFORM: ignoring transform" + source +
                  " with frame_id and child_frame_id \"" + child + "\" because they are the same");
  }
  if (child.front() == '/' || parent.front() == '/') {
    return reject("TF_INVALID_FRAME_ID: ignoring transform from \"" + child + "\" to \"" + parent +
                  "\"" + source + " because frame ids cannot start with a '/'");
  }
  if (!allFinite(transform.transform)) {
    return reject("TF_NAN_INPUT: ignoring transform for child_frame_id \"" + child + "\"" + source +
                  " because of a NaN or infinite value");
  }
  Quaternion rotation;
  rotation.setValue(transform.transform.rotation.x, transform.transform.rotation.y,
                    transform.transform.rotation.z, transform.transform.rotation.w);
  if (std::fabs(rotation.length() - 1.0) > 0.01) {
    return reject("TF_DENORMALIZED_QUATERNION: ignoring transform for child_frame_id \"" + child +
                  "\"" + source + " because its rotation is not a unit quaternion");
  }

  TransformStorage data;
  data.parent = parent;
  data.rotation = rotation.normalized();
  data.translation.setValue(transform.transform.translation.x, transform.transform.translation.y,
                            transform.transform.translation.z);
  data.stamp = fromStamp(transform.header.stamp);

  std::string error;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto cache = caches_.find(child);
    if (cache == caches_.end() || cache->second.isStatic() != is_static) {
      // A frame switching between static and dynamic starts a fresh history.
      cache = caches_.insert_or_assign(child, TimeCache(cache_time_, is_static)).first;
    }
    if (!cache->second.insert(data, &error)) {
      return reject("TF_OLD_DATA: ignoring data from the past for frame \"" + child + "\"" +
                    source + ": " + error);
    }
    frames_.insert(child);
    frames_.insert(parent);
  }
  notifyChanged();
  return true;
}

geometry_msgs::msg::TransformStamped BufferCore::lookupTransform(const std::string& target_frame,
                                                                 const std::string& source_frame,
                                                                 const TimePoint& time) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lookupLocked(target_frame, source_frame, time);
}

bool BufferCore::canTransform(const std::string& target_frame, const std::string& source_frame,
                              const TimePoint& time, std::string* error_msg) const {
  try {
    lookupTransform(target_frame, source_frame, time);
    return true;
  } catch (const TransformException& e) {
    if (error_msg) {
      *error_msg = e.what();
    }
    return false;
  }
}

void BufferCore::validateFrame(const std::string& frame_id, const char* role) const {
  if (frame_id.empty()) {
    throw InvalidArgumentException(
        std::string("Invalid argument passed to lookupTransform argument ") + role +
        " - in tf2 frame_ids cannot be empty");
  }
  if (frame_id.front() == '/') {
    throw InvalidArgumentException(std::string("Invalid argument \"") + frame_id +
                                   "\" passed to lookupTransform argument " + role +
                                   " - in tf2 frame_ids cannot start with a '/'");
  }
  if (frames_.count(frame_id) == 0) {
    throw LookupException("\"" + frame_id + "\" passed to lookupTransform argument " + role +
                          " does not exist. ");
  }
}

geometry_msgs::msg::TransformStamped BufferCore::lookupLocked(const std::string& target_frame,
                                                              const std::string& source_frame,
                                                              const TimePoint& time) const {
  validateFrame(target_frame, "target_frame");
  validateFrame(source_frame, "source_frame");

  geometry_msgs::msg::TransformStamped result;
  result.header.frame_id = target_frame;
  result.child_frame_id = source_frame;
  if (target_frame == source_frame) {
    result.header.stamp = toStamp(time);
    return result;
  }

  TimePoint resolved = time;
  if (time == TimePointZero) {
    const std::vector<std::string> source_path = latestAncestors(source_frame);
    const std::vector<std::string> target_path = latestAncestors(target_frame);
    const std::string ancestor = firstShared(source_path, target_path);
    if (ancestor.empty()) {
      throw ConnectivityException(
          "Could not find a connection between '" + target_frame + "' and '" + source_frame +
          "' because they are not part of the same tree. Tf has two or more unconnected trees.");
    }
    resolved = latestCommonTime(source_path, target_path, ancestor);
  }

  // Only the transforms up to the common ancestor matter: frames above it
  // need no data at the requested time.
  const Chain source_chain = walk(source_frame, resolved, {});
  const Chain target_chain = walk(target_frame, resolved, source_chain.frames);
  const std::string& ancestor = target_chain.frames.back();
  if (!contains(source_chain.frames, ancestor)) {
    const std::string& error = source_chain.error.empty() ? target_chain.error : source_chain.error;
    if (!error.empty()) {
      throw ExtrapolationException("Lookup would require " + error +
                                   ", when looking up transform from frame [" + source_frame +
                                   "] to frame [" + target_frame + "]");
    }
    throw ConnectivityException(
        "Could not find a connection between '" + target_frame + "' and '" + source_frame +
        "' because they are not part of the same tree. Tf has two or more unconnected trees.");
  }

  // Each chain maps its start frame into the common ancestor.
  auto to_ancestor = [&ancestor](const Chain& chain) {
    Transform accumulated;
    for (size_t i = 0; chain.frames[i] != ancestor; ++i) {
      accumulated = chain.steps[i] * accumulated;
    }
    return accumulated;
  };
  const Transform source_to_target =
      to_ancestor(target_chain).inverse() * to_ancestor(source_chain);

  result.header.stamp = toStamp(resolved);
  const Vector3& origin = source_to_target.getOrigin();
  result.transform.translation.x = origin.x();
  result.transform.translation.y = origin.y();
  result.transform.translation.z = origin.z();
  const Quaternion rotation = source_to_target.getRotation().normalized();
  result.transform.rotation.x = rotation.x();
  result.transform.rotation.y = rotation.y();
  result.transform.rotation.z = rotation.z();
  result.transform.rotation.w = rotation.w();
  return result;
}

std::vector<std::string> BufferCore::latestAncestors(const std::string& frame) const {
  std::vector<std::string> path{frame};
  for (;;) {
    const auto cache = caches_.find(path.back());
    if (cache == caches_.end() || cache->second.empty()) {
      return path;
    }
    const std::string parent = cache->second.latestParent();
    if (contains(path, parent)) {
      throw LookupException("The tf tree is invalid because it contains a loop.\n" +
                            allFramesLocked());
    }
    path.push_back(parent);
  }
}

TimePoint BufferCore::latestCommonTime(const std::vector<std::string>& source_path,
                                       const std::vector<std::string>& target_path,
                                       const std::string& ancestor) const {
  bool found = false;
  TimePoint common = TimePointZero;
  for (const auto* path : {&source_path, &target_path}) {
    for (const std::string& frame : *path) {
      if (frame == ancestor) {
        break;
      }
      const TimeCache& cache = caches_.at(frame);
      if (cache.isStatic()) {
        continue;
      }
      const TimePoint latest = cache.latestTime();
      if (!found || latest < common) {
        common = latest;
        found = true;
      }
    }
  }
  return common;
}

BufferCore::Chain BufferCore::walk(const std::string& frame, TimePoint time,
                                   const std::vector<std::string>& meet) const {
  Chain chain;
  chain.frames.push_back(frame);
  for (;;) {
    const std::string& current = chain.frames.back();
    if (contains(meet, current)) {
      return chain;
    }
    const auto cache = caches_.find(current);
    if (cache == caches_.end() || cache->second.empty()) {
      return chain;
    }
    TransformStorage data;
    if (!cache->second.getData(time, data, &chain.error)) {
      chain.error += " for frame [" + current + "]";
      return chain;
    }
    if (contains(chain.frames, data.parent)) {
      throw LookupException("The tf tree is invalid because it contains a loop.\n" +
                            allFramesLocked());
    }
    chain.steps.emplace_back(data.rotation, data.translation);
    chain.frames.push_back(data.parent);
  }
}

bool BufferCore::_frameExists(const std::string& frame_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_.count(frame_id) > 0;
}

std::vector<std::string> BufferCore::getAllFrameNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<std::string>(frames_.begin(), frames_.end());
}

std::string BufferCore::allFramesAsString() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return allFramesLocked();
}

std::string BufferCore::allFramesLocked() const {
  std::string text;
  for (const auto& entry : caches_) {
    if (!entry.second.empty()) {
      text += "Frame " + entry.first + " exists with parent " + entry.second.latestParent() + ".\n";
    }
  }
  return text;
}

bool BufferCore::waitUntil(const std::function<bool()>& ready,
                           std::chrono::steady_clock::time_point deadline) const {
  for (;;) {
    uint64_t seen = 0;
    {
      std::lock_guard<std::mutex> lock(change_mutex_);
      seen = generation_;
    }
    if (ready()) {
      return true;
    }
    std::unique_lock<std::mutex> lock(change_mutex_);
    if (!changed_.wait_until(lock, deadline, [this, seen] { return generation_ != seen; })) {
      lock.unlock();
      return ready();
    }
  }
}

void BufferCore::notifyChanged() {
  {
    std::lock_guard<std::mutex> lock(change_mutex_);
    ++generation_;
  }
  changed_.notify_all();
}

}  // namespace tf2
