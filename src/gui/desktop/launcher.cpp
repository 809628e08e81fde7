#include "gui/desktop/launcher.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>

#include "settings/default_application.h"

namespace orvanta::gui {

void DesktopLauncher::Open(const QUrl &target) { QDesktopServices::openUrl(target); }

bool DesktopLauncher::KnowsFileType(const QString &extension) const {
  static const QMimeDatabase types;
  return !types.mimeTypesForFileName(QStringLiteral("file") + extension).isEmpty();
}

void DesktopLauncher::OpenAsText(const QString &file) {
  const XdgDirs dirs = XdgDirs::FromEnvironment(ProcessEnvironment());
  // "/usr/bin/gedit" "%1": the program, then its arguments with %1 for the file.
  QStringList words =
      QProcess::splitCommand(QString::fromStdString(DefaultOpenCommand(dirs, "text/plain")));
  if (!words.isEmpty()) {
    const QString program = words.takeFirst();
    bool placed = false;
    for (QString &word : words)
      if (word.contains(QLatin1String("%1"))) {
        word.replace(QLatin1String("%1"), file);
        placed = true;
      }
    if (!placed)
      words << file;
    if (QProcess::startDetached(program, words))
      return;
  }
  Open(QUrl::fromLocalFile(file));
}

} // namespace orvanta::gui
