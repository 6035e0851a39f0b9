// SingleInstance: one dialer per user. The first process listens on a local
// socket named after the main window's class; a later one finds it there,
// asks it to show itself, and ends.
//
// Threads: main thread (QLocalServer needs the Qt event loop).
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>

namespace doruzudo {

class SingleInstance {
 public:
  // The socket name: "TMainFormDisca-<uid>" unless `name` is given.
  explicit SingleInstance(QString name = {});
  ~SingleInstance();

  // True when another instance answered (it was asked to show itself).
  bool notifyRunning();
  // Starts listening; `showRequested` runs when a later start asks. A stale
  // socket left by a crashed process is removed first. False on failure.
  bool listen(std::function<void()> showRequested);
  QString name() const { return name_; }

 private:
  QString name_;
  QLocalServer server_;
};

}  // namespace doruzudo
