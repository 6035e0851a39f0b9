#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include "dialer/campaigns/report_export.h"
#include "dialer/campaigns/report_layout.h"
#include "dialer/campaigns/report_pdf.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

using namespace report_layout;

// Records what a report draws, page by page.
class RecordingCanvas final : public ReportCanvas {
 public:
  struct Text {
    int page;
    QRectF box;
    QString text;
    ReportFont font;
  };
  QSizeF pageSize() const override { return QSizeF(195.9, 259.4); }  // Letter less margins
  void drawText(const QRectF& box, int, const QString& text, const ReportFont& font) override {
    texts.push_back({pages, box, text, font});
  }
  void drawLine(const QPointF&, const QPointF&) override {}
  void fillRect(const QRectF& box, const QColor& color) override {
    fills.push_back({box.top(), color});
  }
  void newPage() override { ++pages; }

  const Text* find(const QString& text, int page = -1) const {
    for (const Text& t : texts) {
      if (t.text == text && (page < 0 || t.page == page)) return &t;
    }
    return nullptr;
  }
  int count(const QString& text) const {
    return static_cast<int>(
        std::count_if(texts.begin(), texts.end(), [&](const Text& t) { return t.text == text; }));
  }

  int pages = 1;
  std::vector<Text> texts;
  std::vector<std::pair<double, QColor>> fills;
};

ResultRow row(const QString& number, const QString& status, std::optional<int> attempts,
              QDate date = {}, QTime time = {}, const QString& option = {}) {
  ResultRow r;
  r.telefone = number;
  r.status = status;
  r.tentativas = attempts;
  r.data = date;
  r.hora = time;
  r.opcao1 = option;
  return r;
}

TEST(ReportExport, TextLinesByteForByteAppendedToTheFile) {
  testing::TempDir dir;
  const QString file = dir.file(QStringLiteral("r.txt"));
  const std::vector<ResultRow> rows = {
      row(QStringLiteral("1155551234"), QStringLiteral("CHAMADA ATENDIDA"), 2, QDate(2026, 3, 5),
          QTime(9, 7, 1), QStringLiteral("Sim")),
      row(QStringLiteral("55"), QString(), std::nullopt)};
  ASSERT_TRUE(appendLines(generalExportLines(rows), file).ok());
  ASSERT_TRUE(
      appendLines(summaryExportLines({{QString(), 0}, {QStringLiteral("TELEFONE OCUPADO"), 3}}),
                  file)
          .ok());
  ASSERT_TRUE(appendLines(generalExportLines({}), file).ok());  // nothing at all
  EXPECT_EQ(testing::readFile(file),
            QByteArray("Telefone;Status;Tentativas;Data;Hora;Opcao\r\n"
                       "\r\r\n"
                       "1155551234;CHAMADA ATENDIDA;2;05/03/2026;09:07:01;Sim\r\n"
                       "55;;;;;\r\n"
                       "Status;Totais\r\n"
                       "\r\r\n"
                       ";0\r\n"
                       "TELEFONE OCUPADO;3\r\n"));
  EXPECT_FALSE(appendLines({QStringLiteral("x")}, dir.file(QStringLiteral("no/such/r.txt"))).ok());
}

TEST(ReportExport, ExportsFromTheDatabaseAndRefusesWithoutCampaign) {
  testing::TempDir dir;
  auto db = *CallDatabase::open(dir.path());
  ASSERT_TRUE(db->createResultTable(QStringLiteral("VAZIA")).ok());
  const QString file = dir.file(QStringLiteral("r.txt"));
  auto done = exportReport(*db, QStringLiteral("VAZIA"), ReportKind::General, file);
  ASSERT_TRUE(done.ok());
  EXPECT_EQ(*done, QStringLiteral("Arquivo gerado com sucesso em: \r\n") + file);
  EXPECT_FALSE(QFile::exists(file));  // an empty table writes nothing
  EXPECT_EQ(exportReport(*db, QString(), ReportKind::General, file).message(),
            report_messages::kNoCampaign);
  EXPECT_FALSE(exportReport(*db, QStringLiteral("SUMIU"), ReportKind::Summary, file).ok());
}

