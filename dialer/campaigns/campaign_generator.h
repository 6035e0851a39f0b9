// Campaign generation ("Gerar Campanha"): from a file of numbers, a name and
// the chosen channels, registers the campaign, creates its result table and
// loads its numbers, then hands the name to each chosen channel.
//
// The campaign row, the result table and every number are written in one
// transaction: a refusal or a failure writes nothing and leaves the name
// free. A name once generated is refused for ever, as are names that cannot
// be a table (the fixed tables telefones, campanhas, registro).
//
// Threads: main thread (it uses the dialer's database connection).
#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "common/call_database.h"
#include "common/channel_settings.h"

namespace doruzudo {

namespace campaign_messages {
inline const QString kNoFile = QStringLiteral("Selecione um arquivo de texto a lista de números.");
inline const QString kNoName = QStringLiteral("O nome da campanha não pode estar em branco.");
inline const QString kNoChannel =
    QStringLiteral("Selecione os canais para utilizar nesta campanha.");
inline const QString kNameTaken =
    QStringLiteral("Já existe uma campanha com este nome, altere o nome da campanha.");
inline const QString kNameReserved =
    QStringLiteral("Este nome não pode ser usado para uma campanha, altere o nome da campanha.");
inline const QString kUnreadableFile =
    QStringLiteral("Não foi possível ler o arquivo de números: ");
inline const QString kFailed =
    QStringLiteral("Não foi possível gerar a campanha; nada foi gravado. ");
inline const QString kDone = QStringLiteral("Nova campanha gerada com sucesso.");
}  // namespace campaign_messages

struct CampaignRequest {
  QString file;                                // edTextFile
  QString name;                                // edNomeCampanha, as the editor holds it
  std::array<bool, kChannelCount> channels{};  // cbCampanhaC1..C8
};

struct CampaignOutcome {
  enum class Kind { Generated, Refused, Failed };
  Kind kind = Kind::Failed;
  QString message;  // the message box text
  QString name;     // the final name (spaces replaced), once known
  int64_t id = 0;   // código of the campaign row when generated
  qsizetype numbers = 0;
  bool ok() const { return kind == Kind::Generated; }
};

class CampaignGenerator {
 public:
  // Sets channel `channel` (1 to 8) to campaign `name`: the caller's editor
  // change handler (CampanhaC<n> and the in-memory settings).
  using AssignChannel = std::function<void(int channel, const QString& name)>;
  // Numbers loaded so far, of `total`; called every few thousand numbers.
  using Progress = std::function<void(qsizetype done, qsizetype total)>;

  // `database` may be null (no connection): generation then fails.
  CampaignGenerator(CallDatabase* database, AssignChannel assign, Progress progress = {})
      : database_(database), assign_(std::move(assign)), progress_(std::move(progress)) {}

  // Button25Click. `today` is the campaign's date.
  CampaignOutcome generate(const CampaignRequest& request, const QDate& today);

 private:
  Status write(const QString& name, const QStringList& numbers, const QDate& today,
               CampaignOutcome& outcome);

  CallDatabase* database_;
  AssignChannel assign_;
  Progress progress_;
};

}  // namespace doruzudo
