#include "dialer/engine/engine.h"

#include <stdexcept>

#include "dialer/engine/mail_port.h"

namespace doruzudo {

Engine::Engine(EngineEnvironment env) : env_(std::move(env)) {
  if (!env_.scheduler || !env_.line || !env_.log || !env_.view || !env_.channels || !env_.general) {
    throw std::invalid_argument("Engine: incomplete environment");
  }
  for (ChannelAudio* audio : env_.audio) {
    if (!audio) throw std::invalid_argument("Engine: a channel without audio");
  }
  for (int n = 1; n <= kChannelCount; ++n) {
    channels_.at(n - 1) = std::make_unique<Channel>(n, env_, *this);
  }
  self_ = std::make_shared<Engine*>(this);
}

Engine::~Engine() = default;

void Engine::start() {
  for (auto& channel : channels_) channel->startDialing();
}

void Engine::shutdown() {
  for (auto& channel : channels_) channel->shutdown();
}

void Engine::Button27Click() {
  paused_ = false;
  endNoticeSent_.clear();
  for (auto& channel : channels_) channel->startDialing();
  if (env_.general->Sendmail && env_.general->CampanhaInicioManual) {
    mailReason_ = MailPort::kStarted;
    channel(1).requestMail(mailReason_);
  }
}

void Engine::BitBtn2Click() {
  paused_ = true;
  if (env_.general->Sendmail && env_.general->CampanhaPausaManual) {
    mailReason_ = MailPort::kPaused;
    channel(1).requestMail(mailReason_);
  }
}

bool Engine::allStopped() const {
  for (const auto& channel : channels_) {
    if (!channel->stopped()) return false;
  }
  return true;
}

void Engine::sendMail(int kind, const QString& campaign) {
  if (!env_.mail) return;
  mailBusy_ = true;
  std::weak_ptr<Engine*> self = self_;
  const int started = env_.mail->EnviaEmail(kind, campaign, [self] {
    if (auto engine = self.lock()) (*engine)->mailBusy_ = false;
  });
  if (started == 0) mailBusy_ = false;
}

std::vector<int64_t> Engine::numbersInCall(const QString& campaign) const {
  std::vector<int64_t> codes;
  for (const auto& channel : channels_) {
    if (channel->inCall() && channel->state().RowCode != 0 &&
        channel->settings().Campanha == campaign) {
      codes.push_back(channel->state().RowCode);
    }
  }
  return codes;
}

void Engine::campaignFinished(Channel& channel) {
  const GeneralSettings& general = *env_.general;
  const QString campaign = channel.settings().Campanha;
  if (!general.Sendmail || !general.FimCampanha || campaign.trimmed().isEmpty()) return;
  if (!endNoticeSent_.insert(campaign).second) return;
  channel.requestMail(MailPort::kCampaignEnded);
}

}  // namespace doruzudo
