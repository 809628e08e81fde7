#pragma once

#include <QUrl>

namespace orvanta::gui {

// Hands a web address, a mailto: link or a file to the desktop, which opens
// it in the user's chosen program. Failures are not reported: the caller
// carries on as if it had worked.
class Launcher {
public:
  virtual ~Launcher() = default;
  virtual void Open(const QUrl &target) = 0;
};

// The desktop's opener (xdg-open behind QDesktopServices).
class DesktopLauncher final : public Launcher {
public:
  void Open(const QUrl &target) override;
};

} // namespace orvanta::gui
