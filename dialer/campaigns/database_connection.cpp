#include "dialer/campaigns/database_connection.h"

#include <stdexcept>

namespace doruzudo {

DatabaseConnection::DatabaseConnection(Scheduler& scheduler, EventLog& log)
    : scheduler_(scheduler), log_(log) {}

DatabaseConnection::~DatabaseConnection() {
  if (pending_) scheduler_.cancel(pending_);
}

void DatabaseConnection::connect(const QString& folder, Done done) {
  if (!connectedBefore_) {
    connectedBefore_ = true;
    open(folder);
    if (done) done(connected());
    return;
  }
  database_.reset();  // closes the file; every statement sender sees no connection
  if (pending_) scheduler_.cancel(pending_);
  pending_ = scheduler_.callLater(
      kReconnectWaitMs,
      [this, folder, done = std::move(done)] {
        pending_ = 0;
        open(folder);
        if (done) done(connected());
      },
      QStringLiteral("ConnectCallDatabase"));
}

void DatabaseConnection::open(const QString& folder) {
  auto opened = CallDatabase::open(folder);
  if (opened) {
    database_ = *opened;
    log_.AddMsg(QStringLiteral("Conectado ao banco de dados."));
  } else {
    database_.reset();
    log_.AddMsg(QStringLiteral("Não foi possível se conectar ao banco de dados."));
  }
}

void DatabaseConnection::startUp(const QString& folder) {
  if (connectedBefore_) {  // a folder change routed here: only reconnect
    connect(folder);
    return;
  }
  connect(folder);
  countUnheard();
  startMessagesTimer();
}

QString DatabaseConnection::unheardText(int count) {
  return QString::number(count) + QStringLiteral(" não ouvidas.");
}

bool DatabaseConnection::countUnheard() {
  Result<int> count =
      database_ ? database_->countUnheard() : Result<int>::Error(QStringLiteral("no connection"));
  if (!count) {
    log_.AddMsg(QStringLiteral("Não foi possível carregar gravações não ouvidas."));
    return false;
  }
  if (caption_) caption_(unheardText(*count));
  return true;
}

void DatabaseConnection::startMessagesTimer() {
  if (!tMensagens_) {
    tMensagens_ = scheduler_.createTimer(QStringLiteral("tMensagens"), kMessagesIntervalMs,
                                         [this] { tMensagensTimer(); });
  }
  tMensagens_->start();
}

void DatabaseConnection::tMensagensTimer() {
  if (!database_) throw std::runtime_error("tMensagens: no database connection");
  Result<int> count = database_->countUnheard();
  if (!count) throw std::runtime_error(("tMensagens: " + count.message()).toStdString());
  if (caption_) caption_(unheardText(*count));
}

}  // namespace doruzudo
