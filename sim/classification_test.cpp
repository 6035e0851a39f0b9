// The oracle that says which result the dialer is to store for a call, the
// comparison of stored results with the exchange's record, and the record's
// file read back.
#include "sim/classification.h"

#include <gtest/gtest.h>

#include "tests/testing.h"

namespace doruzudo::sim {
namespace {

CallTruth call(int channel, const char* dialed, const char* behaviour, const char* offHookAt,
               std::optional<int64_t> answeredAtMs = {}, bool silent = false) {
  CallTruth c;
  c.channel = channel;
  c.dialed = QString::fromLatin1(dialed);
  c.behaviour = QString::fromLatin1(behaviour);
  c.offHookAt = QString::fromLatin1(offHookAt);
  c.answeredAtMs = answeredAtMs;
  c.partySilent = silent;
  c.ringsPlayed = answeredAtMs == 0 ? 0 : 2;
  return c;
}

// The party picked up as the dialer, done with its rings, released the line.
CallTruth answeredAsItHungUp() {
  CallTruth c = call(5, "1", "answer", "", 34060);
  c.ringsPlayed = 6;
  c.onHookAtMs = 34180;
  return c;
}

TEST(Classification, WhatHappenedOnTheLineGivesTheResultToStore) {
  struct Case {
    CallTruth truth;
    std::optional<LineOutcome> outcome;
    const char* status;
  };
  const Case cases[] = {
      {call(1, "1", "busy", ""), LineOutcome::Busy, "TELEFONE OCUPADO"},
      {call(1, "1", "ring", ""), LineOutcome::NoAnswer, "TELEFONE NÃO ATENDE"},
      {call(1, "1", "answer", ""), LineOutcome::NoAnswer, "TELEFONE NÃO ATENDE"},  // gave up first
      {answeredAsItHungUp(), LineOutcome::NoAnswer, "TELEFONE NÃO ATENDE"},
      {call(1, "1", "answer", "", 0), LineOutcome::NoRingback, "FALHA NA COMUTAÇÃO"},  // no rings
      {call(1, "1", "noringback", ""), LineOutcome::NoRingback, "FALHA NA COMUTAÇÃO"},
      {call(3, "1", "answer", "", 9000), LineOutcome::Answered, "CHAMADA ATENDIDA"},
      {call(1, "1", "answer", "", 9000, true), LineOutcome::SilentAnswered, "CHAMADA ATENDIDA"},
      {call(5, "1", "answer", "", 9000, true), LineOutcome::SilentAnswered, "CHAMADA ATENDIDA"},
      {call(2, "1", "answer", "", 9000, true), LineOutcome::SilentFailure, "FALHA NA LIGAÇÃO"},
      {call(4, "1", "answer", "", 9000, true), LineOutcome::SilentFailure, "FALHA NA LIGAÇÃO"},
      {call(1, "1", "", ""), std::nullopt, ""},  // never completed
  };
  for (const Case& c : cases) {
    const auto outcome = lineOutcome(c.truth);
    EXPECT_EQ(outcome, c.outcome) << c.truth.behaviour.toStdString() << " ch " << c.truth.channel;
    if (outcome) {
      EXPECT_EQ(expectedStatus(*outcome), QString::fromUtf8(c.status));
    }
  }
}

TEST(Classification, EachResultIsJudgedByTheLastCallOfItsNumber) {
  const std::vector<CallTruth> calls = {
      call(1, "555", "busy", "2026-03-25T09:10:00.000"),
      call(2, "555", "answer", "2026-03-25T10:00:00.000", 8000),  // the last: dialed again
      call(3, "556", "ring", "2026-03-25T09:00:00.000"),
      call(4, "557", "", "2026-03-25T09:00:00.000"),
  };
  const ClassificationReport report =
      classify(calls, {{"555", "CHAMADA ATENDIDA"}, {"556", "TELEFONE OCUPADO"},
                       {"557", "FALHA NA COMUTAÇÃO"}, {"558", "TELEFONE OCUPADO"}});
  EXPECT_EQ(report.all(), 2);
  EXPECT_EQ(report.allRight(), 1);
  EXPECT_EQ(report.withoutCall, 2);
  ASSERT_EQ(report.mismatches.size(), 1u);
  EXPECT_EQ(report.mismatches[0].number, "556");
  EXPECT_EQ(report.mismatches[0].channel, 3);
  EXPECT_EQ(report.mismatches[0].outcome, LineOutcome::NoAnswer);
  EXPECT_EQ(report.mismatches[0].stored, "TELEFONE OCUPADO");
}

// Each channel's line prefix and operator code come before the number.
TEST(Classification, NumbersAreFoundAfterEachChannelsPrefix) {
  const std::vector<CallTruth> calls = {call(2, "0015555", "busy", "a"),
                                        call(3, "9555", "ring", "b"), call(4, "556", "busy", "c")};
  const auto prefix = [](int channel) { return QString(channel == 2 ? "0015" : channel == 3 ? "9" : ""); };
  const ClassificationReport report =
      classify(calls, {{"555", "TELEFONE NÃO ATENDE"}, {"556", "TELEFONE OCUPADO"}}, prefix);
  EXPECT_EQ(report.withoutCall, 0);
  EXPECT_EQ(report.allRight(), 2) << "the last call of 555 is channel 3's";
}

TEST(Classification, ANumberDialedAgainCountsTwiceOnlyWithinOnePass) {
  const std::vector<CallTruth> calls = {
      call(1, "555", "busy", "2026-03-25T09:00:00.000"),
      call(2, "555", "busy", "2026-03-25T09:30:00.000"),  // a new pass began at 09:10
      call(3, "556", "busy", "2026-03-25T09:20:00.000"),
      call(4, "556", "busy", "2026-03-25T09:25:00.000"),  // the same pass: twice
  };
  const QDateTime newPass = QDateTime::fromString("2026-03-25T09:10:00.000", Qt::ISODateWithMs);
  EXPECT_EQ(dialedTwiceInAPass(calls, {newPass}), std::vector<QString>{"556"});
  EXPECT_EQ(dialedTwiceInAPass(calls, {}), (std::vector<QString>{"555", "556"}));
}

TEST(TruthFile, ReadsBackWhatWasWrittenAndNamesABadLine) {
  testing::TempDir dir;
  CallTruth full = call(6, "01133334444", "answer", "2026-03-25T09:00:05.500", 11400, true);
  full.scenarioLine = 4;
  full.completedAtMs = 4900;
  full.ringsPlayed = 2;
  full.messageEndedAtMs = 19020;
  full.keys = {{QChar('9'), 20020}};
  full.flashAtMs = 21000;
  full.transferredTo = QStringLiteral("2001");
  full.onHookAtMs = 26000;
  TruthLog log;
  ASSERT_TRUE(log.open(dir.file("truth.jsonl")).ok());
  ASSERT_TRUE(log.write(full).ok());
  ASSERT_TRUE(log.write(call(1, "12", "", "")).ok());

  const auto calls = readTruthFile(dir.file("truth.jsonl"));
  ASSERT_TRUE(calls.ok()) << calls.message().toStdString();
  ASSERT_EQ(calls->size(), 2u);
  EXPECT_EQ((*calls)[0].toJson(), full.toJson());
  EXPECT_EQ((*calls)[1].dialed, "12");

  testing::writeFile(dir.file("bad.jsonl"), "{\"channel\":1,\"dialed\":\"1\"}\n{\"channel\":2}\n");
  const auto bad = readTruthFile(dir.file("bad.jsonl"));
  ASSERT_FALSE(bad.ok());
  EXPECT_TRUE(bad.message().endsWith("bad.jsonl:2: a call needs \"channel\" and \"dialed\""))
      << bad.message().toStdString();
  EXPECT_FALSE(readTruthFile(dir.file("missing.jsonl")).ok());
}

}  // namespace
}  // namespace doruzudo::sim
