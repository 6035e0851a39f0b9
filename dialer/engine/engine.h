// Engine: the eight channels and what they share: Paused, MailReason,
// MailBusy, and the two buttons that start and pause all of them.
//
// The start-up builds one Engine from an EngineEnvironment and calls start()
// when tIniciaHid has bound the lines; the window's "Inicia Discagem" and
// "Pausa Discagem" buttons call Button27Click() and BitBtn2Click().
//
// Notices (MailPort): "Inicia Discagem" asks for kind 3 when Sendmail and
// CampanhaInicioManual are on, "Pausa Discagem" for kind 2 when Sendmail and
// CampanhaPausaManual are on, both through channel 1's tSendEmail (350 ms;
// a second press before it fires sends one notice, the last one asked for; a
// release of channel 1 meanwhile drops it). A channel whose campaign has no
// row left asks for kind 1 through its own tSendEmail when Sendmail and
// FimCampanha are on; each campaign's end is told once until the next
// "Inicia Discagem", however many channels dial it. MailBusy is set from the
// moment a notice is handed to the MailPort until its `done` runs; a send
// timer that fires meanwhile waits another 350 ms. No channel ever waits for
// the network.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <set>
#include <vector>

#include "dialer/engine/channel.h"
#include "dialer/engine/engine_environment.h"

namespace doruzudo {

class Engine {
 public:
  // `env` must hold a scheduler, line port, log, view, the eight channel
  // audios and both settings; everything it points to outlives the engine.
  explicit Engine(EngineEnvironment env);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The lines are bound (tIniciaHid): every channel starts dialing. Paused
  // is left as it is and no notice is sent.
  void start();
  // "Inicia Discagem": clears Paused, starts every channel that is not in a
  // call (also those that stopped with "Finalizado"), asks for the start
  // notice.
  void Button27Click();
  // "Pausa Discagem": sets Paused (each channel stops at its next dialing
  // step; calls in progress go on), asks for the pause notice.
  void BitBtn2Click();

  // The program ends (FormDestroy): every channel's timers stop, no line
  // command is sent, no notice goes out.
  void shutdown();

  bool Paused() const { return paused_; }
  // The last notice a button asked for: 2 paused, 3 started (0 before any).
  int MailReason() const { return mailReason_; }
  bool MailBusy() const { return mailBusy_; }

  // Every channel stopped (see Channel::stopped): a headless run may end.
  bool allStopped() const;

  Channel& channel(int number) { return *channels_.at(number - 1); }
  const Channel& channel(int number) const { return *channels_.at(number - 1); }
  const EngineEnvironment& environment() const { return env_; }

  // The rings editor also sets the channel's ring count.
  void setRingCount(int channel, int rings) { this->channel(channel).state().RingCount = rings; }

  // --- for the channels ---------------------------------------------------
  // Hands a notice to the MailPort (MailBusy until it is done).
  void sendMail(int kind, const QString& campaign);
  // The rows of `campaign` that channels are dialing now (from the seizing of
  // the line to the end of the release).
  std::vector<int64_t> numbersInCall(const QString& campaign) const;
  // `channel` found no row left in its campaign.
  void campaignFinished(Channel& channel);

 private:
  const EngineEnvironment env_;
  bool paused_ = false;
  int mailReason_ = 0;
  bool mailBusy_ = false;
  std::set<QString> endNoticeSent_;  // campaigns whose end was told since the last start
  std::array<std::unique_ptr<Channel>, kChannelCount> channels_;
  std::shared_ptr<Engine*> self_;  // lets a notice finishing late find the engine gone
};

}  // namespace doruzudo
