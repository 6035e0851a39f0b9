// RingBuffer: a lock-free single-producer, single-consumer queue of samples,
// the only thing shared between a sound device's callback thread and the main
// thread. One thread writes (push), one thread reads (pop); neither ever
// blocks or allocates after construction.
//
// Thread-safety: exactly one producer thread and one consumer thread at a
// time. head_ (the next slot to read) is written only by the consumer and
// tail_ (the next slot to write) only by the producer; each publishes its
// index with a release store and reads the other's with an acquire load, so
// the samples written before a tail_ store are seen by the reader that loads
// it. capacity() and the counters are safe from either side.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace doruzudo {

template <typename T>
class RingBuffer {
 public:
  // Holds up to `capacity` items (rounded up to a power of two).
  explicit RingBuffer(size_t capacity) : slots_(roundUp(capacity)), mask_(slots_.size() - 1) {}
  RingBuffer(const RingBuffer&) = delete;
  RingBuffer& operator=(const RingBuffer&) = delete;

  size_t capacity() const { return slots_.size(); }
  // Items waiting to be read (exact for the consumer, a lower bound for the
  // producer's view of free space).
  size_t size() const {
    return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
  }
  size_t space() const { return capacity() - size(); }

  // Producer: appends as many of `items` as fit; returns how many.
  size_t push(std::span<const T> items) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t head = head_.load(std::memory_order_acquire);
    const size_t n = std::min(items.size(), capacity() - (tail - head));
    for (size_t i = 0; i < n; ++i) slots_[(tail + i) & mask_] = items[i];
    tail_.store(tail + n, std::memory_order_release);
    return n;
  }

  // Consumer: takes up to out.size() items into `out`; returns how many.
  size_t pop(std::span<T> out) {
    const size_t head = head_.load(std::memory_order_relaxed);
    const size_t tail = tail_.load(std::memory_order_acquire);
    const size_t n = std::min(out.size(), tail - head);
    for (size_t i = 0; i < n; ++i) out[i] = slots_[(head + i) & mask_];
    head_.store(head + n, std::memory_order_release);
    return n;
  }

  // Consumer: drops everything waiting.
  void clear() { head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release); }

  // Items ever pushed / popped (they only grow; wrap-around of size_t aside).
  uint64_t pushedTotal() const { return tail_.load(std::memory_order_acquire); }
  uint64_t poppedTotal() const { return head_.load(std::memory_order_acquire); }

 private:
  static size_t roundUp(size_t n) {
    size_t c = 1;
    while (c < n) c <<= 1;
    return c;
  }

  std::vector<T> slots_;
  const size_t mask_;
  alignas(64) std::atomic<size_t> head_{0};  // consumer's index
  alignas(64) std::atomic<size_t> tail_{0};  // producer's index
};

using SampleRing = RingBuffer<int16_t>;

}  // namespace doruzudo
