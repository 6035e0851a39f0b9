// The transfer to an extension (the digits, the release after them, no
// extension) and the party recording (its start, its three ends, the row it
// completes and the failures on the way).
#include <gtest/gtest.h>

#include "dialer/engine/call_steps.h"

namespace doruzudo {
namespace {

QString digitFile(QChar c) {
  return FakeEngineWorld::kProgramFolder + QStringLiteral("digitos/") + c + QStringLiteral(".wav");
}

TEST(Transfer, DialsTheExtensionDigitsBackToBackAndReleasesTwoSecondsLater) {
  for (const QString& ramal :
       {QStringLiteral("2"), QStringLiteral("2345"), QStringLiteral("123456")}) {
    FakeEngineWorld w;
    CallSteps call(w, 1);
    call.settings().Trans = mode::kTransfer;
    call.settings().Ramal = ramal;
    call.settings().TamDigitos = static_cast<int>(ramal.size());
    call.audio().failFile(call.announcement());
    call.audio().setAutoFinish(Player::Extension, 100);
    call.toWait();
    w.scheduler.advance(250);  // the flash
    ASSERT_EQ(call.flashes(), 1);
    w.scheduler.advance(3300 - 1);
    EXPECT_TRUE(call.audio().files(Player::Extension).empty());
    w.scheduler.advance(1);
    EXPECT_EQ(w.count(QStringLiteral("Transferindo ligação no canal 1")), 1);
    w.scheduler.advance(100 * (ramal.size() - 1));
    std::vector<QString> expected;
    for (QChar c : ramal) expected.push_back(digitFile(c));
    EXPECT_EQ(call.audio().files(Player::Extension), expected) << ramal.toStdString();
    EXPECT_EQ(call.st().ExtDigits.at(0), ramal.left(1));
    w.scheduler.advance(100);  // the last digit ended
    EXPECT_EQ(call.ch().timer(Channel::tDesliga).interval(), 2000);
    EXPECT_FALSE(call.releasedWithin(1990));
    EXPECT_TRUE(call.releasedWithin(20)) << ramal.toStdString();
  }
}

TEST(Transfer, WithoutAnExtensionTheCallIsReleasedFiftyMillisecondsAfterTTrans) {
  FakeEngineWorld w;
  CallSteps call(w, 3);
  call.settings().Trans = mode::blockCheck(3);
  call.toWait();
  w.scheduler.advance(4000 + 3300);
  EXPECT_EQ(call.flashes(), 1);
  EXPECT_TRUE(call.audio().files(Player::Extension).empty());
  EXPECT_FALSE(call.st().Answered);
  EXPECT_TRUE(call.audio().streaming());
  EXPECT_TRUE(call.releasedWithin(50));
}

TEST(Transfer, AnExtensionDigitThatCannotPlayIsLoggedAndTheCallReleased) {
  FakeEngineWorld w;
  CallSteps call(w, 1);
  call.settings().Trans = mode::kTransfer;
  call.settings().Ramal = QStringLiteral("27");
  call.audio().failFile(call.announcement());
  call.audio().failFile(digitFile(QLatin1Char('7')));
  call.toWait();
  w.scheduler.advance(250 + 3300);
  call.audio().finish(Player::Extension);
  EXPECT_EQ(w.count(QStringLiteral("Erro ao reproduzir o dígito 7 no Canal 1.")), 1);
  EXPECT_TRUE(call.releasedWithin(600));
}

class Recording : public ::testing::Test {
 protected:
  void SetUp() override { call.settings().Trans = mode::kRecord; }
  // The message ends and the recording starts 400 ms later.
  void startRecording() {
    call.toWait();
    w.scheduler.advance(400);
    ASSERT_TRUE(call.st().Recording);
  }
  std::optional<RecordingRow> row() {
    const auto rows = *w.db->allRecordings();
    if (rows.empty()) return std::nullopt;
    return rows.front();
  }

