#include "gui/app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace orvanta::gui {

QString SingleInstance::RuntimeFolder() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!folder.isEmpty() && QDir(folder).exists())
    return folder;
  // A folder of our own in the shared temporary folder; one that another
  // user made first is not used (its socket could be anybody's).
  folder = QDir::tempPath() + QStringLiteral("/orvanta-%1").arg(::getuid());
  QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  struct stat st {};
  if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
    folder = QDir::homePath() + QStringLiteral("/.cache/orvanta");
  QDir().mkpath(folder);
  return folder;
}

SingleInstance::SingleInstance(QString folder) : folder_(std::move(folder)) {}

SingleInstance::~SingleInstance() { server_.close(); }

bool SingleInstance::SendRestoreRequest(const QString &socketPath, int code, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(timeoutMs))
    return false;
  socket.write(QStringLiteral("%1 %2\n").arg(QLatin1String(kRestoreMessage)).arg(code).toLatin1());
  const bool sent = socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  return sent;
}

bool SingleInstance::HandOverToRunningCopy() {
  lock_ = std::make_unique<QLockFile>(folder_ + "/Orvanta.lock");
  // A lock whose owner is gone is taken over at once; a live one is held
  // only for the moment a start needs.
  if (!lock_->tryLock(5000))
    lock_.reset();
  return SendRestoreRequest(SocketPath(), kRestoreRequestCode);
}

bool SingleInstance::Listen() {
  QLocalServer::removeServer(SocketPath()); // left by a copy that crashed
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  const bool listening = server_.listen(SocketPath());
  lock_.reset();
  if (!listening)
    return false;
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
      // A short-lived sender may have written, and even gone, already.
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequest(socket); });
      connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        ReadRequest(socket);
        socket->deleteLater();
      });
      ReadRequest(socket);
    }
  });
  return true;
}

void SingleInstance::ReadRequest(QLocalSocket *socket) {
  while (socket->canReadLine()) {
    const QList<QByteArray> words = socket->readLine(64).trimmed().split(' ');
    if (words.size() == 2 && words[0] == kRestoreMessage && words[1] == QByteArray::number(kRestoreRequestCode))
      emit RestoreRequested();
  }
  if (socket->bytesAvailable() > 64)
    socket->abort();
}

} // namespace orvanta::gui
