// The text export of a campaign report ("Exportar Txt"): the lines of the
// general or summary report appended to a text file with Escreve, one CR LF
// line at a time, so an existing file is extended. Fields are separated by
// ";" and not quoted; dates are dd/mm/yyyy and times HH:MM:SS; an unset value
// gives an empty field. A report without rows writes nothing at all.
//
// Pure functions over rows plus the file writes; main thread.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "common/call_database.h"
#include "common/status.h"

namespace doruzudo {

enum class ReportKind { General, Summary };  // "Geral", "Resumido"

namespace report_messages {
inline const QString kNoCampaign = QStringLiteral("Selecione uma campanha para gerar o relatório.");
inline const QString kNoCampaignFound =
    QStringLiteral("Nenhuma campnha foi encontrada no período selecionado.");
inline const QString kExported = QStringLiteral("Arquivo gerado com sucesso em: \r\n");
inline const QString kNotExported = QStringLiteral("Não foi possível gravar o arquivo: ");
}  // namespace report_messages

// The lines of each export, without line ends: the header, a line holding one
// carriage return, then one line per row; nothing for no rows.
QStringList generalExportLines(const std::vector<ResultRow>& rows);
QStringList summaryExportLines(const std::vector<StatusTotal>& totals);

// Appends `lines` to `fileName`. Fails when any line could not be written
// (the lines before it stay written).
Status appendLines(const QStringList& lines, const QString& fileName);

// Reads the campaign's report of `kind` and appends it to `fileName`.
// Returns the closing message ("Arquivo gerado com sucesso em: \r\n" + file).
Result<QString> exportReport(CallDatabase& db, const QString& campaign, ReportKind kind,
                             const QString& fileName);

}  // namespace doruzudo
