// FarEnd: the far end of one telephone line, the exchange and the called
// party behind it. A pure object driven by frames: no clock, no scheduler;
// time is the number of samples (8000 Hz) that went through process().
//
// Inputs: the line's hook events (lineEvent) and, frame by frame, what the
// dialer plays into the line. Output: for each frame, what the line sends
// back. A call runs:
//   1. off-hook: the exchange collects the dialed digits with the dialer's own
//      tone decoder (line prefix and operator code included, as dialed). The
//      number is complete when it equals a whole-number scenario line, or when
//      no new key has begun for digitTimeoutMs. After a line prefix
//      (options.linePrefix) the exchange waits for the number without a
//      timeout, as a PBX does after its trunk code: the dialer pauses about
//      3 s there.
//   2. the first scenario line matching the number says what follows (a mix is
//      drawn from the seeded generator; a number no line matches gets busy tone,
//      the exchange's congestion):
//        busy         busy tone;
//        noringback   nothing (line noise only);
//        ring         ringback;
//        answer       ringback until answerPauseMs after the last burst of ring
//                     N (a ring is one whole cadence of the plan: two bursts in
//                     a double ring; no ringback for rings=0); the party speaks
//                     for `talk` seconds (or stays silent), then waits for the
//                     dialer's message to end: the message has ended once its
//                     audio has been silent for messageSilenceMs after sound,
//                     and the keys and the hang-up count from that moment.
//                     After the first message it presses `keys` from keydelay
//                     on (each keyOnMs long, keyGapMs apart); after each later
//                     message (the dialer asking again) it speaks again. With
//                     `hangup` it hangs up that long after the latest message
//                     end and the line gives busy tone (or silence).
//   3. a hook-flash puts the party on hold (its plans are dropped): after the
//      flash the PBX plays dial tone until the first extension key, decodes
//      the extension, and once it is complete (digitTimeoutMs without a key,
//      or the dialer hanging up: a blind transfer) reports the transfer and
//      rings the extension.
//   4. on-hook ends the call: its CallTruth goes to the callEnded callback.
// Line noise at the scenario's level is always there, on-hook too: the
// dialer's decoder learns it as the line's background once, not at every call.
// Events take effect at sample positions; the output does not depend on how
// the audio is cut into frames.
//
// Thread-safety: a plain object used from one thread (the audio tick).
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "dialer/line/tone_decoder.h"
#include "sim/call_truth.h"
#include "sim/line_tone.h"
#include "sim/party_voice.h"
#include "sim/scenario.h"

namespace doruzudo::sim {

struct FarEndOptions {
  int channel = 0;    // for the ground truth
  uint64_t seed = 1;  // mix draws and speech variants
  int digitTimeoutMs = 3000;
  QString linePrefix;  // the PBX's trunk code the dialer sends first, if any
  int messageSilenceMs = 500;
  int answerPauseMs = 500;
  int keyOnMs = 100;
  int keyGapMs = 100;
};

// The seed of line `channel`'s far end in a scenario seeded `scenarioSeed`.
inline uint64_t lineSeed(uint64_t scenarioSeed, int channel) {
  return scenarioSeed * 1000003u + static_cast<uint64_t>(channel);
}

class FarEnd {
 public:
  static constexpr int kRate = 8000;
  static constexpr int kFrame = 160;  // 20 ms

  enum class LineEvent { OffHook, OnHook, FlashStart, FlashEnd };
  enum class Phase {
    OnHook,      // no call
    Dialing,     // collecting the number
    Called,      // the number's behaviour plays
    PartyGone,   // the party hung up: busy tone or silence
    Flashing,    // hook down for a flash
    PbxDialing,  // PBX dial tone, collecting the extension
    PbxRinging,  // the extension rings
  };
  using CallEnded = std::function<void(const CallTruth&)>;
  using Transferred = std::function<void(const QString& extension)>;

  // `voice` may be shared by several far ends; the scenario is kept as is.
  FarEnd(std::shared_ptr<const Scenario> scenario, std::shared_ptr<PartyVoice> voice,
         FarEndOptions options = {});
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  void setCallEnded(CallEnded callback) { callEnded_ = std::move(callback); }
  void setTransferred(Transferred callback) { transferred_ = std::move(callback); }
  // The line prefix the dialer sends first (its settings may change).
  void setLinePrefix(const QString& prefix) { options_.linePrefix = prefix; }

