#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__BUCKET_QUEUE_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__BUCKET_QUEUE_HPP_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrell_nav2_planner {
namespace astar2 {

/// Open list of a search with whole-number priorities that never fall below the last one
/// taken (A* with a consistent heuristic): one bucket per priority in a ring of buckets that
/// covers the priorities at most `span` above the smallest, a bit per bucket to find the next
/// one, and a binary heap for the rare priorities beyond the ring.
///
/// Among equal priorities the cell pushed last comes first, so a search settles a line of
/// equally good cells one after the other instead of widening a front.
///
/// The memory is kept from one search to the next; `reset` costs the ring's size, not the map's.
class BucketQueue {
 public:
  /// Empties the queue for a search whose priorities rise by at most `span` per step.
  void reset(std::uint32_t span);

  bool empty() const { return size_ == 0; }

  /// Queues `cell` at `key`, which is not below the key last popped.
  void push(std::uint32_t key, std::uint32_t cell) {
    ++size_;
    if (key - cursor_ > mask_) {
      pushFar(key, cell);
      return;
    }
    const std::uint32_t bucket = key & mask_;
    std::uint32_t entry = free_;
    if (entry != kNone) {
      free_ = entries_[entry].next;
      entries_[entry] = Entry{cell, head_[bucket]};
    } else {
      entry = static_cast<std::uint32_t>(entries_.size());
      entries_.push_back(Entry{cell, head_[bucket]});
    }
    head_[bucket] = entry;
    occupied_[bucket >> 6] |= std::uint64_t{1} << (bucket & 63U);
  }

  /// Takes a cell of the smallest key; the queue must not be empty.
  std::uint32_t pop() {
    std::uint32_t bucket = cursor_ & mask_;
    if (head_[bucket] == kNone) {
      advance();
      bucket = cursor_ & mask_;
    }
    const std::uint32_t entry = head_[bucket];
    Entry& taken = entries_[entry];
    const std::uint32_t cell = taken.cell;
    head_[bucket] = taken.next;
    if (taken.next == kNone) {
      occupied_[bucket >> 6] &= ~(std::uint64_t{1} << (bucket & 63U));
    } else {
      __builtin_prefetch(&entries_[taken.next]);  // the next pop's entry, long since written
    }
    taken.next = free_;
    free_ = entry;
    --size_;
    return cell;
  }

  /// The key of the cell popped last.
  std::uint32_t lastKey() const { return cursor_; }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFU;

  struct Entry {
    std::uint32_t cell;
    std::uint32_t next;
  };
  struct FarEntry {
    std::uint32_t key;
    std::uint32_t cell;
    std::uint32_t order;  ///< pushes before this one, so that equal keys leave oldest first
  };

  void pushFar(std::uint32_t key, std::uint32_t cell);
  /// Moves the cursor to the smallest key queued, pulling in the far entries it brings near.
  void advance();
  /// Distance from the cursor to the next occupied bucket; the ring must not be empty.
  std::uint32_t nextOccupied() const;
  void pullFar();

  std::vector<std::uint32_t> head_;
  std::vector<std::uint64_t> occupied_;
  std::vector<Entry> entries_;
  std::vector<FarEntry> far_;
  std::uint32_t far_pushes_{0};
  std::uint32_t free_{kNone};
  std::uint32_t mask_{0};
  std::uint32_t cursor_{0};
  std::size_t size_{0};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__BUCKET_QUEUE_HPP_
