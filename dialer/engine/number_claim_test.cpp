// Two dialers on one database file, each in its own thread with its eight
// channels: every number is dialed exactly once per pass.
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

const QString kCampaign = QStringLiteral("DIVIDIDA");
const QString kSaved = QStringLiteral("Número a ser salvo:");

// Virtual time the two dialers need to dial and then move every number.
constexpr int kRunMs = 150000;
constexpr int kStepMs = 10;

// Runs one dialer for kRunMs in steps of kStepMs, each step in lockstep with
// the other dialer's; returns the numbers it dialed.
QStringList runDialer(const QString& folder, std::barrier<>& lockstep) {
  FakeEngineWorld w(folder);
  for (int n = 1; n <= kChannelCount; ++n) {
    w.settings(n).Campanha = kCampaign;
    w.settings(n).Tentativa = QStringLiteral("1");
  }
  Engine& engine = w.build();
  for (int n = 1; n <= kChannelCount; ++n) {
    w.channel(n).timer(Channel::tComuta).setInterval(100);  // calls end quickly
  }
  engine.start();
  lockstep.arrive_and_wait();
  for (int elapsed = 0; elapsed < kRunMs; elapsed += kStepMs) {
    w.scheduler.advance(kStepMs);
    lockstep.arrive_and_wait();
  }
  for (int n = 1; n <= kChannelCount; ++n) {
    EXPECT_EQ(w.view.statusLabel(n), label::kFinished) << n;
  }
  QStringList dialed;
  for (const QString& message : w.messages()) {
    if (message.startsWith(kSaved)) dialed << message.mid(kSaved.size());
  }
  return dialed;
}

TEST(NumberClaim, TwoDialersOnOneFileNeverDialANumberTwice) {
  testing::TempDir dir;
  QStringList numbers;
  for (int i = 0; i < 60; ++i) numbers << QStringLiteral("55%1").arg(1000 + i);
  {
    FakeEngineWorld setup(dir.path());
    setup.addCampaign(kCampaign, numbers);
  }
  QStringList first, second;
  std::barrier lockstep(2);
  std::thread a([&] { first = runDialer(dir.path(), lockstep); });
  std::thread b([&] { second = runDialer(dir.path(), lockstep); });
  a.join();
  b.join();

  QStringList all = first + second;
  all.sort();
  EXPECT_EQ(all, numbers);
  EXPECT_FALSE(first.isEmpty());
  EXPECT_FALSE(second.isEmpty());

  auto db = *CallDatabase::open(dir.path());
  EXPECT_TRUE(db->numbersOf(kCampaign)->empty());
  auto moved = *db->resultRows(kCampaign);
  ASSERT_EQ(moved.size(), numbers.size());
  for (const ResultRow& row : moved) EXPECT_EQ(row.tentativas, 1) << row.telefone.toStdString();
}

}  // namespace
}  // namespace doruzudo