TEST(ReportLayout, GeneralReportHeaderFooterAndColumnsOnEveryPage) {
  std::vector<ResultRow> rows;
  for (int i = 0; i < 80; ++i) rows.push_back(row(QString::number(1000 + i), {}, i));
  RecordingCanvas canvas;
  paintGeneralReport(canvas, QStringLiteral("VENDAS"), rows);

  const double perPage = std::floor((259.4 - kHeaderMm - kFooterMm) / kDetailMm);
  const int pages = static_cast<int>(std::ceil(80 / perPage));
  EXPECT_EQ(canvas.pages, pages);
  EXPECT_EQ(canvas.count(QStringLiteral("Relatório de Campanha")), pages);
  EXPECT_EQ(canvas.count(QStringLiteral("Relatório da campanha: VENDAS")), pages);
  for (int p = 1; p <= pages; ++p) {
    const auto* number = canvas.find(QStringLiteral("Página: ") + QString::number(p), p);
    ASSERT_TRUE(number) << p;
    EXPECT_DOUBLE_EQ(number->box.left(), kGeneralPageMm);
  }
  const struct {
    const char* caption;
    double left;
  } columns[] = {{"Telefone", 0.0}, {"Status", 31.75}, {"Tentativas", 76.2},
                 {"Data", 99.5},    {"Hora", 116.4},   {"Opção", 139.7}};
  for (const auto& c : columns) {
    const auto* caption = canvas.find(QString::fromUtf8(c.caption), pages);
    ASSERT_TRUE(caption) << c.caption;
    EXPECT_DOUBLE_EQ(caption->box.left(), c.left);
    EXPECT_EQ(caption->font, (ReportFont{8, true, false}));
  }
  EXPECT_EQ(canvas.find(QStringLiteral("Relatório de Campanha"))->font,
            (ReportFont{12, true, false}));
  EXPECT_TRUE(canvas.find(QStringLiteral("Relatório da campanha: VENDAS"))->font.italic);
  // Every row once, in order, the last one on the last page.
  EXPECT_EQ(canvas.find(QStringLiteral("1079"))->page, pages);
  EXPECT_EQ(canvas.find(QStringLiteral("79"))->box.left(), kTentativasMm);
}

TEST(ReportLayout, EmptyGeneralReportIsOnePageWithHeaderAndFooter) {
  RecordingCanvas canvas;
  paintGeneralReport(canvas, QStringLiteral("VAZIA"), {});
  EXPECT_EQ(canvas.pages, 1);
  EXPECT_TRUE(canvas.find(QStringLiteral("Relatório de Campanha")));
  EXPECT_TRUE(canvas.find(QStringLiteral("Página: 1")));
  EXPECT_TRUE(canvas.fills.empty());
}

