// The date window and blocked periods at their edges, and the attempt limit
// text.
#include <gtest/gtest.h>

#include "dialer/engine/dialing_rules.h"

namespace doruzudo {
namespace {

const QDate kToday(2026, 3, 25);

TEST(DialingRules, DateWindowIsOpenBetweenTheMidnightsOfItsDates) {
  struct Case {
    const char* what;
    QDate from, to;
    QTime at;
    bool inside;
  };
  const Case cases[] = {
      {"DataIni today, morning", kToday, kToday.addDays(3), QTime(8, 0), true},
      {"DataIni today, first instant", kToday, kToday.addDays(3), QTime(0, 0), false},
      {"DataIni today, first second", kToday, kToday.addDays(3), QTime(0, 0, 1), true},
      {"DataFim today, whole day refused", kToday.addDays(-3), kToday, QTime(0, 0, 1), false},
      {"DataFim tomorrow, last second of today", kToday.addDays(-3), kToday.addDays(1),
       QTime(23, 59, 59), true},
      {"not yet", kToday.addDays(1), kToday.addDays(3), QTime(12, 0), false},
      {"unset dates", QDate(), QDate(), QTime(12, 0), false},
  };
  for (const Case& c : cases) {
    ChannelSettings s;
    s.DataDisca = true;
    s.DataIni = c.from;
    s.DataFim = c.to;
    EXPECT_EQ(insideDateWindow(s, QDateTime(kToday, c.at)), c.inside) << c.what;
  }
  ChannelSettings off;
  off.DataIni = off.DataFim = kToday.addDays(5);
  EXPECT_TRUE(insideDateWindow(off, QDateTime(kToday, QTime(12, 0)))) << "DataDisca off";
}

// Settings whose three periods block nothing (start later than end).
ChannelSettings withoutBlocks() {
  ChannelSettings s;
  s.PerIni.fill(QTime(22, 0));
  s.PerFin.fill(QTime(6, 0));
  return s;
}

TEST(DialingRules, BlockedPeriodsIncludeBothEndsInWholeSeconds) {
  struct Case {
    const char* what;
    int period;  // the period set (1..3)
    QTime from, to, at;
    int blocked;  // the period reported
  };
  const Case cases[] = {
      {"00:00 to 00:00 blocks 00:00:00", 1, QTime(0, 0), QTime(0, 0), QTime(0, 0, 0, 900), 1},
      {"... and not 00:00:01", 1, QTime(0, 0), QTime(0, 0), QTime(0, 0, 1), 0},
      {"22:00 to 06:00 never blocks", 2, QTime(22, 0), QTime(6, 0), QTime(23, 0), 0},
      {"start included", 2, QTime(12, 0), QTime(13, 0), QTime(12, 0), 2},
      {"end included", 3, QTime(12, 0), QTime(13, 0, 59), QTime(13, 0, 59, 999), 3},
      {"after the end", 3, QTime(12, 0), QTime(13, 0, 59), QTime(13, 1), 0},
      {"unset bound", 1, QTime(), QTime(13, 0), QTime(12, 0), 0},
  };
  for (const Case& c : cases) {
    ChannelSettings s = withoutBlocks();
    s.PerIni[c.period - 1] = c.from;
    s.PerFin[c.period - 1] = c.to;
    EXPECT_EQ(blockedPeriod(s, c.at), c.blocked) << c.what;
  }
}

TEST(DialingRules, TheFirstBlockingPeriodIsReported) {
  ChannelSettings s = withoutBlocks();
  s.PerIni[1] = s.PerIni[2] = QTime(10, 0);
  s.PerFin[1] = s.PerFin[2] = QTime(11, 0);
  EXPECT_EQ(blockedPeriod(s, QTime(10, 30)), 2);
}

TEST(DialingRules, AttemptLimitIsTheWholeNumberOfTentativa) {
  ChannelSettings s;
  s.Tentativa = QStringLiteral(" 3 ");
  EXPECT_EQ(attemptLimit(s), 3);
  s.Tentativa = QStringLiteral("três");
  EXPECT_EQ(attemptLimit(s), std::nullopt);
  s.Tentativa.clear();
  EXPECT_EQ(attemptLimit(s), std::nullopt);
}

}  // namespace
}  // namespace doruzudo