  FakeEngineWorld w;
  CallSteps call{w, 5};
};

TEST_F(Recording, StartsFourHundredMillisecondsAfterTheMessage) {
  call.toWait();
  w.scheduler.advance(399);
  EXPECT_FALSE(call.st().Recording);
  w.scheduler.advance(1);
  EXPECT_TRUE(call.st().Recording);
  EXPECT_EQ(call.st().Status, status::kRecording);
  EXPECT_EQ(w.view.statusLabel(5), label::kRecording);
  EXPECT_TRUE(call.audio().recording());
  EXPECT_TRUE(call.running(Channel::tTempoMax));
  ASSERT_TRUE(row().has_value());
  EXPECT_EQ(call.st().RecordingId, row()->id);
  EXPECT_EQ(row()->ramal, QStringLiteral("CANAL 5"));
  EXPECT_EQ(row()->nCanal, QStringLiteral("5"));
  EXPECT_EQ(row()->path, call.audio().recordingFile());
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Iniciando Gravação do Canal 5")));
}

// Each end completes the row, stops the recording (150 ms) and releases.
TEST_F(Recording, EndsBySilenceByTheMinuteOrByTheBusyTone) {
  enum class End { Silence, Minute, Busy };
  for (End end : {End::Silence, End::Minute, End::Busy}) {
    FakeEngineWorld world;
    CallSteps c(world, 5);
    c.settings().Trans = mode::kRecord;
    c.toWait();
    world.scheduler.advance(400);
    ASSERT_TRUE(c.st().Recording);
    int endsAtMs = 0;
    if (end == End::Silence) {
      world.scheduler.advance(3000);
      c.audio().silenceStart();
      world.scheduler.advance(4000);
      c.audio().silenceEnd();  // a word: the count starts again
      c.audio().silenceStart();
      endsAtMs = 10000;
    } else if (end == End::Minute) {
      endsAtMs = 60000;
    } else {
      world.scheduler.advance(5000);
      for (int k = 0; k < 3; ++k) {
        c.burst(425, 290);  // up to 299 ms counts while recording
        world.scheduler.advance(500);
      }
      c.burst(425, 250);
    }
    if (endsAtMs > 0) {
      world.scheduler.advance(endsAtMs - 1);
      EXPECT_TRUE(c.st().Recording) << static_cast<int>(end);
      world.scheduler.advance(1);
    }
    EXPECT_FALSE(c.st().Recording) << static_cast<int>(end);
    EXPECT_EQ(world.count(QStringLiteral("Finalizando Gravação do Canal 5")), 1);
    if (end == End::Busy) {
      EXPECT_EQ(world.view.statusLabel(5), label::kWaiting);
    }
    const auto recorded = *world.db->allRecordings();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].destino, CallSteps::kNumber);
    EXPECT_EQ(recorded[0].origem, c.campaign());
    EXPECT_EQ(recorded[0].horaFin,
              world.scheduler.timeOfDay().addMSecs(-world.scheduler.timeOfDay().msec()));
    world.scheduler.advance(CallRecorder::kStopWaitMs);
    EXPECT_FALSE(c.audio().recording());
    EXPECT_EQ(c.st().Status, status::kWaiting);
    EXPECT_TRUE(c.releasedWithin(600)) << static_cast<int>(end);
    EXPECT_EQ(c.st().BusyCount, 0);
  }
}

