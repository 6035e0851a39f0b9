#include <gtest/gtest.h>

#include "common/event_log.h"
#include "common/manual_scheduler.h"

namespace doruzudo {
namespace {

TEST(EventLog, LinesCarryTheBrazilianDateAndTime) {
  ManualScheduler scheduler(QDateTime(QDate(2011, 3, 25), QTime(14, 7, 9)));
  EventLog log(scheduler);
  QStringList seen;
  log.addObserver({[&](const QString& line) { seen << line; }, nullptr});
  log.AddMsg("Conectado ao banco de dados.");
  EXPECT_EQ(log.lines(), QStringList{"25/03/2011 - 14:07:09 - Conectado ao banco de dados."});
  EXPECT_EQ(seen, log.lines());
}

TEST(EventLog, TheLimitCheckEmptiesTheLogAtThreeHundredLinesWithinFiveSeconds) {
  ManualScheduler scheduler;
  EventLog log(scheduler);
  int clears = 0;
  log.addObserver({nullptr, [&] { ++clears; }});
  log.startLimitCheck();
  for (int i = 0; i < 299; ++i) log.AddMsg(QString::number(i));
  scheduler.advance(5000);
  EXPECT_EQ(log.lineCount(), 299);
  log.AddMsg("300th");
  scheduler.advance(4999);
  EXPECT_EQ(log.lineCount(), 300);  // may briefly hold more than the limit
  scheduler.advance(1);
  EXPECT_EQ(log.lineCount(), 0);
  EXPECT_EQ(clears, 1);
}

}  // namespace
}  // namespace doruzudo
