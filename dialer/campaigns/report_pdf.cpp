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

Result<ReportData> readReport(CallDatabase& db, const QString& campaign, ReportKind kind) {
  if (campaign.isEmpty()) return Status::Error(report_messages::kNoCampaign);
  ReportData data;
  data.kind = kind;
  data.campaign = campaign;
  if (kind == ReportKind::General) {
    auto read = db.resultRows(campaign);
    if (!read) return read.status();
    data.rows = std::move(*read);
  } else {
    auto read = db.statusTotals(campaign);
    if (!read) return read.status();
    data.totals = std::move(*read);
  }
  return data;
}

Status renderReport(const ReportData& data, QPagedPaintDevice& device, const QDate& issuedDate,
                    const QTime& issuedTime) {
  setReportPageLayout(device);
  QPainter painter;
  if (!painter.begin(&device)) return Status::Error(QStringLiteral("cannot paint the report"));
  PainterCanvas canvas(painter, device);
  if (data.kind == ReportKind::General) {
    paintGeneralReport(canvas, data.campaign, data.rows);
  } else {
    paintSummaryReport(canvas, data.campaign, data.totals, issuedDate, issuedTime);
  }
  if (!painter.end()) return Status::Error(QStringLiteral("cannot finish the report"));
  return Status::Ok();
}

Status writeReportPdf(CallDatabase& db, const QString& campaign, ReportKind kind,
                      const QString& fileName, const QDate& issuedDate, const QTime& issuedTime) {
  auto data = readReport(db, campaign, kind);
  if (!data) return data.status();
  QPdfWriter writer(fileName);
  writer.setResolution(300);
  writer.setTitle(kind == ReportKind::General ? QStringLiteral("Relatório de Campanha")
                                              : QStringLiteral("Relatório de Campanha Agregado"));
  if (!renderReport(*data, writer, issuedDate, issuedTime)) {
    return Status::Error(report_messages::kNotExported + fileName);
  }
  return Status::Ok();
}

}  // namespace doruzudo