TEST(ReportLayout, ShadingAlternatesAndCarriesOverToTheNextReportOfItsKind) {
  const QColor grey(218, 221, 222), white(Qt::white);
  const int general = shadingCounter(ReportKind::General);
  const int summary = shadingCounter(ReportKind::Summary);
  auto colour = [&](int n) { return n % 2 == 0 ? grey : white; };

  RecordingCanvas first;
  paintGeneralReport(first, QStringLiteral("A"),
                     {row("1", {}, 1), row("2", {}, 1), row("3", {}, 1)});
  ASSERT_EQ(first.fills.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(first.fills[i].second, colour(general + i)) << i;

  RecordingCanvas other;
  paintSummaryReport(other, QStringLiteral("A"), {{QStringLiteral("X"), 1}}, QDate(2026, 3, 25),
                     QTime(14, 7, 9));
  EXPECT_EQ(other.fills.at(0).second, colour(summary));

  RecordingCanvas second;
  paintGeneralReport(second, QStringLiteral("B"), {row("4", {}, 1)});
  EXPECT_EQ(second.fills.at(0).second, colour(general + 3));
  EXPECT_EQ(shadingCounter(ReportKind::General), general + 4);
  EXPECT_EQ(shadingCounter(ReportKind::Summary), summary + 1);
}

TEST(ReportLayout, SummaryTitleOnFirstPageOnlyAndIssueLine) {
  std::vector<StatusTotal> totals;
  for (int i = 0; i < 70; ++i) totals.push_back({QStringLiteral("S%1").arg(i), i});
  RecordingCanvas canvas;
  paintSummaryReport(canvas, QStringLiteral("VENDAS"), totals, QDate(2026, 3, 25), QTime(14, 7, 9));
  ASSERT_EQ(canvas.pages, 2);
  EXPECT_EQ(canvas.count(QStringLiteral("Relatório de Campanha Agregado")), 1);
  EXPECT_EQ(canvas.find(QStringLiteral("Totais"))->box.left(), kTotaisMm);
  EXPECT_EQ(canvas.find(QStringLiteral("69"))->box.left(), kTotaisMm);
  EXPECT_EQ(canvas.find(QStringLiteral("S69"))->page, 2);
  EXPECT_EQ(canvas.count(QStringLiteral("Relátorio da campanha: VENDAS")), 2);
  EXPECT_EQ(canvas.count(QStringLiteral("Relatório emitido em: 25/03/2026 às 14:07:09")), 2);
  EXPECT_EQ(canvas.find(QStringLiteral("Página: 2"), 2)->box.left(), kSummaryPageMm);
  // On page 2 the rows start at the top: no title band.
  double top = 1e9;
  for (const auto& t : canvas.texts) {
    if (t.page == 2) top = std::min(top, t.box.top());
  }
  EXPECT_LT(top, 1.0);
}

TEST(ReportPdf, PainterDrawsShadedBandsWhereTheLayoutPutsThem) {
  const double perMm = 4;
  QImage image(int(195.9 * perMm), int(259.4 * perMm), QImage::Format_RGB32);
  image.fill(Qt::white);
  const int first = shadingCounter(ReportKind::General);
  {
    QPainter painter(&image);
    PainterCanvas canvas(painter, QSizeF(195.9, 259.4), perMm, [] { FAIL(); });
    paintGeneralReport(canvas, QStringLiteral("A"), {row("1", {}, 1), row("2", {}, 1)});
  }
  if (qEnvironmentVariableIsSet("REPORT_IMAGE")) image.save(qEnvironmentVariable("REPORT_IMAGE"));
  auto pixelAt = [&](double xMm, double yMm) {
    return image.pixelColor(int(xMm * perMm), int(yMm * perMm));
  };
  const QColor grey(218, 221, 222), white(Qt::white);
  for (int i = 0; i < 2; ++i) {
    const double middle = kHeaderMm + i * kDetailMm + kDetailMm / 2;
    EXPECT_EQ(pixelAt(190, middle), (first + i) % 2 == 0 ? grey : white) << i;
  }
  // Text is drawn: some dark pixels in the title band.
  bool dark = false;
  for (int x = 0; x < image.width() && !dark; ++x) {
    dark = qGray(image.pixel(x, int(3 * perMm))) < 100;
  }
  EXPECT_TRUE(dark);
}

// The text of a PDF through pdftotext; a null text when the tool is missing.
QString pdfText(const QString& file) {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (tool.isEmpty()) return {};
  QProcess process;
  process.start(tool, {file, QStringLiteral("-")});
  if (!process.waitForFinished(30000) || process.exitCode() != 0) return QStringLiteral("(failed)");
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(ReportPdf, BothKindsRenderToPdfFiles) {
  testing::TempDir dir;
  auto db = *CallDatabase::open(dir.path());
  ASSERT_TRUE(db->createResultTable(QStringLiteral("C1")).ok());
  ASSERT_TRUE(db->connection()
                  .exec("INSERT INTO C1(Codigo,Telefone,Tentativas,Data,Hora,Status) VALUES "
                        "(1,'5511','2','2026-03-25','09:00:00','CHAMADA ATENDIDA')")
                  .ok());
  for (ReportKind kind : {ReportKind::General, ReportKind::Summary}) {
    const QString file = dir.file(kind == ReportKind::General ? "g.pdf" : "s.pdf");
    Status s =
        writeReportPdf(*db, QStringLiteral("C1"), kind, file, QDate(2026, 3, 25), QTime(14, 7, 9));
    ASSERT_TRUE(s.ok()) << s.message().toStdString();
    const QByteArray pdf = testing::readFile(file);
    EXPECT_TRUE(pdf.startsWith("%PDF-")) << file.toStdString();
    EXPECT_TRUE(pdf.contains("/Type /Page")) << file.toStdString();
    const QString text = pdfText(file);
    if (text.isNull()) continue;  // no pdftotext here
    const QStringList expected = kind == ReportKind::General
                                     ? QStringList{"Relatório de Campanha",
                                                   "Telefone",
                                                   "Opção",
                                                   "5511",
                                                   "CHAMADA ATENDIDA",
                                                   "25/03/2026",
                                                   "09:00:00",
                                                   "Relatório da campanha: C1",
                                                   "Página: 1"}
                                     : QStringList{"Relatório de Campanha Agregado",
                                                   "Totais",
                                                   "CHAMADA ATENDIDA",
                                                   "Relátorio da campanha: C1",
                                                   "Relatório emitido em: 25/03/2026 às 14:07:09",
                                                   "Página: 1"};
    for (const QString& e : expected) EXPECT_TRUE(text.contains(e)) << e.toStdString();
  }
  EXPECT_FALSE(
      writeReportPdf(*db, QStringLiteral("NONE"), ReportKind::General, dir.file("n.pdf"), {}, {})
          .ok());
}

}  // namespace
}  // namespace doruzudo
