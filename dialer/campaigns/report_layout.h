// The two printed campaign reports, laid out on a ReportCanvas in
// millimetres: "Relatório de Campanha" (general: every finished number) and
// "Relatório de Campanha Agregado" (summary: numbers per status).
//
// Paper: Letter, portrait, 10 mm margins; all positions below are from the
// top left corner of the printable area. Fonts are Arial. Detail rows are
// shaded light grey (218, 221, 222) and white in turn by a counter per report
// kind that starts at zero with the process and is never reset, so a later
// report continues the alternation where the previous one stopped.
//
// Threads: main thread only (the shading counters are process-wide).
#pragma once

#include <QColor>
#include <QDate>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTime>
#include <vector>

#include "common/call_database.h"
#include "dialer/campaigns/report_export.h"

namespace doruzudo {

struct ReportFont {
  double points = 8;
  bool bold = false;
  bool italic = false;
  bool operator==(const ReportFont&) const = default;
};

// Where a report is drawn: a PDF, a printer, the preview, or a test recorder.
class ReportCanvas {
 public:
  virtual ~ReportCanvas() = default;
  // The printable area of one page, in millimetres.
  virtual QSizeF pageSize() const = 0;
  // `flags` are Qt::Alignment flags; the text is clipped to `box`.
  virtual void drawText(const QRectF& box, int flags, const QString& text,
                        const ReportFont& font) = 0;
  virtual void drawLine(const QPointF& from, const QPointF& to) = 0;
  virtual void fillRect(const QRectF& box, const QColor& color) = 0;
  // Starts the next page.
  virtual void newPage() = 0;
};

namespace report_layout {
inline constexpr double kMarginMm = 10.0;
inline constexpr double kHeaderMm = 14.0;  // title, line, captions
inline constexpr double kDetailMm = 4.5;
inline constexpr double kFooterMm = 12.0;
// Column positions of the general report.
inline constexpr double kTelefoneMm = 0.0, kStatusMm = 31.75, kTentativasMm = 76.2, kDataMm = 99.5,
                        kHoraMm = 116.4, kOpcaoMm = 139.7;
inline constexpr double kGeneralPageMm = 171.5;  // "Página:"
// Columns of the summary report.
inline constexpr double kTotaisMm = 55.0;
inline constexpr double kSummaryPageMm = 175.7;
inline const QColor kShade{218, 221, 222};
}  // namespace report_layout

// The shading counter of a report kind (detail bands printed so far).
int shadingCounter(ReportKind kind);

// Draws the whole report, every page. `rows` in print order.
void paintGeneralReport(ReportCanvas& canvas, const QString& campaign,
                        const std::vector<ResultRow>& rows);
// `issued` is the moment shown in "Relatório emitido em: ... às ...".
void paintSummaryReport(ReportCanvas& canvas, const QString& campaign,
                        const std::vector<StatusTotal>& totals, const QDate& issuedDate,
                        const QTime& issuedTime);

}  // namespace doruzudo
