// VirtualExchange: the far end of the eight lines of a simulated run. It
// follows the simulated line units' hook commands (LinePortSim observer) and
// exchanges audio with each channel's simulated sound (the LineFarEnd frame
// hook of ChannelAudioSim, called on the channel's 20 ms audio tick): every
// tick, the FarEnd of the line hears the frame the dialer played and answers
// with the frame the dialer hears next. A line without attached audio is
// advanced by the exchange's own 20 ms scheduler timer, its dialer side
// silent and its answer dropped, so that its calls still run in line time.
//
// Hook events take effect at the line's next frame (20 ms resolution). Every
// call that ends (the dialer goes on-hook) is written, with the wall-clock
// time of its off-hook from the scheduler, to the truth file when one is open,
// and handed to the callEnded callback.
//
// The line port and the channel audio attached must outlive the exchange (its
// destructor removes its observer and its frame hooks).
// Thread-safety: main thread only, like the scheduler and the channel audio.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "common/channel_settings.h"
#include "common/scheduler.h"
#include "common/status.h"
#include "sim/call_truth.h"
#include "sim/far_end.h"
#include "sim/party_voice.h"
#include "sim/scenario.h"

namespace doruzudo {
class LinePortSim;
class LineFarEnd;
}  // namespace doruzudo

namespace doruzudo::sim {

struct ExchangeOptions {
  bool espeak = true;  // false: the parties babble (quick, no espeak-ng needed)
  int digitTimeoutMs = 3000;
  // Each channel's line prefix (index 1..8; the dialer's GetLinha), if any.
  std::array<QString, kChannelCount + 1> linePrefixes{};
};

class VirtualExchange {
 public:
  using CallEnded = std::function<void(const CallTruth&)>;
  using Transferred = std::function<void(int channel, const QString& extension)>;

  VirtualExchange(Scheduler& scheduler, Scenario scenario, ExchangeOptions options = {});
  ~VirtualExchange();
  VirtualExchange(const VirtualExchange&) = delete;
  VirtualExchange& operator=(const VirtualExchange&) = delete;

  // Follows the hook of every line of `lines`.
  void attachLines(LinePortSim& lines);
  // Channel `channel`'s (1..8) line audio; replaces an earlier one.
  void attachAudio(int channel, LineFarEnd& audio);

  // Writes the ground truth of every call from now on to `path` (created or
  // truncated). A failed write is kept in truthStatus() and does not stop the run.
  Status openTruth(const QString& path);
  Status truthStatus() const { return truthStatus_; }

  void setCallEnded(CallEnded callback) { callEnded_ = std::move(callback); }
  void setTransferred(Transferred callback) { transferred_ = std::move(callback); }

  // Channel `channel`'s far end (1..8; others give channel 1's).
  FarEnd& farEnd(int channel);
  // A channel's line prefix changed in the dialer's settings.
  void setLinePrefix(int channel, const QString& prefix) { farEnd(channel).setLinePrefix(prefix); }
  const Scenario& scenario() const { return *scenario_; }
  int callsEnded() const { return callsEnded_; }

  // The end of the run: the calls still in progress are written down as they
  // stand (without onHookAtMs) and handed to callEnded; nothing is written or
  // told after it. The destructor does it too, writing only.
  void endRun();

  // One 20 ms step of the lines without audio (the timer calls it).
  void tick();

 private:
  struct Line {
    std::unique_ptr<FarEnd> farEnd;
    LineFarEnd* audio = nullptr;
    QString offHookAt;
  };

  void lineEvent(int channel, FarEnd::LineEvent event);
  void ended(int channel, CallTruth call);
  Line& line(int channel);

  Scheduler& scheduler_;
  std::shared_ptr<const Scenario> scenario_;
  std::shared_ptr<PartyVoice> voice_;
  std::array<Line, kChannelCount + 1> lines_;  // [0] unused
  std::unique_ptr<Timer> tick_;
  LinePortSim* port_ = nullptr;
  int observer_ = -1;
  TruthLog truth_;
  Status truthStatus_;
  CallEnded callEnded_;
  Transferred transferred_;
  int callsEnded_ = 0;
  bool runEnded_ = false;
  std::vector<int16_t> frame_;  // scratch for one frame
};

}  // namespace doruzudo::sim
