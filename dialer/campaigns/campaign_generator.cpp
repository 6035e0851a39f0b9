#include "dialer/campaigns/campaign_generator.h"

#include <QFile>
#include <algorithm>

#include "dialer/campaigns/campaign_text.h"

namespace doruzudo {

namespace msg = campaign_messages;

namespace {

CampaignOutcome refused(const QString& message, const QString& name = {}) {
  CampaignOutcome outcome;
  outcome.kind = CampaignOutcome::Kind::Refused;
  outcome.message = message;
  outcome.name = name;
  return outcome;
}

CampaignOutcome failed(const QString& message, const QString& name) {
  CampaignOutcome outcome;
  outcome.kind = CampaignOutcome::Kind::Failed;
  outcome.message = message;
  outcome.name = name;
  return outcome;
}

// A refusal found inside the transaction: rolls back, reported as a refusal.
const QString kRefusal = QStringLiteral("refused");

}  // namespace

CampaignOutcome CampaignGenerator::generate(const CampaignRequest& request, const QDate& today) {
  if (request.file.isEmpty()) return refused(msg::kNoFile);
  if (request.name.isEmpty()) return refused(msg::kNoName);
  const QString name = campaignName(request.name);
  if (std::none_of(request.channels.begin(), request.channels.end(), [](bool b) { return b; })) {
    return refused(msg::kNoChannel, name);
  }
  QFile file(request.file);
  if (!file.open(QIODevice::ReadOnly)) {
    return failed(msg::kUnreadableFile + request.file + QStringLiteral(" (") + file.errorString() +
                      QLatin1Char(')'),
                  name);
  }
  const QStringList numbers = numbersOfFile(file.readAll());
  if (file.error() != QFileDevice::NoError) {
    return failed(msg::kUnreadableFile + request.file, name);
  }
  if (!CallDatabase::isValidTableName(name)) return refused(msg::kNameReserved, name);
  if (!database_)
    return failed(msg::kFailed + QStringLiteral("Sem conexão com o banco de dados."), name);

  CampaignOutcome outcome;
  outcome.name = name;
  Status s = database_->inTransaction([&] { return write(name, numbers, today, outcome); });
  if (!s) {
    if (outcome.kind == CampaignOutcome::Kind::Refused) return outcome;
    return failed(msg::kFailed + s.message(), name);
  }
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    if (request.channels[channel - 1] && assign_) assign_(channel, name);
  }
  outcome.kind = CampaignOutcome::Kind::Generated;
  outcome.message = msg::kDone;
  outcome.numbers = numbers.size();
  return outcome;
}

Status CampaignGenerator::write(const QString& name, const QStringList& numbers, const QDate& today,
                                CampaignOutcome& outcome) {
  auto exists = database_->campaignExists(name);
  if (!exists) return exists.status();
  if (*exists) {
    outcome.kind = CampaignOutcome::Kind::Refused;
    outcome.message = msg::kNameTaken;
    return Status::Error(kRefusal);
  }
  auto id = database_->insertCampaign(name, today);
  if (!id) return id.status();
  outcome.id = *id;
  if (Status s = database_->createResultTable(name); !s) return s;
  const qsizetype total = numbers.size();
  auto progress = [&](qsizetype done) {
    if (progress_) progress_(done, total);
  };
  return database_->insertNumbers(numbers, name, *id, progress);
}

}  // namespace doruzudo
