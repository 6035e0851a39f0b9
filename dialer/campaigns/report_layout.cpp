#include "dialer/campaigns/report_layout.h"

#include "common/text_forms.h"

namespace doruzudo {

using namespace report_layout;

namespace {

int generalCounter = 0;  // detail bands of general reports printed by this process
int summaryCounter = 0;

const ReportFont kTitleFont{12, true, false};
const ReportFont kCaptionFont{8, true, false};
const ReportFont kDetailFont{8, false, false};
const ReportFont kFooterFont{8, false, true};
constexpr double kTextMm = 4.0;  // height of one 8 pt text line box

// The next band's colour, counting the band.
QColor nextShade(int& counter) {
  return counter++ % 2 == 0 ? kShade : QColor(Qt::white);
}

// Title, line, captions and bottom rule in the band starting at `top`.
void paintTitleBand(ReportCanvas& canvas, double top, const QString& title,
                    const std::vector<std::pair<double, QString>>& captions) {
  const double width = canvas.pageSize().width();
  canvas.drawText(QRectF(0, top, width, 6), Qt::AlignHCenter | Qt::AlignVCenter, title, kTitleFont);
  canvas.drawLine(QPointF(0, top + 7), QPointF(width, top + 7));
  for (size_t i = 0; i < captions.size(); ++i) {
    const double right = i + 1 < captions.size() ? captions[i + 1].first : width;
    canvas.drawText(QRectF(captions[i].first, top + 8.5, right - captions[i].first, kTextMm),
                    Qt::AlignLeft | Qt::AlignVCenter, captions[i].second, kCaptionFont);
  }
  const double rule = top + kHeaderMm - 1;  // the band's bottom rule, clear of the rows
  canvas.drawLine(QPointF(0, rule), QPointF(width, rule));
}

// One detail band: shading, then each field in its column.
void paintDetail(ReportCanvas& canvas, double top, int& counter, const std::vector<double>& lefts,
                 const QStringList& fields) {
  const double width = canvas.pageSize().width();
  canvas.fillRect(QRectF(0, top, width, kDetailMm), nextShade(counter));
  for (size_t i = 0; i < lefts.size(); ++i) {
    const double right = i + 1 < lefts.size() ? lefts[i + 1] : width;
    canvas.drawText(QRectF(lefts[i], top + 0.25, right - lefts[i] - 0.5, kTextMm),
                    Qt::AlignLeft | Qt::AlignVCenter, fields[static_cast<int>(i)], kDetailFont);
  }
}

// The footer: top rule, `left` lines under each other, "Página:" at `pageAt`.
void paintFooter(ReportCanvas& canvas, const QStringList& left, double pageAt, int page) {
  const QSizeF size = canvas.pageSize();
  const double top = size.height() - kFooterMm;
  canvas.drawLine(QPointF(0, top), QPointF(size.width(), top));
  double y = top + 1.5;
  for (const QString& line : left) {
    canvas.drawText(QRectF(0, y, pageAt - 2, kTextMm), Qt::AlignLeft | Qt::AlignVCenter, line,
                    kFooterFont);
    y += kTextMm + 0.5;
  }
  canvas.drawText(QRectF(pageAt, top + 1.5, size.width() - pageAt, kTextMm),
                  Qt::AlignLeft | Qt::AlignVCenter,
                  QStringLiteral("Página: ") + QString::number(page), kFooterFont);
}

QString dateText(const QDate& d) {
  return d.isValid() ? formatDate(d) : QString();
}
QString timeText(const QTime& t) {
  return t.isValid() ? formatTime(t) : QString();
}

}  // namespace

int shadingCounter(ReportKind kind) {
  return kind == ReportKind::General ? generalCounter : summaryCounter;
}

void paintGeneralReport(ReportCanvas& canvas, const QString& campaign,
                        const std::vector<ResultRow>& rows) {
  const std::vector<std::pair<double, QString>> captions = {
      {kTelefoneMm, QStringLiteral("Telefone")},
      {kStatusMm, QStringLiteral("Status")},
      {kTentativasMm, QStringLiteral("Tentativas")},
      {kDataMm, QStringLiteral("Data")},
      {kHoraMm, QStringLiteral("Hora")},
      {kOpcaoMm, QStringLiteral("Opção")}};
  const std::vector<double> lefts = {kTelefoneMm, kStatusMm, kTentativasMm,
                                     kDataMm,     kHoraMm,   kOpcaoMm};
  const QStringList footer = {QStringLiteral("Relatório da campanha: ") + campaign};
  const double bottom = canvas.pageSize().height() - kFooterMm;
  int page = 1;
  size_t next = 0;
  for (;;) {
    paintTitleBand(canvas, 0, QStringLiteral("Relatório de Campanha"), captions);
    double y = kHeaderMm;
    for (; next < rows.size() && y + kDetailMm <= bottom; ++next, y += kDetailMm) {
      const ResultRow& r = rows[next];
      paintDetail(canvas, y, generalCounter, lefts,
                  {r.telefone, r.status, r.tentativas ? QString::number(*r.tentativas) : QString(),
                   dateText(r.data), timeText(r.hora), r.opcao1});
    }
    paintFooter(canvas, footer, kGeneralPageMm, page);
    if (next >= rows.size()) break;
    canvas.newPage();
    ++page;
  }
}

void paintSummaryReport(ReportCanvas& canvas, const QString& campaign,
                        const std::vector<StatusTotal>& totals, const QDate& issuedDate,
                        const QTime& issuedTime) {
  const QStringList footer = {QStringLiteral("Relátorio da campanha: ") + campaign,
                              QStringLiteral("Relatório emitido em: ") + formatDate(issuedDate) +
                                  QStringLiteral(" às ") + formatTime(issuedTime)};
  const double bottom = canvas.pageSize().height() - kFooterMm;
  int page = 1;
  size_t next = 0;
  double y = 0;
  paintTitleBand(canvas, 0, QStringLiteral("Relatório de Campanha Agregado"),
                 {{0.0, QStringLiteral("Status")}, {kTotaisMm, QStringLiteral("Totais")}});
  y = kHeaderMm;
  for (;;) {
    for (; next < totals.size() && y + kDetailMm <= bottom; ++next, y += kDetailMm) {
      paintDetail(canvas, y, summaryCounter, {0.0, kTotaisMm},
                  {totals[next].status, QString::number(totals[next].soma)});
    }
    paintFooter(canvas, footer, kSummaryPageMm, page);
    if (next >= totals.size()) break;
    canvas.newPage();
    ++page;
    y = 0;  // the title band prints on the first page only
  }
}

}  // namespace doruzudo
