#include "dialer/engine/number_pass.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace doruzudo {

Result<int> startNewPassKeeping(CallDatabase& db, const QString& campaign,
                                const std::vector<int64_t>& keptTaken) {
  if (keptTaken.empty()) return db.startNewPass(campaign);
  QJsonArray codes;
  for (int64_t code : keptTaken) codes.append(static_cast<qint64>(code));
  auto st = db.connection().prepare(
      R"(UPDATE telefones SET Busy=?1 WHERE Campanha=?2 AND "código" NOT IN )"
      R"((SELECT value FROM json_each(?3)))");
  if (!st.ok()) return st.status();
  st->bind(1, calldb::kBusyNo).bind(2, campaign);
  st->bind(3, QString::fromUtf8(QJsonDocument(codes).toJson(QJsonDocument::Compact)));
  if (Status s = st->run(); !s.ok()) return s;
  return db.connection().changes();
}

}  // namespace doruzudo
