// Voice: a speech voice that speaks text into one channel's line (or, for the
// test voice, on the PC's own output).
//
// speak() returns at once; the speech runs while the caller goes on, and its
// end is reported by endStream() on the main thread. Texts may carry the tags
// <lang langid="416"> (Brazilian Portuguese), <lang langid="409"> (English)
// and <silence msec="350"/>.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <functional>

#include "common/status.h"

namespace doruzudo {

class Voice {
 public:
  // The running state the engine tests: 1 done, 2 speaking.
  enum RunningState { kDone = 1, kSpeaking = 2 };

  virtual ~Voice() = default;

  // Starts speaking `text`; ends what was being spoken.
  virtual Status speak(const QString& text) = 0;
  virtual int runningState() const = 0;
  // Skips whatever is left of the text (the end-of-stream event follows).
  virtual void skip() = 0;
  virtual void setRate(int rate) = 0;      // -10..10
  virtual int rate() const = 0;
  virtual void setVolume(int volume) = 0;  // 0..100
  virtual int volume() const = 0;

  // Called on the main thread when a speech ended (spoken or skipped).
  void setEndStream(std::function<void()> handler) { endStream_ = std::move(handler); }

 protected:
  void endStream() const {
    if (endStream_) endStream_();
  }

 private:
  std::function<void()> endStream_;
};

}  // namespace doruzudo
