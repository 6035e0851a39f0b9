// CallDatabase: the file vantor.db shared by the dialer and the recordings
// browser. It holds the numbers still to be dialled (telefones), the campaigns
// (campanhas), one result table per campaign with its finished numbers, and
// the recorded calls (registro).
//
// One method per statement. Every statement is prepared once per connection
// and takes its values bound, never spliced into the SQL text; the only names
// that enter SQL text are result-table names, which are checked
// (isValidTableName) and quoted. Dates are stored as yyyy-mm-dd and times as
// HH:MM:SS text and reach callers as QDate/QTime (null when unset); callers
// format them in the Brazilian forms (common/text_forms.h). Date and time
// ranges are inclusive at both ends. Text searches ignore letter case, also
// for accented letters, and take the search text literally ("%" and "_" are
// not wildcards).
//
// The file uses the WAL journal and a busy timeout, so the two programs may
// have it open at the same time; claimNextNumber() and moveNumber() stay
// correct with several connections on one file.
//
// Threads: a CallDatabase belongs to the thread that opened it.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/sqlite.h"
#include "common/status.h"

namespace doruzudo {

// Values with a fixed spelling that both programs compare against.
namespace calldb {
inline const QString kBusyYes = QStringLiteral("SIM");
inline const QString kBusyNo = QStringLiteral("NÃO");
inline const QString kHeardNo = QStringLiteral("Não");
inline const QString kHeardYes = QStringLiteral("SIM");
inline const QString kStatusNoAnswer = QStringLiteral("TELEFONE NÃO ATENDE");
inline const QString kStatusBusy = QStringLiteral("TELEFONE OCUPADO");
inline const QString kStatusCallFailure = QStringLiteral("FALHA NA LIGAÇÃO");
inline const QString kStatusSwitchFailure = QStringLiteral("FALHA NA COMUTAÇÃO");
inline const QString kStatusAnswered = QStringLiteral("CHAMADA ATENDIDA");
}  // namespace calldb

// A row of telefones.
struct PhoneRow {
  int64_t codigo = 0;
  QString telefone;
  std::optional<int> tentativas;  // unset until the first attempt
  QString campanha;
  int64_t idCampanha = 0;
  QDate data;  // last attempt
  QTime hora;
  QString status;
  QString busy;
  int attempts() const { return tentativas.value_or(0); }
};

// A row of a campaign's result table.
struct ResultRow {
  int64_t codigo = 0;  // código the number had in telefones
  QString telefone;
  std::optional<int> tentativas;
  QString campanha;
  int64_t idCampanha = 0;
  QDate data;
  QTime hora;
  QString status;  // empty when unset
  QString opcao1;
};

struct CampaignRow {
  int64_t codigo = 0;
  QString name;
  QDate date;
};

// One line of the summary: how many numbers ended with `status`. Numbers
// without a status form their own line with the count 0.
struct StatusTotal {
  QString status;
  int soma = 0;
};

struct RecordingRow {
  int64_t id = 0;
  QString ramal;
  QDate dataIni, dataFin;
  QTime horaIni, horaFin;
  QString origem, destino, obs, path, nCanal, ouvida;
};

struct NewRecording {
  QString ramal;  // channel label, "CANAL 1"
  QDate date;
  QTime time;
  QString path;  // full path of the recording file
  int channel = 0;
};

enum class HeardFilter { All, Unheard, Heard };

class CallDatabase {
 public:
  static constexpr int kSchemaVersion = 1;
  static QString fileName() { return QStringLiteral("vantor.db"); }
  // folder + "/vantor.db".
  static QString filePath(const QString& folder);

  // Opens vantor.db in `folder`. With `create`, a missing file is created
  // (the folder must exist) and the schema is laid down or upgraded; without
  // it a missing file is an error (the browser connects only to an existing
  // file).
  static Result<std::shared_ptr<CallDatabase>> open(const QString& folder, bool create = true);
  // The same for a file path; ":memory:" gives a private database.
  static Result<std::shared_ptr<CallDatabase>> openFile(const QString& file, bool create = true);

  ~CallDatabase();
  CallDatabase(const CallDatabase&) = delete;
  CallDatabase& operator=(const CallDatabase&) = delete;

  QString file() const { return db_->fileName(); }
  sql::Database& connection() { return *db_; }

  // A name a campaign and its result table may bear: upper-case letters A-Z,
  // digits and "_", not one of the fixed tables (telefones, campanhas,
  // registro, in any letter case) nor a name SQLite keeps for itself.
  static bool isValidTableName(const QString& name);

  // Runs `body` in one transaction (BEGIN IMMEDIATE): it commits when `body`
  // returns Ok and rolls back otherwise. Not reentrant.
  Status inTransaction(const std::function<Status()>& body);

