// MailPort: how the engine asks for an e-mail notice (campaign ended, paused,
// started). The notice is sent on a worker thread; the engine-wide MailBusy
// stays set from the request until `done` runs, on the main thread, after
// the send (and its one retry) ended, successfully or not.
//
// Threads: called on the main thread; `done` runs on the main thread.
#pragma once

#include <QString>
#include <functional>

namespace doruzudo {

class MailPort {
 public:
  // Notice kinds: 1 end of campaign, 2 paused, 3 started.
  enum Kind { kCampaignEnded = 1, kPaused = 2, kStarted = 3 };

  virtual ~MailPort() = default;

  // Builds and sends the notice of `kind` (`campaign` is used by kind 1).
  // Returns 1 when a send was started, 0 when the kind was not one to send
  // (kind 1 with the end-of-campaign notice off, or an unknown kind); with 0,
  // `done` is not called.
  virtual int EnviaEmail(int kind, const QString& campaign, std::function<void()> done) = 0;
};

}  // namespace doruzudo