// What the party does before and during the recording that must not end it:
// listening quietly to the message, and a voice between busy-like bursts.
TEST_F(Recording, TheQuietMessageAndTheVoiceBetweenBurstsDoNotEndIt) {
  call.toWait();
  call.audio().silenceStart();  // quiet while the message ended
  w.scheduler.advance(400);
  ASSERT_TRUE(call.st().Recording);
  w.scheduler.advance(9999);
  EXPECT_TRUE(call.st().Recording) << "ten seconds count from the recording's start";
  w.scheduler.advance(1);
  EXPECT_FALSE(call.st().Recording);

  FakeEngineWorld world;
  CallSteps c(world, 5);
  c.settings().Trans = mode::kRecord;
  c.toWait();
  world.scheduler.advance(400);
  for (int k = 0; k < 3; ++k) {
    c.burst(430, 260);  // a vowel that looks like a busy burst
    world.scheduler.advance(300);
    c.burst(800, 300);  // the rest of the word
    world.scheduler.advance(300);
  }
  c.burst(430, 260);
  EXPECT_TRUE(c.st().Recording) << "never four busy bursts in a row";
  for (int k = 0; k < 3; ++k) {
    world.scheduler.advance(250);
    c.burst(425, 250);
  }
  EXPECT_FALSE(c.st().Recording) << "the busy tone after the hang-up";
}

TEST_F(Recording, ARecordingThatDoesNotStartReleasesTheCall) {
  call.audio().refuseRecording(true);
  call.toWait();
  w.scheduler.advance(400);
  EXPECT_FALSE(call.st().Recording);
  EXPECT_TRUE(w.messages().contains(QStringLiteral("Erro no stream do canal 5")));
  EXPECT_TRUE(call.releasedWithin(50));
}

TEST_F(Recording, ARowThatCannotBeCompletedIsLoggedAndTheCallStillEnds) {
  startRecording();
  w.connected = false;
  w.scheduler.advance(60000);
  EXPECT_EQ(w.count(QStringLiteral("Erro ao finalizar registro da gravação no Canal 5.")), 1);
  EXPECT_TRUE(call.releasedWithin(CallRecorder::kStopWaitMs + 600));
  EXPECT_FALSE(call.audio().recording());
}