  // --- telefones: the dialing cycle ------------------------------------
  // The campaign's first free row (Busy "NÃO", lowest código), unchanged.
  Result<std::optional<PhoneRow>> selectNextNumber(const QString& campaign);
  // Takes the campaign's first free row: marks it Busy "SIM" and returns it,
  // in one statement, so that no two callers (threads or processes) ever
  // take the same row in one pass. nullopt when no row is free.
  Result<std::optional<PhoneRow>> claimNextNumber(const QString& campaign);
  // Gives a claimed row back to the pass (Busy "NÃO") without dialling it.
  Status releaseNumber(int64_t codigo);
  // Starts a new pass: every row of the campaign back to "NÃO", except the
  // rows of `keptTaken` (códigos being dialed right now, so that no number is
  // called on two lines at once). One statement. Returns the rows made free.
  Result<int> startNewPass(const QString& campaign, const std::vector<int64_t>& keptTaken = {});
  // The attempt is being made: Busy "SIM", Tentativas, Data and Hora.
  Status countAttempt(int64_t codigo, int attempts, const QDate& date, const QTime& time);
  // The outcome of the attempt: Busy "SIM" and Status.
  Status setNumberStatus(int64_t codigo, const QString& status);
  Result<std::optional<PhoneRow>> selectNumber(int64_t codigo);
  // Moves the row into the campaign's result table (insert, then delete) in
  // one transaction: afterwards the number is in exactly one of the tables.
  Status moveNumber(const QString& campaign, int64_t codigo);
  // The menu answer of a finished number (Opcao1 of its result row).
  Status setOption(const QString& campaign, int64_t codigo, const QString& option);
  // Every row of the campaign still in telefones, by código.
  Result<std::vector<PhoneRow>> numbersOf(const QString& campaign);

  // --- campanhas and generation -----------------------------------------
  // Whether a campaign of that name was ever generated (letter case ignored).
  Result<bool> campaignExists(const QString& name);
  // Adds the campaign row; returns its código.
  Result<int64_t> insertCampaign(const QString& name, const QDate& date);
  Status createResultTable(const QString& name);
  // One new number of a campaign (Busy "NÃO").
  Status insertNumber(const QString& number, const QString& campaign, int64_t campaignId);
  // insertNumber() for each number in order, the statement prepared once.
  // `progress` (optional) hears the count inserted so far every
  // `progressEvery` numbers and at the end.
  Status insertNumbers(const QStringList& numbers, const QString& campaign, int64_t campaignId,
                       const std::function<void(qsizetype done)>& progress = {},
                       qsizetype progressEvery = 10000);
  // Campaigns generated from `from` to `to`, both included, by código.
  Result<std::vector<CampaignRow>> searchCampaigns(const QDate& from, const QDate& to);

  // --- reports ----------------------------------------------------------
  // The result table ordered by Data (rows of one day in insertion order).
  Result<std::vector<ResultRow>> resultRows(const QString& campaign);
  // Numbers per status (COUNT(Status) grouped by Status), by status.
  Result<std::vector<StatusTotal>> statusTotals(const QString& campaign);

  // --- registro ---------------------------------------------------------
  // Inserts the row of a starting recording (ouvida "Não"); returns its id.
  Result<int64_t> insertRecording(const NewRecording& recording);
  // The recorded call ended: destino, origem and hora_fin of row `id`.
  Status completeRecording(int64_t id, const QString& destino, const QString& origem,
                           const QTime& horaFin);
  Result<std::optional<RecordingRow>> recording(int64_t id);
  Result<std::vector<RecordingRow>> recordingsByDate(const QDate& from, const QDate& to,
                                                     HeardFilter heard);
  // Start time from `from` to `to` (both included) on any day.
  Result<std::vector<RecordingRow>> recordingsByTime(const QTime& from, const QTime& to,
                                                     HeardFilter heard);
  Result<std::vector<RecordingRow>> recordingsByDateAndTime(const QDate& fromDate,
                                                            const QDate& toDate,
                                                            const QTime& fromTime,
                                                            const QTime& toTime, HeardFilter heard);
  // origem contains `text`.
  Result<std::vector<RecordingRow>> recordingsByCampaign(const QString& text, HeardFilter heard);
  // Every recording, whatever its heard state.
  Result<std::vector<RecordingRow>> allRecordings();
  // obs contains `text`.
  Result<std::vector<RecordingRow>> recordingsByComment(const QString& text, HeardFilter heard);
  // ramal begins with `text`.
  Result<std::vector<RecordingRow>> recordingsByChannelName(const QString& text, HeardFilter heard);
  Status setComment(int64_t id, const QString& comment);
  // Removes row `id` (a recording that never began).
  Status deleteRecording(int64_t id);
  // ouvida "SIM".
  Status markHeard(int64_t id);
  // Recordings whose ouvida is "Não".
  Result<int> countUnheard();

 private:
  explicit CallDatabase(std::shared_ptr<sql::Database> db) : db_(std::move(db)) {}
  Status ensureSchema();
  // The cached prepared statement for `sqlText`, reset and unbound.
  Result<sql::Statement*> statement(const QByteArray& sqlText);
  Result<QByteArray> resultTableSql(const char* before, const QString& campaign, const char* after);
  Result<std::vector<RecordingRow>> recordings(const QByteArray& sqlText,
                                               const std::function<void(sql::Statement&)>& bind);

  std::shared_ptr<sql::Database> db_;
  std::map<QByteArray, sql::Statement> statements_;  // destroyed before db_
};

// Storage forms of dates and times (NULL for a null value).
sql::Value dateValue(const QDate& date);
sql::Value timeValue(const QTime& time);
QDate storedDate(const QString& text);
QTime storedTime(const QString& text);

}  // namespace doruzudo
