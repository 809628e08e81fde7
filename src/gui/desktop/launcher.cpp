#include "gui/desktop/launcher.h"

#include <QDesktopServices>

namespace orvanta::gui {

void DesktopLauncher::Open(const QUrl &target) { QDesktopServices::openUrl(target); }

} // namespace orvanta::gui
