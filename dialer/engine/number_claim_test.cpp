// Two dialers on one database file, each in its own thread with its eight
// channels, dialing in lockstep through the first pass over one campaign:
// no number is taken twice.
#include <gtest/gtest.h>

#include <barrier>
#include <set>
#include <thread>

#include "dialer/engine/fake_engine_world.h"

namespace doruzudo {
namespace {

const QString kCampaign = QStringLiteral("DIVIDIDA");
const QString kSaved = QStringLiteral("Número a ser salvo:");

// Three rounds of calls on every channel: fewer numbers than the list holds,
// so the first pass is not over when the run ends.
constexpr int kRunMs = 30000;
constexpr int kStepMs = 10;
constexpr int kNumbers = 80;

// Runs one dialer for kRunMs in steps of kStepMs, each step in lockstep with
// the other dialer's; returns the numbers it dialed.
QStringList runDialer(const QString& folder, std::barrier<>& lockstep) {
  FakeEngineWorld w(folder);
  for (int n = 1; n <= kChannelCount; ++n) w.settings(n).Campanha = kCampaign;
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
  QStringList dialed;
  for (const QString& message : w.messages()) {
    if (message.startsWith(kSaved)) dialed << message.mid(kSaved.size());
  }
  return dialed;
}

TEST(NumberClaim, TwoDialersOnOneFileNeverTakeTheSameNumber) {
  testing::TempDir dir;
  QStringList numbers;
  for (int i = 0; i < kNumbers; ++i) numbers << QStringLiteral("55%1").arg(1000 + i);
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

  EXPECT_GE(first.size(), 3 * kChannelCount);
  EXPECT_GE(second.size(), 3 * kChannelCount);
  std::set<QString> dialed;
  for (const QString& number : first + second) {
    EXPECT_TRUE(dialed.insert(number).second) << "twice: " << number.toStdString();
  }
  auto db = *CallDatabase::open(dir.path());
  const std::vector<PhoneRow> rows = *db->numbersOf(kCampaign);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kNumbers));
  for (const PhoneRow& row : rows) {
    const bool wasDialed = dialed.count(row.telefone) > 0;
    EXPECT_EQ(row.busy, wasDialed ? calldb::kBusyYes : calldb::kBusyNo)
        << row.telefone.toStdString();
    EXPECT_EQ(row.attempts(), wasDialed ? 1 : 0) << row.telefone.toStdString();
  }
}

}  // namespace
}  // namespace doruzudo