// The row could not be inserted when the recording began: it is inserted,
// complete, when the recording ends, so the recording can be found.
TEST_F(Recording, ARecordingThatBeganWithoutItsRowGetsItAtTheEnd) {
  ASSERT_TRUE(w.db->connection()
                  .exec("CREATE TRIGGER no_insert BEFORE INSERT ON registro "
                        "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                  .ok());
  startRecording();
  EXPECT_EQ(call.st().RecordingId, 0);
  EXPECT_FALSE(row().has_value());
  ASSERT_TRUE(w.db->connection().exec("DROP TRIGGER no_insert").ok());
  w.scheduler.advance(60000);
  ASSERT_TRUE(row().has_value());
  EXPECT_EQ(row()->path, call.audio().recordingFile());
  EXPECT_EQ(row()->ramal, QStringLiteral("CANAL 5"));
  EXPECT_NEAR(row()->horaIni.secsTo(row()->horaFin), 60, 1) << "started when the recording did";
  EXPECT_EQ(row()->destino, CallSteps::kNumber);
  EXPECT_EQ(row()->origem, call.campaign());
  EXPECT_TRUE(call.releasedWithin(CallRecorder::kStopWaitMs + 600));
}

// Failing at the end too, the finished row is kept and written before the
// next recording's own row, or by the recorder's retry.
TEST_F(Recording, ARowThatFailsAtBothEndsIsWrittenBeforeTheNextRecordingOrLater) {
  ASSERT_TRUE(w.db->connection()
                  .exec("CREATE TRIGGER no_insert BEFORE INSERT ON registro "
                        "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                  .ok());
  startRecording();
  const QString first = call.audio().recordingFile();
  w.scheduler.advance(60000);
  ASSERT_TRUE(call.releasedWithin(CallRecorder::kStopWaitMs + 600));
  EXPECT_FALSE(row().has_value());
  EXPECT_EQ(w.recorder.keptRows(), 1);

  ASSERT_TRUE(w.db->connection().exec("DROP TRIGGER no_insert").ok());
  ASSERT_TRUE(w.db->insertNumber(QStringLiteral("5550000"), call.campaign(), 1).ok());
  w.scheduler.advance(5500 + 1000 + 2000 + 7 * FakeEngineWorld::kDigitMs);
  ASSERT_EQ(call.st().Status, status::kAwaitRingback);
  call.ring();
  call.burst(300, 400);
  w.scheduler.advance(500);
  call.endMessage();
  w.scheduler.advance(400);
  ASSERT_TRUE(call.st().Recording);
  const auto rows = *w.db->allRecordings();
  ASSERT_EQ(rows.size(), 2u);
  const auto kept = std::find_if(rows.begin(), rows.end(),
                                 [&](const RecordingRow& r) { return r.path == first; });
  ASSERT_NE(kept, rows.end());
  EXPECT_EQ(kept->destino, CallSteps::kNumber);
  EXPECT_EQ(kept->origem, call.campaign());
  EXPECT_NEAR(kept->horaIni.secsTo(kept->horaFin), 60, 1);
  EXPECT_EQ(call.st().RecordingId, std::max(rows[0].id, rows[1].id)) << "the new one is its own";
  EXPECT_EQ(w.recorder.keptRows(), 0);

  // Without a next recording, the retry writes it once the database is back.
  FakeEngineWorld world;
  CallSteps c(world, 5);
  c.settings().Trans = mode::kRecord;
  ASSERT_TRUE(world.db->connection()
                  .exec("CREATE TRIGGER no_insert BEFORE INSERT ON registro "
                        "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                  .ok());
  c.toWait();
  world.scheduler.advance(400 + 60000);
  ASSERT_EQ(world.recorder.keptRows(), 1);
  world.scheduler.advance(3 * CallRecorder::kKeptRetryMs);
  EXPECT_EQ(world.recorder.keptRows(), 1) << "still failing: still kept";
  ASSERT_TRUE(world.db->connection().exec("DROP TRIGGER no_insert").ok());
  world.scheduler.advance(CallRecorder::kKeptRetryMs);
  EXPECT_EQ(world.recorder.keptRows(), 0);
  ASSERT_EQ(world.db->allRecordings()->size(), 1u);
  EXPECT_EQ(world.db->allRecordings()->front().destino, CallSteps::kNumber);
}

TEST_F(Recording, ARecordingTheDeviceDroppedStillEndsAtTheMinute) {
  startRecording();
  call.audio().dropRecording();
  w.scheduler.advance(60000);
  EXPECT_TRUE(call.releasedWithin(CallRecorder::kStopWaitMs + 600));
  EXPECT_EQ(row()->destino, CallSteps::kNumber);
}

TEST_F(Recording, TheNextCallHearsBusyAsUsual) {
  startRecording();
  w.scheduler.advance(60000);
  ASSERT_TRUE(call.releasedWithin(CallRecorder::kStopWaitMs + 600));
  // The number moved; give the campaign another one.
  ASSERT_TRUE(w.db->insertNumber(QStringLiteral("5550000"), call.campaign(), 1).ok());
  w.scheduler.advance(5500 + 1000 + 2000 + 7 * FakeEngineWorld::kDigitMs);
  ASSERT_EQ(call.st().Status, status::kAwaitRingback);
  for (int k = 0; k < 4; ++k) call.burst(425, 250);
  EXPECT_EQ(call.row()->status, calldb::kStatusBusy);
}

TEST(RecordingChannels, OnlyTheRecordingChannelsRowAndStatusChange) {
  FakeEngineWorld w;
  CallSteps five(w, 5);
  five.settings().Trans = mode::kRecord;
  CallSteps two(w, 2);
  five.toWait();
  w.scheduler.advance(400);
  ASSERT_TRUE(five.st().Recording);
  EXPECT_FALSE(two.st().Recording);
  EXPECT_NE(two.st().Status, status::kRecording);
  five.audio().silenceStart();
  w.scheduler.advance(10000);
  const auto rows = *w.db->allRecordings();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].nCanal, QStringLiteral("5"));
  EXPECT_EQ(rows[0].destino, CallSteps::kNumber);
}

}  // namespace
}  // namespace doruzudo
