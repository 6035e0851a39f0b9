// Whole-tree checks on the production sources.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

bool isProductionSource(const QString& path) {
  if (!(path.endsWith(QLatin1String(".cpp")) || path.endsWith(QLatin1String(".h")))) return false;
  if (path.endsWith(QLatin1String("_test.cpp"))) return false;
  for (const char* folder : {"/tests/", "/bench/", "/build"}) {
    if (path.contains(QLatin1String(folder))) return false;
  }
  return true;
}

// Time comes from the Scheduler only: nothing else may read the clock, create
// a timer or sleep, so that every timed behaviour runs in virtual time.
TEST(SourceChecks, NoDirectClockOrTimerOutsideTheSchedulerAdapter) {
  const QString root = QStringLiteral(DORUZUDO_SOURCE_DIR);
  const QRegularExpression forbidden(QStringLiteral(
      R"(\bQTimer\b|QDateTime::current|QDate::currentDate|QTime::currentTime|)"
      R"(std::chrono::\w+::now|\bu?sleep\s*\(|sleep_for|sleep_until|QThread::\w*sleep)"));
  const QStringList allowed = {QStringLiteral("/common/qt_scheduler.cpp"),
                               QStringLiteral("/common/qt_scheduler.h")};
  QStringList offenders;
  QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = path.mid(root.size());
    if (!isProductionSource(relative) || allowed.contains(relative)) continue;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int lineNo = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
      ++lineNo;
      const QString text = QString::fromUtf8(line);
      if (text.trimmed().startsWith(QLatin1String("//"))) continue;
      if (forbidden.match(text).hasMatch()) {
        offenders << QStringLiteral("%1:%2: %3").arg(relative).arg(lineNo).arg(text.trimmed());
      }
    }
  }
  EXPECT_TRUE(offenders.isEmpty()) << offenders.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
