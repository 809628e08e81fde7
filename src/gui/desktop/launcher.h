#pragma once

#include <QString>
#include <QUrl>

namespace orvanta::gui {

// Hands a web address, a mailto: link or a file to the desktop, which opens
// it in the user's chosen program. Failures are not reported: the caller
// carries on as if it had worked.
class Launcher {
public:
  virtual ~Launcher() = default;
  virtual void Open(const QUrl &target) = 0;
  // Opens a file as plain text, whatever its name says it is, for a file
  // of a type that no program on the desktop handles.
  virtual void OpenAsText(const QString &file) { Open(QUrl::fromLocalFile(file)); }
  // Whether the desktop has a file type for names ending in `extension`
  // (".jpg"), so that Open finds a program for them.
  virtual bool KnowsFileType(const QString &extension) const = 0;
};

// The desktop's opener (xdg-open behind QDesktopServices).
class DesktopLauncher final : public Launcher {
public:
  void Open(const QUrl &target) override;
  // In the desktop's default program for text/plain; where there is none,
  // as an ordinary open.
  void OpenAsText(const QString &file) override;
  // Asks the shared MIME database by name alone.
  bool KnowsFileType(const QString &extension) const override;
};

} // namespace orvanta::gui
