// ChannelAudio: the sound of one telephone line, as the call engine sees it.
//
// A channel has one sound device (its line unit's card). On it run four
// logical players, which share the device's output mixed together, and one
// input stream, which feeds the channel's tone decoder at 8000 Hz and can
// record the line into a file:
//   Player::Message   PlayC<n>: the message (and the transfer announcement's
//                     sibling roles below)
//   Player::Digit     PlayDigitoC<n>: the dial digits
//   Player::Extension PlayRamalC<n>: the extension digits
//   Player::Reply     RepAudioC<n>: option confirmations and the transfer
//                     announcement
// The recording of a call (the engine's "PlayC<n> records") is the input
// stream written to a file in a RecordFormat.
//
// Events arrive on the main thread, through the Listener, never from inside
// the call that caused them (a play-done is reported on a later turn of the
// event loop or scheduler, even for an empty file).
//
// Implementations: the real one over PortAudio (ALSA) and a simulated one in
// memory, paced by the scheduler, which exchanges audio with the virtual
// exchange.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

#include "common/status.h"

namespace doruzudo {

enum class Player { Message = 0, Digit = 1, Extension = 2, Reply = 3 };
constexpr int kPlayerCount = 4;

// A recording file format: WAV (16-bit PCM mono) or MP3 (mono, constant bit
// rate), at a sample rate.
struct RecordFormat {
  enum class Kind { Wave, Mp3 };
  Kind kind = Kind::Wave;
  int sampleRate = 8000;    // 8000, 11025, 22050 or 44100
  int bitRateKbps = 0;      // MP3 only: 24 or 32
  QString extension() const { return kind == Kind::Mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav"); }
};

class ChannelAudio {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    // A playback started by play() ended (its last sample left), or was stopped.
    virtual void playDone(Player player) {}
    // Tone decoder events; positions count samples at 8000 Hz since the
    // input stream started.
    virtual void dtmf(int key, int64_t position) {}
    virtual void frequencyDetected(double frequency, double secondFrequency, int durationMs,
                                   int64_t startPosition) {}
    virtual void silenceStart(int64_t position) {}
    virtual void silenceEnd(int64_t position, int durationMs) {}
  };

  virtual ~ChannelAudio() = default;

  void setListener(Listener* listener) { listener_ = listener; }

  // Plays a WAV or MP3 file of any rate on a player (replacing what that
  // player was playing). Fails for an unreadable file or a closed device.
  virtual Status play(Player player, const QString& file) = 0;
  // Plays samples already in memory (speech), at `sampleRate`.
  virtual Status playSamples(Player player, std::span<const int16_t> samples, int sampleRate) = 0;
  virtual void stop(Player player) = 0;
  virtual bool playing(Player player) const = 0;

  // The input stream: started once when the channel's audio is opened; it
  // feeds the tone decoder from then on.
  virtual Status startStream() = 0;
  virtual bool streaming() const = 0;
  // Records the input stream into `file` in `format`, until stopRecording().
  virtual Status startRecording(const QString& file, const RecordFormat& format) = 0;
  virtual Status stopRecording() = 0;
  virtual bool recording() const = 0;

 protected:
  Listener* listener() const { return listener_; }

 private:
  Listener* listener_ = nullptr;
};

}  // namespace doruzudo
