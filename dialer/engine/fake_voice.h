// FakeVoice: a speech voice for the engine's tests. It records each text it
// is given and speaks until the test calls finish(), which reports the end
// of the speech as the real voice does.
//
// Threads: main thread only.
#pragma once

#include <QStringList>

#include "dialer/line/voice.h"

namespace doruzudo {

class FakeVoice final : public Voice {
 public:
  Status speak(const QString& text) override {
    spoken_ << text;
    state_ = kSpeaking;
    return Status::Ok();
  }
  int runningState() const override { return state_; }
  void skip() override { finish(); }
  void setRate(int rate) override { rate_ = rate; }
  int rate() const override { return rate_; }
  void setVolume(int volume) override { volume_ = volume; }
  int volume() const override { return volume_; }

  // The speech ends now.
  void finish() {
    if (state_ != kSpeaking) return;
    state_ = kDone;
    endStream();
  }
  const QStringList& spoken() const { return spoken_; }

 private:
  QStringList spoken_;
  int state_ = kDone;
  int rate_ = 0;
  int volume_ = 100;
};

}  // namespace doruzudo
