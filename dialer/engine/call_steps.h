// CallSteps: one channel of a FakeEngineWorld taken through a call in
// virtual time, for the engine's tests. The channel dials the one number of
// its own campaign ("CAMPn", number 5551234); the other channels have no
// campaign and stop at their first dialing step.
//
// Threads: main thread only.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {

class CallSteps {
 public:
  static inline const QString kNumber = QStringLiteral("5551234");
  static constexpr double kToneHz = 425;
  static constexpr int kRingMs = 1000;  // ringback: 1 s on, 4 s off
  static constexpr int kRingPauseMs = 4000;
  static constexpr int kBusyMs = 250;                             // busy: 250 ms on, 250 ms off
  static constexpr auto kFlash = static_cast<LineCommand>(0x2A);  // FlashCode "$2A"

  CallSteps(FakeEngineWorld& world, int channel) : w(world), n(channel) {
    w.addCampaign(campaign(), {kNumber});
    settings().Campanha = campaign();
    settings().Toques = 3;
    settings().TextoHab = QStringLiteral("NÃO");
    settings().PathAudio = QStringLiteral("/msg/oferta.wav");
    settings().Texto = QStringLiteral("Olá, esta é uma oferta.");
    settings().Trans = mode::kHangUp;
    settings().Flash = 300;
    settings().FlashCode = QStringLiteral("$2A");
  }

  QString campaign() const { return QStringLiteral("CAMP%1").arg(n); }
  ChannelSettings& settings() { return w.settings(n); }
  Channel& ch() { return w.channel(n); }
  ChannelState& st() { return w.state(n); }
  FakeChannelAudio& audio() { return w.audioOf(n); }
  FakeVoice& voice() { return w.voice.at(n - 1); }
  bool running(Channel::TimerId id) { return ch().timer(id).enabled(); }
  // Whether any of the channel's timers runs (the release's wait for the
  // players counts as one).
  bool anyTimerRunning() {
    for (int id = 0; id < Channel::kTimerCount; ++id) {
      if (running(static_cast<Channel::TimerId>(id))) return true;
    }
    return false;
  }

  int flashes() {
    const auto commands = w.commands(n);
    return static_cast<int>(std::count(commands.begin(), commands.end(), kFlash));
  }
  QString announcement() const {
    return FakeEngineWorld::kProgramFolder + QStringLiteral("audio/TransC%1.wav").arg(n);
  }
  // Answers and lets the message end: returns with the wait for keys running.
  void toWait() {
    answer();
    endMessage();
    ASSERT_TRUE(running(Channel::TimeOut));
  }

  // The number's row while it is in telefones.
  std::optional<PhoneRow> row() {
    for (const PhoneRow& r : w.rows(campaign())) return r;
    return std::nullopt;
  }
  // The number's row once it moved to the campaign's result table.
  std::optional<ResultRow> result() {
    const auto rows = w.db->resultRows(campaign());
    if (!rows.ok() || rows->empty()) return std::nullopt;
    return rows->front();
  }

  // Starts the engine and dials: returns when the last digit ended.
  void toRingback() {
    w.build().start();
    w.scheduler.advance(ch().traits().callMs + 1000 + 2000 +
                        kNumber.size() * FakeEngineWorld::kDigitMs);
    ASSERT_EQ(st().Status, status::kAwaitRingback);
  }
  void burst(double hz, int ms) { audio().frequency(hz, ms); }
  // One ringback burst, then its pause.
  void ring() {
    burst(kToneHz, kRingMs);
    w.scheduler.advance(kRingPauseMs);
  }
  // Rings once, the party speaks, and the answer starts the message.
  void answer() {
    toRingback();
    ring();
    burst(300, 400);
    w.scheduler.advance(500);
    ASSERT_TRUE(st().Answered);
  }
  // The message playing now ends.
  void endMessage() {
    if (settings().TextoHab == QStringLiteral("SIM")) {
      voice().finish();
    } else {
      audio().finish(Player::Message);
    }
  }
  // The call is released within `ms`: the line went on-hook.
  bool releasedWithin(int ms) {
    const auto before = w.commands(n).size();
    for (int t = 0; t < ms; t += 10) {
      w.scheduler.advance(10);
      const auto& commands = w.commands(n);
      if (commands.size() > before && commands.back() == LineCommand::OnHook) return true;
    }
    return false;
  }

  FakeEngineWorld& w;
  const int n;
};

}  // namespace doruzudo
