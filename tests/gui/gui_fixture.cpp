#include "gui_fixture.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <gtest/gtest.h>


namespace orvanta::gui::test {

GuiWorld::GuiWorld(std::vector<DriveEntry> drives, std::uint32_t language,
                   std::unique_ptr<DesktopDeviceOpener> deviceAccess) {
  auto store = std::make_unique<IniSettingsStore>(StoreFolder());
  if (language != 1)
    store->Write("Language", language);
  auto launcher = std::make_unique<RecordingLauncher>();
  std::sort(drives.begin(), drives.end(),
            [](const DriveEntry &a, const DriveEntry &b) { return a.Letter < b.Letter; });
  auto driveList = std::make_unique<StandInDrives>(std::move(drives));
  drives_ = driveList.get();
  launcher_ = launcher.get();
  WellKnownFolders folders;
  folders.ProgramFolder = ORVANTA_PROGRAM_FOLDER;
  folders.TempFolder = dir_ / "tmp/";
  std::filesystem::create_directories(folders.TempFolder);
  context_ = std::make_unique<AppContext>(
      std::move(folders),
      AppContext::Services{std::move(store), std::move(driveList), std::move(launcher), nullptr,
                           nullptr, std::move(deviceAccess)});
}

Settings GuiWorld::ReadSettingsAgain() const {
  return Settings::Peek(IniSettingsStore(StoreFolder()));
}

void WhenModal(std::function<void(QWidget *)> act) {
  auto *poll = new QTimer;
  auto waited = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, act, waited] {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal && ++*waited < 200)
      return;
    poll->stop();
    poll->deleteLater();
    if (!modal) {
      ADD_FAILURE() << "no modal window appeared";
      return;
    }
    act(modal);
  });
  poll->start(10);
}

QRect ChildRect(QWidget *window, const char *name) {
  auto *child = window->findChild<QWidget *>(QLatin1String(name));
  if (!child) {
    ADD_FAILURE() << "no control " << name;
    return {};
  }
  return QRect(child->mapTo(window, QPoint(0, 0)), child->size());
}

} // namespace orvanta::gui::test
