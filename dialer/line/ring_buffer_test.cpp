#include "dialer/line/ring_buffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

namespace doruzudo {
namespace {

TEST(RingBuffer, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
  RingBuffer<int16_t> ring(5);  // rounded up to 8
  ASSERT_EQ(ring.capacity(), 8u);
  std::vector<int16_t> out(8);
  int16_t next = 0, expected = 0;
  // Uneven pushes and pops walk the indexes around the buffer many times.
  for (int round = 0; round < 50; ++round) {
    std::vector<int16_t> in(static_cast<size_t>(round % 7 + 1));
    for (auto& v : in) v = next++;
    const size_t pushed = ring.push(in);
    EXPECT_LE(ring.size(), 8u);
    next = static_cast<int16_t>(next - (in.size() - pushed));  // refused items are offered again
    const size_t popped = ring.pop(std::span(out).first(static_cast<size_t>(round % 5 + 1)));
    for (size_t i = 0; i < popped; ++i) ASSERT_EQ(out[i], expected++);
  }
  const size_t left = ring.pop(out);
  for (size_t i = 0; i < left; ++i) ASSERT_EQ(out[i], expected++);
  EXPECT_EQ(expected, next);
  EXPECT_EQ(ring.pushedTotal(), ring.poppedTotal());
}

TEST(RingBuffer, FullAndEmptyEdges) {
  RingBuffer<int16_t> ring(4);
  const std::vector<int16_t> five = {1, 2, 3, 4, 5};
  EXPECT_EQ(ring.push(five), 4u);
  EXPECT_EQ(ring.space(), 0u);
  EXPECT_EQ(ring.push(five), 0u);
  std::vector<int16_t> out(10);
  EXPECT_EQ(ring.pop(out), 4u);
  EXPECT_EQ(ring.pop(out), 0u);
  ring.push(five);
  ring.clear();
  EXPECT_EQ(ring.size(), 0u);
  EXPECT_EQ(ring.push(five), 4u);
}

// One producer thread and one consumer thread: every sample arrives once, in
// order, with no lock (a torn index or a missing fence shows as a gap).
TEST(RingBuffer, ProducerAndConsumerThreadsSeeEverySampleOnce) {
  RingBuffer<int32_t> ring(256);
  constexpr int32_t kCount = 2'000'000;
  std::thread producer([&] {
    int32_t next = 0;
    std::array<int32_t, 37> block{};
    while (next < kCount) {
      const size_t n = std::min<size_t>(block.size(), static_cast<size_t>(kCount - next));
      for (size_t i = 0; i < n; ++i) block[i] = next + static_cast<int32_t>(i);
      next += static_cast<int32_t>(ring.push(std::span(block).first(n)));
    }
  });
  int32_t expected = 0;
  bool inOrder = true;
  std::array<int32_t, 53> out{};
  while (expected < kCount) {
    const size_t n = ring.pop(out);
    for (size_t i = 0; i < n; ++i) inOrder &= out[i] == expected++;
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(ring.size(), 0u);
}

}  // namespace
}  // namespace doruzudo
