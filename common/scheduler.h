// Scheduler: the only way the program reads the wall clock or waits.
//
// Production code never creates a QTimer or reads a clock itself; it asks the
// Scheduler handed to it. QtScheduler runs on the Qt event loop; ManualScheduler
// (tests, fast simulated runs) moves its clock only when advance() is called.
//
// Threads: a Scheduler and its timers belong to the thread that created them
// (the main thread) and are used from it only.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>
#include <functional>
#include <memory>

namespace doruzudo {

class Scheduler;

// A repeating timer with the semantics of a form's timer component: while
// enabled it fires every interval() ms, the first time one interval after it
// was enabled. Its handler may stop or restart this timer or any other.
class Timer {
 public:
  virtual ~Timer() = default;

  // Changing the interval of an enabled timer restarts its countdown.
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  // Enabling a disabled timer starts its countdown; enabling an enabled timer
  // changes nothing. Disabling cancels the pending firing.
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  virtual void setHandler(std::function<void()> handler) = 0;
  virtual QString name() const = 0;

  void start() { setEnabled(true); }
  void stop() { setEnabled(false); }
  // Stops and starts again: the next firing is one full interval from now.
  void restart() {
    setEnabled(false);
    setEnabled(true);
  }
};

class Scheduler {
 public:
  // Receives every exception that escapes a handler run by the scheduler.
  using ErrorSink = std::function<void(const QString& handler, const std::exception* error)>;

  virtual ~Scheduler() = default;

  // The local wall-clock date and time.
  virtual QDateTime now() const = 0;
  QDate today() const { return now().date(); }
  QTime timeOfDay() const { return now().time(); }

  // A new, disabled timer. The name is for logs and error reports.
  virtual std::unique_ptr<Timer> createTimer(QString name, int intervalMs,
                                             std::function<void()> handler) = 0;

  // Runs `fn` once, `delayMs` from now (a continuation). Returns an id that
  // cancel() takes while the call is pending.
  virtual uint64_t callLater(int delayMs, std::function<void()> fn, QString name = {}) = 0;
  virtual void cancel(uint64_t id) = 0;

  // Where handler errors go (the application's error handler). Without a sink
  // they are swallowed.
  void setErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

 protected:
  // Runs a handler; any exception it throws is handed to the error sink and
  // goes no further, so the timer keeps firing.
  void dispatch(const QString& name, const std::function<void()>& fn) const;

 private:
  ErrorSink errorSink_;
};

}  // namespace doruzudo
