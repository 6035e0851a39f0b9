#include "dialer/shell/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>

namespace doruzudo {

namespace {
constexpr int kConnectMs = 500;
const QByteArray kShow = "show\n";
}  // namespace

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {
  if (name_.isEmpty()) name_ = QStringLiteral("TMainFormDisca-%1").arg(::getuid());
}

SingleInstance::~SingleInstance() { server_.close(); }

bool SingleInstance::notifyRunning() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kConnectMs)) return false;
  socket.write(kShow);
  socket.waitForBytesWritten(kConnectMs);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::listen(std::function<void()> showRequested) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(name_)) {
    QLocalServer::removeServer(name_);  // left by a process that died
    if (!server_.listen(name_)) return false;
  }
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this, showRequested] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, showRequested] {
        if (socket->readAll().contains("show") && showRequested) showRequested();
      });
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace doruzudo
