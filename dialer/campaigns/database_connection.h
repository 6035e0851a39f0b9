// DatabaseConnection: the dialer's one connection to the call database, the
// count of unheard recordings shown on the main page and its refresh timer.
//
// connect() is ConnectCallDatabase. Its first call (start-up) opens the file
// at once; every later call (the database folder changed) closes the open
// connection, waits 250 ms as a scheduled continuation and then opens the
// file in the new folder. Either way the outcome is logged as
// "Conectado ao banco de dados." or "Não foi possível se conectar ao banco de
// dados."; nothing is retried. A folder that exists gets vantor.db and its
// tables on first use.
//
// Statement senders take database() each time they need it: it is null while
// there is no connection, and their statements then fail in their own words.
//
// Threads: main thread only, like the Scheduler and the EventLog it uses.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/call_database.h"
#include "common/event_log.h"
#include "common/scheduler.h"

namespace doruzudo {

class DatabaseConnection {
 public:
  static constexpr int kReconnectWaitMs = 250;
  static constexpr int kMessagesIntervalMs = 5000;  // tMensagens

  using Done = std::function<void(bool connected)>;
  using Caption = std::function<void(const QString& text)>;

  DatabaseConnection(Scheduler& scheduler, EventLog& log);
  ~DatabaseConnection();
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;

  // ConnectCallDatabase (above). `done` runs after the log line: before
  // connect() returns on the first call, 250 ms later on the others. A call
  // made while an earlier one still waits replaces it (the earlier `done` is
  // not run).
  void connect(const QString& folder, Done done = {});
  // The start-up's database steps: connect, count the unheard recordings, start
  // tMensagens. Synchronous (it is the first connect). Called again (a
  // folder change), it is connect(folder) alone; the running tMensagens
  // refreshes the count.
  void startUp(const QString& folder);

  bool connected() const { return database_ != nullptr; }
  std::shared_ptr<CallDatabase> database() const { return database_; }

  // Where the unheard count goes (lbMensagens): "3 não ouvidas.".
  void setUnheardCaption(Caption caption) { caption_ = std::move(caption); }
  static QString unheardText(int count);
  // The start-up count: captions the count, or logs "Não foi possível
  // carregar gravações não ouvidas." and leaves the caption as it was.
  bool countUnheard();
  // Starts tMensagens (5000 ms), which refreshes the count. A failing
  // refresh leaves the caption as it was and goes to the scheduler's error
  // sink (the program's handler of unexpected errors); the timer goes on.
  void startMessagesTimer();
  void tMensagensTimer();

 private:
  void open(const QString& folder);

  Scheduler& scheduler_;
  EventLog& log_;
  std::shared_ptr<CallDatabase> database_;
  bool connectedBefore_ = false;  // a connect() ran: later ones are folder changes
  uint64_t pending_ = 0;          // the waiting reconnection, 0 when none
  Caption caption_;
  std::unique_ptr<Timer> tMensagens_;
};

}  // namespace doruzudo
