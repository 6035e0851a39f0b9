// EventLog: the operator's log of what the dialer does, one time-stamped line
// per event ("25/03/2011 - 14:07:09 - Conectado ao banco de dados.").
//
// It holds its lines in memory only. Observers (the main window, standard
// output in headless mode) see every line as it is added and every clear.
// The periodic limit check (tLimpaMemo, every 5000 ms) empties the log
// completely once it holds kLineLimit lines or more.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "common/scheduler.h"

namespace doruzudo {

class EventLog {
 public:
  static constexpr int kLineLimit = 300;
  static constexpr int kLimitCheckMs = 5000;

  struct Observer {
    std::function<void(const QString& line)> added;
    std::function<void()> cleared;
  };

  explicit EventLog(Scheduler& scheduler);
  ~EventLog();

  // Appends one event line stamped with the scheduler's date and time.
  // Never throws: a failure loses the line.
  void AddMsg(const QString& message) noexcept;

  // Starts tLimpaMemo (enabled at the end of start-up, never disabled).
  void startLimitCheck();
  // The limit check itself.
  void tLimpaMemoTimer();

  const QStringList& lines() const { return lines_; }
  int lineCount() const { return static_cast<int>(lines_.size()); }
  void clear();

  // Returns an id for removeObserver.
  int addObserver(Observer observer);
  void removeObserver(int id);

 private:
  Scheduler& scheduler_;
  QStringList lines_;
  std::unique_ptr<Timer> tLimpaMemo_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 0;
};

}  // namespace doruzudo
