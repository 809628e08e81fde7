// orvanta, the desktop program: one running copy per user, the main window
// and its dialogs over the engine.

#include <QApplication>
#include <QIcon>
#include <QTextStream>

#include <cstring>

#include "gui/app/app_context.h"
#include "gui/app/build_info.h"
#include "gui/app/main_window.h"
#include "gui/app/screenshots.h"
#include "gui/app/single_instance.h"
#include "gui/app/stop_signals.h"
#include "gui/dialogs/message_dialogs.h"

namespace {

// `orvanta --screenshot DIR` draws every window into DIR and ends; it needs
// no display. The main window lists only the images of ORVANTA_DRIVES, so
// the pictures never show the machine's own cards.
int Screenshots(int argc, char **argv, const char *folder) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto context = orvanta::gui::AppContext::ForThisProcess(std::make_unique<orvanta::gui::ImageDrivesOnly>());
  const QStringList files = orvanta::gui::WriteScreenshots(*context, QString::fromLocal8Bit(folder));
  QTextStream out(stdout);
  for (const QString &file : files)
    out << file << '\n';
  if (files.isEmpty()) {
    QTextStream(stderr) << "orvanta: cannot write the pictures into " << folder << '\n';
    return 1;
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  using namespace orvanta::gui;
  if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
    return Screenshots(argc, argv, argv[2]);

  SingleInstance instance;
  if (instance.HandOverToRunningCopy())
    return 0;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanta"));
  QApplication::setDesktopFileName(QString::fromLatin1(orvanta::build::kAppId));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/artwork/app_icon.svg")));
  // A kill, a logout or a closed terminal ends the program as Stop would: a
  // running Find or Wipe stops at its next unit (the main window's end asks
  // it to and waits for it), and nothing is left half written. Caught from
  // before the program can be found by a second copy, so that no signal in
  // its first moments kills it outright.
  StopSignals stopSignals;
  QObject::connect(&stopSignals, &StopSignals::Received, &app, &QCoreApplication::quit);
  instance.Listen();

  auto context = AppContext::ForThisProcess();
  TForm1a main(*context);
  TForm3a information(*context, &main);
  TForm3b confirmation(*context, &main);
  main.AttachDialogs(&information, &confirmation);
  QObject::connect(&instance, &SingleInstance::RestoreRequested, &main, &TForm1a::RestoreRequest);
  QObject::connect(&main, &TForm1a::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  main.show();
  return app.exec();
}
