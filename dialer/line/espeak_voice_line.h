// VoiceLineAudio: a channel's sound shared by the call engine and the
// channel's speech voice. It stands between the channel's ChannelAudio (the
// real or simulated device) and the engine: the engine uses it as its
// ChannelAudio and is its listener; the voice uses it as its SpeechOutput and
// speaks into the line on the message player (Player::Message).
//
// Who hears the message player's play-done:
//  - while the voice's speech plays there, its end goes to the voice only
//    (the engine sees no message play-done for speech);
//  - when the engine plays or stops the message player during a speech, the
//    speech has ended: the voice hears it on the next scheduler turn, and the
//    play-done the device then reports for the stopped speech is dropped;
//  - everything else (the other players, the tone decoder's events, the
//    engine's own message plays) passes through unchanged.
// A play-done that arrives while the device still plays the message player
// belongs to an earlier, stopped playback (the device reports a stop on its
// next tick, after a new play may have started): it is not the speech's end.
//
// Thread-safety: main thread only, like the ChannelAudio it wraps.
#pragma once

#include <functional>
#include <memory>

#include "common/scheduler.h"
#include "dialer/line/channel_audio.h"
#include "dialer/line/espeak_voice.h"

namespace doruzudo {

class VoiceLineAudio final : public ChannelAudio,
                             public SpeechOutput,
                             private ChannelAudio::Listener {
 public:
  // Becomes `line`'s listener; `line` must outlive this object.
  VoiceLineAudio(Scheduler& scheduler, ChannelAudio& line);
  ~VoiceLineAudio() override;
  VoiceLineAudio(const VoiceLineAudio&) = delete;
  VoiceLineAudio& operator=(const VoiceLineAudio&) = delete;

  ChannelAudio& line() { return line_; }
  bool speaking() const { return static_cast<bool>(speechDone_); }

  // ChannelAudio, for the engine.
  Status play(Player player, const QString& file) override;
  Status playSamples(Player player, std::span<const int16_t> samples, int sampleRate) override;
  void stop(Player player) override;
  bool playing(Player player) const override { return line_.playing(player); }
  Status startStream() override { return line_.startStream(); }
  bool streaming() const override { return line_.streaming(); }
  Status startRecording(const QString& file, const RecordFormat& format) override {
    return line_.startRecording(file, format);
  }
  Status stopRecording() override { return line_.stopRecording(); }
  bool recording() const override { return line_.recording(); }

  // SpeechOutput, for the voice.
  Status play(std::span<const int16_t> samples, int sampleRate,
              std::function<void()> done) override;
  void stop() override;

 private:
  // ChannelAudio::Listener, from the device.
  void playDone(Player player) override;
  void dtmf(int key, int64_t position) override;
  void frequencyDetected(double frequency, double second, int durationMs, int64_t start) override;
  void silenceStart(int64_t position) override;
  void silenceEnd(int64_t position, int durationMs) override;

  // The speech on the message player ends now for the voice; the device's
  // play-done of its stop is dropped.
  void endSpeech(bool stopDevice);
  void beforeEnginePlay(Player player);

  Scheduler& scheduler_;
  ChannelAudio& line_;
  std::function<void()> speechDone_;  // set while the speech owns the message player
  bool dropStopDone_ = false;         // the device will report a stopped speech
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // ends queued after this dies drop
};

}  // namespace doruzudo
