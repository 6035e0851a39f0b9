#include "sim/database_faults.h"

#include <QStringList>

namespace doruzudo::sim {

Result<std::unique_ptr<DatabaseFaults>> DatabaseFaults::install(const QString& folder,
                                                                const QString& campaign) {
  using R = Result<std::unique_ptr<DatabaseFaults>>;
  auto db = CallDatabase::open(folder, /*create=*/false);
  if (!db) return db.status();
  QString quoted = campaign;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  const QStringList targets = {
      QStringLiteral("UPDATE ON telefones"),
      QStringLiteral("DELETE ON telefones"),
      QStringLiteral("INSERT ON \"%1\"").arg(quoted),
      QStringLiteral("UPDATE ON \"%1\"").arg(quoted),
      QStringLiteral("INSERT ON registro"),
      QStringLiteral("UPDATE ON registro"),
  };
  QString sql = QStringLiteral(
      "CREATE TABLE injected_fault (armed INTEGER NOT NULL);"
      "INSERT INTO injected_fault VALUES (0);");
  for (int i = 0; i < targets.size(); ++i) {
    sql += QStringLiteral(
               "CREATE TRIGGER injected_fault_%1 BEFORE %2 WHEN (SELECT armed FROM injected_fault) "
               "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;")
               .arg(i + 1)
               .arg(targets[i]);
  }
  if (Status s = (*db)->connection().exec(sql.toUtf8().constData()); !s) return s;
  return R(std::unique_ptr<DatabaseFaults>(new DatabaseFaults(*db)));
}

Status DatabaseFaults::arm(bool on) {
  if (on == armed_) return Status::Ok();
  Status s = db_->connection().exec(on ? "UPDATE injected_fault SET armed = 1"
                                       : "UPDATE injected_fault SET armed = 0");
  if (!s) return s;
  armed_ = on;
  bursts_ += on;
  return Status::Ok();
}

}  // namespace doruzudo::sim
