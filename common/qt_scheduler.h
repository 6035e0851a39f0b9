// QtScheduler: the production Scheduler on the Qt event loop and the system
// clock. This file and its .cpp are the only places allowed to use QTimer or
// read the real clock.
//
// Threads: create and use on the thread that runs the Qt event loop.
#pragma once

#include <QObject>
#include <map>

#include "common/scheduler.h"

class QTimer;

namespace doruzudo {

class QtScheduler final : public Scheduler {
 public:
  QtScheduler();
  ~QtScheduler() override;

  QDateTime now() const override;
  std::unique_ptr<Timer> createTimer(QString name, int intervalMs,
                                     std::function<void()> handler) override;
  uint64_t callLater(int delayMs, std::function<void()> fn, QString name = {}) override;
  void cancel(uint64_t id) override;

 private:
  QObject context_;
  uint64_t nextId_ = 0;
  std::map<uint64_t, QTimer*> pending_;  // continuations not yet run
};

}  // namespace doruzudo
