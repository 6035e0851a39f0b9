// FakeMailPort: the e-mail notices for the engine's tests. It records every
// request, starts a "send" for each kind that is one to send, and keeps its
// completion until the test calls finishSends().
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "dialer/engine/mail_port.h"

namespace doruzudo {

class FakeMailPort final : public MailPort {
 public:
  struct Request {
    int kind = 0;
    QString campaign;
    bool operator==(const Request&) const = default;
  };

  int EnviaEmail(int kind, const QString& campaign, std::function<void()> done) override {
    requests_.push_back({kind, campaign});
    if (kind < kCampaignEnded || kind > kStarted) return 0;
    pending_.push_back(std::move(done));
    return 1;
  }

  // Every send started so far ends (its `done` runs).
  void finishSends() {
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& done : pending) done();
  }
  const std::vector<Request>& requests() const { return requests_; }
  int sending() const { return static_cast<int>(pending_.size()); }

 private:
  std::vector<Request> requests_;
  std::vector<std::function<void()>> pending_;
};

}  // namespace doruzudo
