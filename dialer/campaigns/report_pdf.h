// The campaign reports on paper-like devices: a ReportCanvas over a QPainter
// on a paged device (QPdfWriter for files, QPrinter for printing and the
// preview dialog), and the PDF files of doruzudo-admin.
//
// Needs a QGuiApplication (fonts). Threads: main thread only.
#pragma once

#include <QPagedPaintDevice>
#include <QPainter>
#include <functional>

#include "common/call_database.h"
#include "dialer/campaigns/report_layout.h"

namespace doruzudo {

// Letter, portrait, 10 mm margins on all sides.
void setReportPageLayout(QPagedPaintDevice& device);

class PainterCanvas final : public ReportCanvas {
 public:
  // `painter` is active on `device`, whose layout was set with
  // setReportPageLayout(); the painter's origin is the printable area's corner.
  PainterCanvas(QPainter& painter, QPagedPaintDevice& device);
  // Any device (an image for a thumbnail): the printable area's size in mm,
  // the device units per mm, and what starts a new page.
  PainterCanvas(QPainter& painter, QSizeF pageMm, double unitsPerMm, std::function<void()> newPage);

  QSizeF pageSize() const override { return pageMm_; }
  void drawText(const QRectF& box, int flags, const QString& text, const ReportFont& font) override;
  void drawLine(const QPointF& from, const QPointF& to) override;
  void fillRect(const QRectF& box, const QColor& color) override;
  void newPage() override;

 private:
  QRectF toDevice(const QRectF& mm) const;
  QPointF toDevice(const QPointF& mm) const;

  QPainter& painter_;
  std::function<void()> newPage_;
  QSizeF pageMm_;
  double unitsPerMm_;
};

// A report's rows, read whole before anything is drawn.
struct ReportData {
  ReportKind kind = ReportKind::General;
  QString campaign;
  std::vector<ResultRow> rows;      // General
  std::vector<StatusTotal> totals;  // Summary
};
// Fails with "Selecione uma campanha para gerar o relatório." for no
// campaign, and with the database's message when the table cannot be read.
Result<ReportData> readReport(CallDatabase& db, const QString& campaign, ReportKind kind);

// Sets the report's page layout on `device` (a QPrinter for printing or the
// preview dialog's paint request, a QPdfWriter) and draws every page.
Status renderReport(const ReportData& data, QPagedPaintDevice& device, const QDate& issuedDate,
                    const QTime& issuedTime);

// Reads the campaign's report of `kind` and renders it to the PDF `fileName`
// (replacing it). `issuedDate`/`issuedTime` are the summary's issue moment.
Status writeReportPdf(CallDatabase& db, const QString& campaign, ReportKind kind,
                      const QString& fileName, const QDate& issuedDate, const QTime& issuedTime);

}  // namespace doruzudo
