#include "dialer/campaigns/report_pdf.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

namespace doruzudo {

void setReportPageLayout(QPagedPaintDevice& device) {
  const double m = report_layout::kMarginMm;
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                   QMarginsF(m, m, m, m), QPageLayout::Millimeter));
}

PainterCanvas::PainterCanvas(QPainter& painter, QPagedPaintDevice& device)
    : PainterCanvas(painter, device.pageLayout().paintRect(QPageLayout::Millimeter).size(),
                    painter.device()->logicalDpiX() / 25.4, [&device] { device.newPage(); }) {}

PainterCanvas::PainterCanvas(QPainter& painter, QSizeF pageMm, double unitsPerMm,
                             std::function<void()> newPage)
    : painter_(painter), newPage_(std::move(newPage)), pageMm_(pageMm), unitsPerMm_(unitsPerMm) {}

QRectF PainterCanvas::toDevice(const QRectF& mm) const {
  return QRectF(mm.x() * unitsPerMm_, mm.y() * unitsPerMm_, mm.width() * unitsPerMm_,
                mm.height() * unitsPerMm_);
}

QPointF PainterCanvas::toDevice(const QPointF& mm) const {
  return mm * unitsPerMm_;
}

void PainterCanvas::drawText(const QRectF& box, int flags, const QString& text,
                             const ReportFont& font) {
  QFont f(QStringLiteral("Arial"));
  f.setPointSizeF(font.points);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  painter_.setFont(f);
  painter_.setPen(Qt::black);
  painter_.save();
  painter_.setClipRect(toDevice(box));
  painter_.drawText(toDevice(box), flags, text);
  painter_.restore();
}

void PainterCanvas::drawLine(const QPointF& from, const QPointF& to) {
  painter_.setPen(QPen(Qt::black, 0.2 * unitsPerMm_));
  painter_.drawLine(toDevice(from), toDevice(to));
}

void PainterCanvas::fillRect(const QRectF& box, const QColor& color) {
  painter_.fillRect(toDevice(box), color);
}

void PainterCanvas::newPage() {
  if (newPage_) newPage_();
}

Status writeReportPdf(CallDatabase& db, const QString& campaign, ReportKind kind,
                      const QString& fileName, const QDate& issuedDate, const QTime& issuedTime) {
  if (campaign.isEmpty()) return Status::Error(report_messages::kNoCampaign);
  std::vector<ResultRow> rows;
  std::vector<StatusTotal> totals;
  if (kind == ReportKind::General) {
    auto read = db.resultRows(campaign);
    if (!read) return read.status();
    rows = std::move(*read);
  } else {
    auto read = db.statusTotals(campaign);
    if (!read) return read.status();
    totals = std::move(*read);
  }
  QPdfWriter writer(fileName);
  writer.setResolution(300);
  writer.setTitle(kind == ReportKind::General ? QStringLiteral("Relatório de Campanha")
                                              : QStringLiteral("Relatório de Campanha Agregado"));
  setReportPageLayout(writer);
  QPainter painter;
  if (!painter.begin(&writer)) {
    return Status::Error(QStringLiteral("Não foi possível gravar o arquivo: ") + fileName);
  }
  PainterCanvas canvas(painter, writer);
  if (kind == ReportKind::General) {
    paintGeneralReport(canvas, campaign, rows);
  } else {
    paintSummaryReport(canvas, campaign, totals, issuedDate, issuedTime);
  }
  if (!painter.end()) {
    return Status::Error(QStringLiteral("Não foi possível gravar o arquivo: ") + fileName);
  }
  return Status::Ok();
}

}  // namespace doruzudo
