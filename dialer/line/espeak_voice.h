// EspeakVoice: a speech voice over espeak-ng. speak() hands the text to the
// one synthesis thread of the program (espeak_voice_worker.h), which renders
// it into a buffer; back on the main thread the buffer goes to the voice's
// SpeechOutput (a channel's line, espeak_voice_line.h, or the PC's own
// output, test_voice_output.h), and the end of that playback is the end of
// the stream.
//
// What it does with the text: the tags of the speech pages become SSML
// (ssml.h); the rate -10..10 becomes words per minute (wordsPerMinute());
// the volume 0..100 scales the samples (100: as espeak-ng renders them,
// 0: silence). Rate, volume and voice apply from the next speak().
//
// Events: endStream() once per speech, on the main thread and never from
// inside a call of this class (a scheduler continuation or the output's
// done): when the samples have been heard, when skip() stopped them, when the
// synthesis or the output failed (the error handler hears why first), or when
// the output was taken over by another playback. A speak() during a speech
// replaces it: the replaced speech has no end of its own.
// runningState() is kSpeaking from speak() until its endStream().
//
// Thread-safety: main thread only. The synthesis thread sees only a copy of
// the request and hands the samples back through the Qt event loop (so the
// program needs a QCoreApplication); a voice destroyed meanwhile just drops
// them.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/scheduler.h"
#include "dialer/line/voice.h"

namespace doruzudo {

class SpeechWorker;

// Where a voice's samples are heard.
class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;
  // Starts playing `samples` at `sampleRate`, replacing what this output
  // played (whose `done` is then never called). `done` runs once on the main
  // thread, on a later turn: when the last sample has been heard, or after
  // stop(), or when something else took the output over. Not called when
  // play() fails.
  virtual Status play(std::span<const int16_t> samples, int sampleRate,
                      std::function<void()> done) = 0;
  // Stops the playback (its `done` follows); nothing when none runs.
  virtual void stop() = 0;
};

// Whether espeak-ng's voice data are installed. espeak-ng ends the whole
// process when it starts without them, so every way into it here (the
// voices, the voice list, the sound generator) asks this first and fails in
// the ordinary way instead. Looked up once per process.
bool speechDataInstalled();

// Words per minute for espeak-ng of a speech rate -10..10 (clamped): 175 at 0,
// 80 at -10, 450 at 10, in equal ratios per step on each side.
int wordsPerMinute(int rate);
// Scales `samples` by volume/100 (volume clamped to 0..100).
void applyVolume(std::vector<int16_t>& samples, int volume);

class EspeakVoice final : public Voice {
 public:
  static constexpr int kSampleRate = 22050;

  // `voiceName` is an espeak-ng voice or language ("pt-br").
  EspeakVoice(Scheduler& scheduler, SpeechOutput& output,
              QString voiceName = QStringLiteral("pt-br"));
  ~EspeakVoice() override;
  EspeakVoice(const EspeakVoice&) = delete;
  EspeakVoice& operator=(const EspeakVoice&) = delete;

  Status speak(const QString& text) override;
  int runningState() const override { return state_; }
  void skip() override;
  void setRate(int rate) override;
  int rate() const override { return rate_; }
  void setVolume(int volume) override;
  int volume() const override { return volume_; }

  void setVoiceName(const QString& name) { voiceName_ = name; }
  QString voiceName() const { return voiceName_; }
  // Hears why a speech ended early (synthesis or output failed).
  void setErrorHandler(std::function<void(const QString&)> handler) {
    errorHandler_ = std::move(handler);
  }

 private:
  enum class Phase { Idle, Synthesising, Playing };

  void synthesised(uint64_t generation, Result<std::vector<int16_t>> samples);
  void playDone(uint64_t generation);
  void finishLater(const QString& error);
  void finish();

  Scheduler& scheduler_;
  SpeechOutput& output_;
  std::shared_ptr<SpeechWorker> worker_;
  std::shared_ptr<int> alive_;  // weak copies tell the event loop this voice still lives
  QString voiceName_;
  int rate_ = 0;
  int volume_ = 100;
  int state_ = kDone;
  Phase phase_ = Phase::Idle;
  uint64_t generation_ = 0;  // counts speak() calls; older results are dropped
  uint64_t finishCall_ = 0;  // the pending finish continuation, 0 when none
  std::function<void(const QString&)> errorHandler_;
};

}  // namespace doruzudo