  // A hook event at sample `at` (now when `at` is not after position()). An
  // event that does not change the hook (off-hook while off-hook, a flash end
  // without a flash) is ignored; off-hook during a flash ends the flash.
  void lineEvent(LineEvent event, int64_t at = -1);
  // One stretch of line time: `played` is what the dialer sent (missing
  // samples count as silence), `out` receives what the line sends back.
  void process(std::span<const int16_t> played, std::span<int16_t> out);
  // Takes the line off-hook if needed and completes `number` now, without
  // keys: for tools that render what a number sounds like.
  void dial(const QString& number);

  int64_t position() const { return pos_; }
  Phase phase() const { return phase_; }
  // The digits heard so far in this call (the number, or the extension).
  QString digits() const { return phase_ == Phase::PbxDialing ? extension_ : digits_; }
  // The current call, or the last one once on-hook.
  const CallTruth& call() const { return call_; }
  // The current call as it stands now (rings so far, the keys heard while
  // still dialing), for a run that ends with the line off-hook.
  CallTruth callSoFar() const;

 private:
  struct Source {
    const LineTone* tone = nullptr;  // or, when null, the samples (none: silence)
    std::vector<int16_t> samples;
    int64_t start = 0;
  };
  struct Pending {
    int64_t at;
    uint64_t sequence;
    uint64_t epoch;  // 0: always runs; otherwise only within that epoch
    std::function<void()> fn;
  };

  // Drops every plan of the party (timers of the call), not the line's events.
  void dropPlans();
  void schedule(int64_t at, std::function<void()> fn, bool always = false);
  int64_t nextEventAt() const;
  void fireDue();
  void render(std::span<int16_t> out);
  // The dialer's audio of the `n` samples from `from` (`played` may be shorter).
  void listen(std::span<const int16_t> played, size_t n, int64_t from);
  int64_t ms(int64_t position) const { return (position - callStart_) * 1000 / kRate; }
  int64_t samplesOf(double seconds) const { return static_cast<int64_t>(seconds * kRate + 0.5); }

  void play(const LineTone* tone) { source_ = {tone, {}, pos_}; }
  void play(std::vector<int16_t> samples, int64_t at) {
    source_ = {nullptr, std::move(samples), at};
  }
  void silence() { source_ = {}; }

  void offHook();
  void onHook();
  void flashStart();
  void flashEnd();
  void startDecoding();
  void key(int key, int64_t at);
  void numberComplete();
  void startBehaviour(const Behaviour& b);
  void startRinging();
  void stopRinging();
  void answer();
  void speak();
  void messageEnded(int64_t at);
  void pressKeys(int64_t at);
  void partyHangsUp();
  void extensionComplete();

  std::shared_ptr<const Scenario> scenario_;
  std::shared_ptr<PartyVoice> voice_;
  FarEndOptions options_;
  LineTone dial_, ringback_, busy_;
  LineNoise noise_;
  std::mt19937_64 random_;
  ToneDecoder decoder_;
  CallEnded callEnded_;
  Transferred transferred_;

  int64_t pos_ = 0;
  Phase phase_ = Phase::OnHook;
  Source source_;
  std::vector<Pending> pending_;
  uint64_t sequence_ = 0;
  uint64_t epoch_ = 1;  // a new one whenever the party's plans are dropped

  // The call.
  CallTruth call_;
  int64_t callStart_ = 0;
  Behaviour behaviour_;
  QString digits_, extension_;
  bool decoding_ = false;
  int64_t decoderBase_ = 0;  // the line position of the decoder's sample 0
  std::optional<int64_t> ringingFrom_;
  // The dialer's messages, once the party has answered.
  bool listening_ = false;
  bool heard_ = false;  // sound since the last message end
  int64_t lastSound_ = 0;
  int messagesEnded_ = 0;
  uint64_t hangupPlan_ = 0;
};

}  // namespace doruzudo::sim
