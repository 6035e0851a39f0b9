#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "common/manual_scheduler.h"

namespace doruzudo {
namespace {

class ManualSchedulerTest : public ::testing::Test {
 protected:
  ManualScheduler scheduler;
  std::vector<std::pair<QString, int64_t>> fired;  // (name, elapsed ms)
  void record(const QString& name) { fired.emplace_back(name, scheduler.elapsedMs()); }
};

TEST_F(ManualSchedulerTest, TimersFireEveryIntervalInTimeOrderWhileEnabled) {
  auto a = scheduler.createTimer("a", 300, [&] { record("a"); });
  auto b = scheduler.createTimer("b", 500, [&] { record("b"); });
  a->start();
  b->start();
  scheduler.advance(1000);
  const std::vector<std::pair<QString, int64_t>> expected = {
      {"a", 300}, {"b", 500}, {"a", 600}, {"a", 900}, {"b", 1000}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(scheduler.elapsedMs(), 1000);
  a->stop();
  scheduler.advance(1000);
  EXPECT_EQ(fired.back(), std::make_pair(QString("b"), int64_t{2000}));
}

TEST_F(ManualSchedulerTest, EnablingAnEnabledTimerKeepsItsCountdownAndRestartBeginsAnew) {
  auto t = scheduler.createTimer("t", 1000, [&] { record("t"); });
  t->start();
  scheduler.advance(600);
  t->start();  // no effect
  scheduler.advance(400);
  ASSERT_EQ(fired.size(), 1u);
  EXPECT_EQ(fired[0].second, 1000);
  scheduler.advance(600);
  t->restart();
  scheduler.advance(999);
  EXPECT_EQ(fired.size(), 1u);
  scheduler.advance(1);
  EXPECT_EQ(fired.back().second, 2600);
}

TEST_F(ManualSchedulerTest, HandlersMayStopOrRestartTheirOwnAndOtherTimers) {
  std::unique_ptr<Timer> other;
  auto self = scheduler.createTimer("self", 100, nullptr);
  self->setHandler([&] {
    record("self");
    self->stop();        // one-shot
    other->restart();    // pushes the other timer back
  });
  other = scheduler.createTimer("other", 150, [&] { record("other"); });
  self->start();
  other->start();
  scheduler.advance(1000);
  const std::vector<std::pair<QString, int64_t>> expected = {
      {"self", 100}, {"other", 250}, {"other", 400}, {"other", 550},
      {"other", 700}, {"other", 850}, {"other", 1000}};
  EXPECT_EQ(fired, expected);
}

TEST_F(ManualSchedulerTest, ChangingTheIntervalOfAnEnabledTimerRestartsIt) {
  auto t = scheduler.createTimer("t", 1000, [&] { record("t"); });
  t->start();
  scheduler.advance(900);
  t->setInterval(500);
  scheduler.advance(499);
  EXPECT_TRUE(fired.empty());
  scheduler.advance(1);
  EXPECT_EQ(fired.at(0).second, 1400);
}

TEST_F(ManualSchedulerTest, ContinuationsRunOnceInOrderAndCanBeCancelled) {
  scheduler.callLater(200, [&] { record("second"); });
  const auto id = scheduler.callLater(100, [&] { record("cancelled"); });
  scheduler.callLater(100, [&] {
    record("first");
    scheduler.callLater(0, [&] { record("nested"); });  // due now: runs in the same advance
  });
  scheduler.cancel(id);
  scheduler.advance(500);
  const std::vector<std::pair<QString, int64_t>> expected = {
      {"first", 100}, {"nested", 100}, {"second", 200}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(ManualSchedulerTest, ClockFollowsVirtualTimeAndHandlersSeeTheirDueMoment) {
  const QDateTime start = scheduler.now();
  QDateTime seen;
  auto t = scheduler.createTimer("t", 60000, [&] { seen = scheduler.now(); });
  t->start();
  scheduler.advance(90000);
  EXPECT_EQ(seen, start.addSecs(60));
  EXPECT_EQ(scheduler.now(), start.addSecs(90));
}

TEST_F(ManualSchedulerTest, AnErrorInAHandlerGoesToTheSinkAndTheTimerKeepsFiring) {
  int calls = 0;
  QStringList errors;
  scheduler.setErrorSink([&](const QString& name, const std::exception* e) {
    errors << name + ": " + (e ? e->what() : "?");
  });
  auto t = scheduler.createTimer("tFalha", 100, [&] {
    ++calls;
    throw std::runtime_error("boom");
  });
  t->start();
  scheduler.advance(300);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(errors, QStringList({"tFalha: boom", "tFalha: boom", "tFalha: boom"}));
  EXPECT_TRUE(t->enabled());
}

TEST_F(ManualSchedulerTest, ATimerDestroyedWhilePendingNeverFires) {
  auto t = scheduler.createTimer("t", 100, [&] { record("t"); });
  t->start();
  t.reset();
  scheduler.advance(1000);
  EXPECT_TRUE(fired.empty());
}

}  // namespace
}  // namespace doruzudo
