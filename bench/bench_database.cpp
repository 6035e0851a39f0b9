// bench-database: the call database's two speed targets, each as a ratio
// against a baseline measured in the same run.
//
// 1. Generating a campaign of 1,000,000 numbers (file read, digits kept, one
//    insert per number, all in one transaction) against the sqlite3 shell's
//    own bulk .import of the same digits into a table of the same shape (same
//    schema, index and journal). Target: at most 2.
// 2. The next-number step (take the first free row, count the attempt) on a
//    campaign of 1,000,000 rows against one of 1,000 rows, 1,000 steps each.
//    Target: at most 1.5.
//
// Each measurement is taken three times and the best is kept.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>

#include "common/call_database.h"
#include "dialer/campaigns/campaign_generator.h"

using namespace doruzudo;

namespace {

constexpr int kBigCampaign = 1000000;
constexpr int kSmallCampaign = 1000;
constexpr int kSteps = 1000;
constexpr int kRounds = 3;

double seconds(const std::function<void()>& fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void die(const QString& message) {
  std::fprintf(stderr, "bench-database: %s\n", message.toUtf8().constData());
  std::exit(1);
}

QString phoneNumber(int i) {
  return QStringLiteral("55119%1").arg(10000000 + (i * 7919) % 90000000, 8, 10, QLatin1Char('0'));
}

// The number file the operator would load and the same digits as rows for
// the shell's import (código, Telefone, Tentativas, Campanha, ID_Campanha,
// Data, Hora, Status, Busy).
void writeInputs(const QString& numbers, const QString& csv) {
  QFile n(numbers), c(csv);
  if (!n.open(QIODevice::WriteOnly) || !c.open(QIODevice::WriteOnly)) die("cannot write inputs");
  QByteArray a, b;
  for (int i = 0; i < kBigCampaign; ++i) {
    const QByteArray digits = phoneNumber(i).toLatin1();
    a += digits + "\r\n";
    b += QByteArray::number(i + 1) + ',' + digits + ",,BULK,1,,,,NÃO\n";
    if (a.size() > (1 << 20)) {
      n.write(a);
      c.write(b);
      a.clear();
      b.clear();
    }
  }
  n.write(a);
  c.write(b);
}

std::shared_ptr<CallDatabase> freshDatabase(const QString& folder) {
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  auto db = CallDatabase::open(folder);
  if (!db) die(db.message());
  return *db;
}

double generation(const QString& folder, const QString& numbers, const QString& name) {
  auto db = freshDatabase(folder);
  CampaignGenerator generator(db.get(), [](int, const QString&) {});
  CampaignRequest request{numbers, name, {true}};
  CampaignOutcome outcome;
  const double t = seconds([&] { outcome = generator.generate(request, QDate(2026, 3, 25)); });
  if (!outcome.ok() || outcome.numbers != kBigCampaign) die(outcome.message);
  return t;
}

double bulkImport(const QString& folder, const QString& csv) {
  const QString file = freshDatabase(folder)->file();  // same schema, closed again
  QProcess shell;
  const double t = seconds([&] {
    shell.start(QStringLiteral("sqlite3"),
                {file, QStringLiteral(".import --csv %1 telefones").arg(csv)});
    shell.waitForFinished(-1);
  });
  if (shell.exitCode() != 0) die(QString::fromUtf8(shell.readAllStandardError()));
  return t;
}

double steps(CallDatabase& db, const QString& campaign, const QDate& day) {
  return seconds([&] {
    for (int i = 0; i < kSteps; ++i) {
      auto row = db.claimNextNumber(campaign);
      if (!row || !row->has_value()) die(QStringLiteral("no number to claim"));
      const PhoneRow& r = **row;
      if (!db.countAttempt(r.codigo, r.attempts() + 1, day, QTime(9, 0, i % 60))) {
        die(QStringLiteral("attempt not counted"));
      }
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  if (!dir.isValid()) die(QStringLiteral("no temporary folder"));
  const QString numbers = dir.filePath(QStringLiteral("numeros.txt"));
  const QString csv = dir.filePath(QStringLiteral("numeros.csv"));
  writeInputs(numbers, csv);

  double ours = 1e9, theirs = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    theirs = std::min(theirs, bulkImport(dir.filePath(QStringLiteral("import")), csv));
    ours = std::min(
        ours, generation(dir.filePath(QStringLiteral("big")), numbers, QStringLiteral("BIG")));
  }
  std::printf(
      "generation of %d numbers: %.3f s; sqlite3 .import: %.3f s; ratio %.2f (target <= 2)\n",
      kBigCampaign, ours, theirs, ours / theirs);

  // The big database from the last generation round; a small one beside it.
  auto big = CallDatabase::open(dir.filePath(QStringLiteral("big")));
  if (!big) die(big.message());
  const QString smallFolder = dir.filePath(QStringLiteral("small"));
  QFile smallFile(dir.filePath(QStringLiteral("small.txt")));
  if (!smallFile.open(QIODevice::WriteOnly)) die(QStringLiteral("cannot write small list"));
  for (int i = 0; i < kSmallCampaign; ++i) smallFile.write(phoneNumber(i).toLatin1() + "\r\n");
  smallFile.close();
  auto small = freshDatabase(smallFolder);
  CampaignGenerator generator(small.get(), [](int, const QString&) {});
  if (!generator
           .generate({smallFile.fileName(), QStringLiteral("SMALL"), {true}}, QDate(2026, 3, 25))
           .ok()) {
    die(QStringLiteral("small campaign not generated"));
  }

  // With the file's own settings each commit waits for the disk, which costs
  // the same on both sizes; without those waits the ratio shows the cost of
  // the statements alone, the stricter measure.
  const QDate day(2026, 3, 26);
  for (const char* sync : {"FULL", "OFF"}) {
    const QByteArray pragma = QByteArray("PRAGMA synchronous=") + sync;
    if (!small->connection().exec(pragma.constData()) ||
        !(*big)->connection().exec(pragma.constData())) {
      die(QStringLiteral("cannot set synchronous"));
    }
    double onSmall = 1e9, onBig = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      if (!small->startNewPass(QStringLiteral("SMALL"))) die(QStringLiteral("new pass failed"));
      onSmall = std::min(onSmall, steps(*small, QStringLiteral("SMALL"), day));
      onBig = std::min(onBig, steps(**big, QStringLiteral("BIG"), day));
    }
    std::printf(
        "next-number step x%d (synchronous=%s): %d rows %.4f s; %d rows %.4f s; ratio %.2f "
        "(target <= 1.5)\n",
        kSteps, sync, kSmallCampaign, onSmall, kBigCampaign, onBig, onBig / onSmall);
  }
  return 0;
}
