// StreamResampler: rate conversion of a stream that arrives in blocks (the
// 20 ms ticks of a channel), keeping the converter's state between blocks so
// the joins leave no clicks. Equal rates pass the samples through unchanged.
//
// Thread-safety: a plain object of one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace doruzudo {

class StreamResampler {
 public:
  StreamResampler(int fromRate, int toRate);
  ~StreamResampler();
  StreamResampler(const StreamResampler&) = delete;
  StreamResampler& operator=(const StreamResampler&) = delete;

  int fromRate() const { return from_; }
  int toRate() const { return to_; }
  // Converts the next block; the output may lag the input by a few samples
  // (the converter's delay), never more than a block.
  std::vector<int16_t> process(std::span<const int16_t> in);
  // Forgets the stream so far.
  void reset();

 private:
  struct State;
  int from_, to_;
  std::unique_ptr<State> state_;
};

}  // namespace doruzudo
