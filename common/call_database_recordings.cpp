// CallDatabase: registro, the recorded calls.
#include "common/call_database.h"
#include "common/call_database_rows.h"
#include "common/text_fold.h"

namespace doruzudo {

using calldb::readRecording;
using calldb::runOne;
using calldb::stepAll;

namespace {

// The heard condition appended to a search; ?9 is its bound value.
const char* heardCondition(HeardFilter heard) {
  return heard == HeardFilter::All ? "" : " AND ouvida=?9";
}

void bindHeard(sql::Statement& st, HeardFilter heard) {
  if (heard == HeardFilter::Unheard) st.bind(9, calldb::kHeardNo);
  if (heard == HeardFilter::Heard) st.bind(9, calldb::kHeardYes);
}

QByteArray search(const char* where, HeardFilter heard) {
  return QByteArray("SELECT ") + calldb::kRecordingColumns + " FROM registro WHERE " + where +
         heardCondition(heard) + " ORDER BY id";
}

}  // namespace

Result<int64_t> CallDatabase::insertRecording(const NewRecording& rec) {
  auto st = statement(
      "INSERT INTO registro(ramal,data_ini,hora_ini,path,nCanal,ouvida) "
      "VALUES (?1,?2,?3,?4,?5,?6) RETURNING id");
  if (!st) return st.status();
  (*st)->bind(1, rec.ramal).bind(2, dateValue(rec.date)).bind(3, timeValue(rec.time));
  (*st)->bind(4, rec.path).bind(5, QString::number(rec.channel)).bind(6, calldb::kHeardNo);
  std::optional<int64_t> id;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { id = r.int64(0); }); !s) return s;
  if (!id) return Status::Error(QStringLiteral("registro: no id returned"));
  return *id;
}

Status CallDatabase::completeRecording(int64_t id, const QString& destino, const QString& origem,
                                       const QTime& horaFin) {
  auto st = statement("UPDATE registro SET destino=?1,origem=?2,hora_fin=?3 WHERE id=?4");
  if (!st) return st.status();
  (*st)->bind(1, destino).bind(2, origem).bind(3, timeValue(horaFin)).bind(4, id);
  return runOne(*db_, **st, QStringLiteral("registro %1").arg(id));
}

Result<std::optional<RecordingRow>> CallDatabase::recording(int64_t id) {
  auto st =
      statement(QByteArray("SELECT ") + calldb::kRecordingColumns + " FROM registro WHERE id=?1");
  if (!st) return st.status();
  (*st)->bind(1, id);
  std::optional<RecordingRow> row;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { row = readRecording(r); }); !s) {
    return s;
  }
  return row;
}

Result<std::vector<RecordingRow>> CallDatabase::recordings(
    const QByteArray& sqlText, const std::function<void(sql::Statement&)>& bind) {
  auto st = statement(sqlText);
  if (!st) return st.status();
  bind(**st);
  std::vector<RecordingRow> rows;
  Status s = stepAll(**st, [&](const sql::Statement& r) { rows.push_back(readRecording(r)); });
  if (!s) return s;
  return rows;
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByDate(const QDate& from, const QDate& to,
                                                                 HeardFilter heard) {
  return recordings(search("data_ini BETWEEN ?1 AND ?2", heard), [&](sql::Statement& st) {
    st.bind(1, dateValue(from)).bind(2, dateValue(to));
    bindHeard(st, heard);
  });
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByTime(const QTime& from, const QTime& to,
                                                                 HeardFilter heard) {
  return recordings(search("hora_ini BETWEEN ?3 AND ?4", heard), [&](sql::Statement& st) {
    st.bind(3, timeValue(from)).bind(4, timeValue(to));
    bindHeard(st, heard);
  });
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByDateAndTime(const QDate& fromDate,
                                                                        const QDate& toDate,
                                                                        const QTime& fromTime,
                                                                        const QTime& toTime,
                                                                        HeardFilter heard) {
  return recordings(search("data_ini BETWEEN ?1 AND ?2 AND hora_ini BETWEEN ?3 AND ?4", heard),
                    [&](sql::Statement& st) {
                      st.bind(1, dateValue(fromDate)).bind(2, dateValue(toDate));
                      st.bind(3, timeValue(fromTime)).bind(4, timeValue(toTime));
                      bindHeard(st, heard);
                    });
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByCampaign(const QString& text,
                                                                     HeardFilter heard) {
  return recordings(search("instr(fold(origem),?1)>0", heard), [&](sql::Statement& st) {
    st.bind(1, foldCase(text));
    bindHeard(st, heard);
  });
}

Result<std::vector<RecordingRow>> CallDatabase::allRecordings() {
  return recordings(QByteArray("SELECT ") + calldb::kRecordingColumns +
                        " FROM registro ORDER BY id,data_ini,hora_ini",
                    [](sql::Statement&) {});
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByComment(const QString& text,
                                                                    HeardFilter heard) {
  return recordings(search("instr(fold(obs),?1)>0", heard), [&](sql::Statement& st) {
    st.bind(1, foldCase(text));
    bindHeard(st, heard);
  });
}

Result<std::vector<RecordingRow>> CallDatabase::recordingsByChannelName(const QString& text,
                                                                        HeardFilter heard) {
  return recordings(search("instr(fold(ramal),?1)=1", heard), [&](sql::Statement& st) {
    st.bind(1, foldCase(text));
    bindHeard(st, heard);
  });
}

Status CallDatabase::setComment(int64_t id, const QString& comment) {
  auto st = statement("UPDATE registro SET obs=?1 WHERE id=?2");
  if (!st) return st.status();
  (*st)->bind(1, comment).bind(2, id);
  return runOne(*db_, **st, QStringLiteral("registro %1").arg(id));
}

Status CallDatabase::deleteRecording(int64_t id) {
  auto st = statement("DELETE FROM registro WHERE id=?1");
  if (!st) return st.status();
  (*st)->bind(1, id);
  return runOne(*db_, **st, QStringLiteral("registro %1").arg(id));
}

Status CallDatabase::markHeard(int64_t id) {
  auto st = statement("UPDATE registro SET ouvida=?1 WHERE id=?2");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kHeardYes).bind(2, id);
  return runOne(*db_, **st, QStringLiteral("registro %1").arg(id));
}

Result<int> CallDatabase::countUnheard() {
  auto st = statement("SELECT count(*) FROM registro WHERE ouvida=?1");
  if (!st) return st.status();
  (*st)->bind(1, calldb::kHeardNo);
  int count = 0;
  if (Status s = stepAll(**st, [&](const sql::Statement& r) { count = r.integer(0); }); !s) {
    return s;
  }
  return count;
}

}  // namespace doruzudo
