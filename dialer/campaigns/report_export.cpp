#include "dialer/campaigns/report_export.h"

#include "common/escreve.h"
#include "common/text_forms.h"

namespace doruzudo {

namespace {

const QString kSeparator = QStringLiteral(";");
const QString kCarriageReturnLine = QStringLiteral("\r");

QString dateField(const QDate& date) {
  return date.isValid() ? formatDate(date) : QString();
}
QString timeField(const QTime& time) {
  return time.isValid() ? formatTime(time) : QString();
}

}  // namespace

QStringList generalExportLines(const std::vector<ResultRow>& rows) {
  QStringList lines;
  if (rows.empty()) return lines;
  lines << QStringLiteral("Telefone;Status;Tentativas;Data;Hora;Opcao") << kCarriageReturnLine;
  for (const ResultRow& r : rows) {
    lines << QStringList{r.telefone,
                         r.status,
                         r.tentativas ? QString::number(*r.tentativas) : QString(),
                         dateField(r.data),
                         timeField(r.hora),
                         r.opcao1}
                 .join(kSeparator);
  }
  return lines;
}

QStringList summaryExportLines(const std::vector<StatusTotal>& totals) {
  QStringList lines;
  if (totals.empty()) return lines;
  lines << QStringLiteral("Status;Totais") << kCarriageReturnLine;
  for (const StatusTotal& t : totals) lines << t.status + kSeparator + QString::number(t.soma);
  return lines;
}

Status appendLines(const QStringList& lines, const QString& fileName) {
  for (const QString& line : lines) {
    if (!Escreve(line, fileName)) {
      return Status::Error(report_messages::kNotExported + fileName);
    }
  }
  return Status::Ok();
}

Result<QString> exportReport(CallDatabase& db, const QString& campaign, ReportKind kind,
                             const QString& fileName) {
  if (campaign.isEmpty()) return Status::Error(report_messages::kNoCampaign);
  QStringList lines;
  if (kind == ReportKind::General) {
    auto rows = db.resultRows(campaign);
    if (!rows) return rows.status();
    lines = generalExportLines(*rows);
  } else {
    auto totals = db.statusTotals(campaign);
    if (!totals) return totals.status();
    lines = summaryExportLines(*totals);
  }
  if (Status s = appendLines(lines, fileName); !s) return s;
  return report_messages::kExported + fileName;
}

}  // namespace doruzudo
