// ManualScheduler: virtual time for tests and simulated runs.
//
// The clock stands still until advance() moves it; advance() fires every timer
// and continuation that falls due on the way, in time order (ties in the order
// they were armed), with now() reading the moment each was due. A 60-second
// timeout is tested with one advance(60000) call.
//
// Threads: single-threaded, like every Scheduler.
#pragma once

#include <map>
#include <set>
#include <utility>

#include "common/scheduler.h"

namespace doruzudo {

class ManualScheduler final : public Scheduler {
 public:
  explicit ManualScheduler(QDateTime start = QDateTime(QDate(2026, 3, 25), QTime(9, 0, 0)));
  ~ManualScheduler() override;

  QDateTime now() const override;
  std::unique_ptr<Timer> createTimer(QString name, int intervalMs,
                                     std::function<void()> handler) override;
  uint64_t callLater(int delayMs, std::function<void()> fn, QString name = {}) override;
  void cancel(uint64_t id) override;

  // Moves the clock `ms` forward, firing everything due on the way.
  void advance(int64_t ms);
  // Fires whatever is due now (a zero-length advance).
  void runDue() { advance(0); }
  // Sets the wall clock without firing anything; pending timers keep their
  // remaining time.
  void setNow(const QDateTime& now);
  // Milliseconds of virtual time since the scheduler was created.
  int64_t elapsedMs() const { return elapsed_; }
  // Milliseconds until the next pending firing, or -1 when nothing is pending.
  int64_t msUntilNext() const;
  int pendingCount() const { return static_cast<int>(queue_.size()); }

 private:
  class ManualTimer;
  using Key = std::pair<int64_t, uint64_t>;  // (due, sequence)
  struct Entry {
    ManualTimer* timer = nullptr;  // or a continuation:
    std::function<void()> fn;
    QString name;
  };

  Key arm(int64_t due, Entry entry);
  void disarm(const Key& key) { queue_.erase(key); }

  QDateTime base_;
  int64_t elapsed_ = 0;
  uint64_t sequence_ = 0;
  std::map<Key, Entry> queue_;
  std::map<uint64_t, Key> continuations_;  // id -> key of pending callLater
  std::set<ManualTimer*> timers_;          // live timers, orphaned when the scheduler goes
};

}  // namespace doruzudo
