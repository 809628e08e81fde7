#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace orvanta::gui {

// One running copy of the program per user. The running copy listens on a
// local socket named "Orvanta" in the user's runtime folder; a later start
// connects to it, sends the restore request ("OrvantaRestore 1034") and ends.
// A lock file beside the socket makes the look-and-listen of two starts at
// the same moment happen one after the other, and a socket left behind by a
// copy that crashed is replaced.
class SingleInstance : public QObject {
  Q_OBJECT
public:
  static constexpr int kRestoreRequestCode = 1034;
  static constexpr const char *kRestoreMessage = "OrvantaRestore";

  // $XDG_RUNTIME_DIR, else a private folder in the temporary folder.
  static QString RuntimeFolder();

  explicit SingleInstance(QString folder = RuntimeFolder());
  ~SingleInstance() override;

  QString SocketPath() const { return folder_ + "/Orvanta"; }

  // Takes the start-up lock and looks for a running copy; when there is
  // one, hands it the restore request and returns true (this start then
  // ends). Otherwise keeps the lock until Listen. Needs no application
  // object, so that a second start ends quickly.
  bool HandOverToRunningCopy();

  // Becomes the running copy (needs the application object) and releases
  // the start-up lock. False when the socket cannot be made; the program
  // then runs without the hand-over.
  bool Listen();

  // Sends a restore request with `code` to the copy listening at
  // `socketPath`; true when it was delivered.
  static bool SendRestoreRequest(const QString &socketPath, int code, int timeoutMs = 250);

signals:
  // A later start asked this copy to come forward (code 1034 only).
  void RestoreRequested();

private:
  void ReadRequest(class QLocalSocket *socket);

  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

} // namespace orvanta::gui
