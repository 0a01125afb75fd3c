#include "vantrell_nav2_planner/astar2/bucket_queue.hpp"

#include <algorithm>

namespace vantrell_nav2_planner {
namespace astar2 {

namespace {

constexpr std::uint32_t kMinBuckets = 64;
// 64 k buckets (256 KiB of heads): a wider spread of priorities goes through the far heap.
constexpr std::uint32_t kMaxBuckets = 1U << 16;

// Smallest key first, and the older of equal keys, so that pulling them into a bucket leaves
// the newest on top.
struct LaterOut {
  template <typename Entry>
  bool operator()(const Entry& a, const Entry& b) const {
    return a.key != b.key ? a.key > b.key : a.order > b.order;
  }
};

}  // namespace

void BucketQueue::reset(std::uint32_t span) {
  std::uint32_t buckets = kMinBuckets;
  while (buckets <= span && buckets < kMaxBuckets) {
    buckets <<= 1;
  }
  if (head_.size() != buckets) {
    head_.assign(buckets, kNone);
    occupied_.assign(buckets / 64, 0U);
  } else if (size_ != 0) {
    // Whatever the last search left queued: only occupied buckets have heads to clear.
    for (std::size_t word = 0; word < occupied_.size(); ++word) {
      for (std::uint64_t bits = occupied_[word]; bits != 0; bits &= bits - 1) {
        head_[word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))] = kNone;
      }
      occupied_[word] = 0U;
    }
  }
  mask_ = buckets - 1;
  entries_.clear();
  far_.clear();
  far_pushes_ = 0;
  free_ = kNone;
  cursor_ = 0;
  size_ = 0;
}

void BucketQueue::pushFar(std::uint32_t key, std::uint32_t cell) {
  if (key < cursor_) {
    // Keys never fall below the last one taken; should one do, it is taken next.
    --size_;
    push(cursor_, cell);
    return;
  }
  far_.push_back(FarEntry{key, cell, far_pushes_++});
  std::push_heap(far_.begin(), far_.end(), LaterOut{});
}

void BucketQueue::advance() {
  const bool ring_empty = size_ == far_.size();
  if (ring_empty) {
    cursor_ = far_.front().key;
  } else {
    const std::uint32_t next = cursor_ + nextOccupied();
    cursor_ = !far_.empty() && far_.front().key < next ? far_.front().key : next;
  }
  pullFar();
}

std::uint32_t BucketQueue::nextOccupied() const {
  const std::uint32_t start = cursor_ & mask_;
  const std::size_t words = occupied_.size();
  std::size_t word = start >> 6;
  std::uint64_t bits = occupied_[word] & (~std::uint64_t{0} << (start & 63U));
  // One lap round the ring, back into the first word for the buckets below the start.
  for (std::size_t visited = 0; bits == 0 && visited < words; ++visited) {
    word = word + 1 == words ? 0 : word + 1;
    bits = occupied_[word];
  }
  const auto bucket = static_cast<std::uint32_t>(word * 64 + __builtin_ctzll(bits));
  return (bucket - start) & mask_;
}

void BucketQueue::pullFar() {
  while (!far_.empty() && far_.front().key - cursor_ <= mask_) {
    std::pop_heap(far_.begin(), far_.end(), LaterOut{});
    const FarEntry entry = far_.back();
    far_.pop_back();
    --size_;
    push(entry.key, entry.cell);
  }
}

}  // namespace astar2
}  // namespace vantrell_nav2_planner
