#include "gui/app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTreeWidgetItemIterator>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "gui/app/app_context.h"
#include "gui/app/main_window.h"
#include "gui/dialogs/about_window.h"
#include "gui/dialogs/message_dialogs.h"
#include "gui/dialogs/promo_window.h"
#include "gui/results/results_window.h"
#include "jobs/find_job.h"
#include "platform/memory_device.h"

namespace orvanta::gui {

namespace {

bool Save(QWidget &window, const QString &folder, const QString &name, QStringList &written) {
  window.show();
  QApplication::processEvents();
  for (const int ratio : {1, 2}) {
    QImage image(window.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    window.render(&image);
    const QString file = QDir(folder).filePath(ratio == 1 ? name + ".png" : name + "@2x.png");
    if (!image.save(file))
      return false;
    written << file;
  }
  window.hide();
  return true;
}

// The results window after a Find on the first drive listed (the demo
// card): the tree expanded, a folder with files selected and two of its
// rows checked; then the same window during a restore. Nothing when no
// drive is listed or nothing is found there.
bool SaveResults(AppContext &context, QWidget &main, const QString &folder, QStringList &written) {
  const auto &drives = context.Drives().Refresh();
  if (drives.empty())
    return true;
  OperationHost host;
  FindOptions options;
  options.Drive = std::string{drives.front().Letter, ':'};
  if (RunFind(context.State(), host, options).Outcome != FindOutcome::Result::Found)
    return true;
  TForm1b results(context, &main);
  results.Populate();
  results.DList()->expandAll();
  // The first folder below the root with two files or more.
  QTreeWidgetItem *chosen = nullptr;
  for (QTreeWidgetItemIterator it(results.DList()); *it && !chosen; ++it) {
    results.DList()->setCurrentItem(*it);
    if ((*it)->parent() && results.FList()->topLevelItemCount() >= 2)
      chosen = *it;
  }
  results.DList()->setCurrentItem(chosen ? chosen : results.DList()->topLevelItem(0));
  QTreeWidget *list = results.FList();
  for (int i = 0; i < list->topLevelItemCount() && i < 2; ++i)
    list->topLevelItem(i)->setCheckState(0, Qt::Checked);
  if (list->topLevelItemCount() > 0)
    list->setCurrentItem(list->topLevelItem(0));
  if (!Save(results, folder, QStringLiteral("results"), written))
    return false;
  results.ShowRestoreLook(40);
  return Save(results, folder, QStringLiteral("results_restoring"), written);
}

// Holds a Find once its bar has passed 40 %, until the picture is taken.
class PictureHost final : public BatchingHost {
public:
  void Pump() override {
    if (!held_ && ProgressBarWidth(Progress()) >= kProgressTrackWidth * 2 / 5) {
      held_ = true;
      std::unique_lock lock(mutex_);
      reached_ = true;
      released_.wait(lock, [this] { return release_; });
    }
    BatchingHost::Pump();
  }
  bool Reached() {
    std::lock_guard lock(mutex_);
    return reached_;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    release_ = true;
    released_.notify_all();
  }

private:
  bool held_ = false; // the worker's
  std::mutex mutex_;
  std::condition_variable released_;
  bool reached_ = false;
  bool release_ = false;
};

class PictureWindow final : public TForm1a {
public:
  using TForm1a::TForm1a;
  PictureHost *Host = nullptr;

protected:
  std::unique_ptr<BatchingHost> MakeHost() override {
    auto host = std::make_unique<PictureHost>();
    Host = host.get();
    return host;
  }
};

// Nothing is shown around the pictured Find and Wipe; the wipe's question
// is answered Yes.
class SilentDialogs final : public MainWindowDialogs {
public:
  void Inform(const QString &) override {}
  bool Ask(const QString &) override { return true; }
  void DeepScanHint() override {}
  void ShowResults() override {}
};

// Runs the event loop until `done` holds or a minute has passed.
void WaitUntil(const std::function<bool()> &done) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done())
      loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  poll.start(10);
  loop.exec();
}

// The main window while the deep mode of a command runs on the first
// listed drive, held with its bar part filled: the log, the counter and
// Stop on the command's button. Nothing when no drive is listed. A wipe
// runs only on `wipeOn`.
bool SaveRunning(AppContext &context, const QString &folder, const QString &name, bool wipe,
                 QStringList &written, const Device *wipeOn = nullptr) {
  PictureWindow window(context);
  SilentDialogs silent;
  window.SetDialogs(&silent);
  window.show();
  if (window.DriveBox()->count() == 0)
    return true;
  if (wipe && (!wipeOn || context.State().Vol.CurrentDevice() != wipeOn))
    return true;
  bool ended = false;
  QObject::connect(&window, wipe ? &TForm1a::WipeFinished : &TForm1a::FindFinished, [&ended] { ended = true; });
  window.CheckLabel2Click();
  if (wipe)
    window.Button2Click();
  else
    window.Button1Click();
  WaitUntil([&] { return ended || (window.Host && window.Host->Reached()); });
  bool saved = true;
  if (!ended && window.Host && window.Host->Reached()) {
    QApplication::processEvents(); // the batch that brought the bar there
    saved = Save(window, folder, name, written);
  }
  if (window.Host) {
    window.Host->Stop().Request();
    window.Host->Release();
  }
  WaitUntil([&] { return ended; });
  return saved;
}

// The free-space wipe is drawn on a copy of the first drive held in memory,
// so that drawing never writes a card; a drive above 256 MiB is not drawn.
bool SaveWiping(AppContext &context, const QString &folder, QStringList &written) {
  ListedDrives &drives = context.Drives();
  const std::vector<DriveEntry> entries = drives.Refresh();
  if (entries.empty())
    return true;
  const DriveEntry &first = entries.front();
  const std::shared_ptr<Device> card = drives.DeviceFor(std::string{first.Letter, ':'});
  const std::optional<std::uint64_t> size = card ? card->SizeBytes() : std::nullopt;
  if (!size || *size < 512 || *size > (std::uint64_t{256} << 20))
    return true;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*size));
  if (!card->Read(0, bytes))
    return true;
  std::uint32_t sectorSize = first.SectorSize.value_or(bytes[11] | (bytes[12] << 8));
  if (sectorSize != 512 && sectorSize != 1024 && sectorSize != 2048 && sectorSize != 4096)
    sectorSize = 512;
  auto copy = std::make_shared<MemoryDevice>(std::move(bytes), sectorSize);
  copy->SetFileSystemName(card->FileSystemName());
  drives.SetDeviceFactory([copy](const DriveEntry &) { return copy; });
  context.State().Vol.ForgetDevice();
  const bool saved =
      SaveRunning(context, folder, QStringLiteral("main_window_wipe"), true, written, copy.get());
  context.State().Vol.ForgetDevice();
  drives.SetDeviceFactory([&context](const DriveEntry &drive) {
    return OpenDriveDevice(drive, [&context](const std::filesystem::path &path, int flags) {
      return context.DeviceAccess()(path, flags);
    });
  });
  return saved;
}

} // namespace

QStringList WriteScreenshots(AppContext &context, const QString &folder) {
  QStringList written;
  if (!QDir().mkpath(folder))
    return {};
  TForm1a main(context);
  if (!Save(main, folder, QStringLiteral("main_window"), written))
    return {};
  main.show();
  if (!SaveRunning(context, folder, QStringLiteral("main_window_find"), false, written) ||
      !SaveWiping(context, folder, written))
    return {};

  TForm3a information(context, &main);
  information.SetMessage(context.Text(MessageId::DeletedFilesFound) + " 7");
  TForm3b confirmation(context, &main);
  confirmation.SetMessage(context.Text(MessageId::CancelOperation));
  // The longest question: a free-space wipe of a card the desktop mounted.
  TForm3b wipeQuestion(context, &main);
  {
    WipeOptions options;
    options.Drive = main.DriveBox()->currentText().left(2).toStdString();
    options.FreeSpace = true;
    const std::vector<DriveEntry> drives = context.Drives().Refresh();
    if (!drives.empty())
      options.DeviceName = drives.front().Path.filename().string();
    wipeQuestion.SetMessage(QString::fromStdString(WipeQuestion(context.State(), options)) + "\n" +
                            context.Text(MessageId::UnmountedForWipe));
  }
  TForm3c deepScanHint(context, &main);
  TForm3d resultsHint(context, &main);
  TForm2a about(context, &main);
  PromoWindow tipsCli(context, &main, SettingsFlag::Promo1);
  PromoWindow tipsCard(context, &main, SettingsFlag::Promo2);
  const std::pair<QWidget *, const char *> windows[] = {
      {&information, "information"},   {&confirmation, "confirmation"},
      {&wipeQuestion, "confirmation_wipe"},
      {&deepScanHint, "hint_deep_scan"}, {&resultsHint, "hint_results"},
      {&about, "about"},               {&tipsCli, "tips_cli"},
      {&tipsCard, "tips_card"},
  };
  for (const auto &[window, name] : windows)
    if (!Save(*window, folder, QLatin1String(name), written))
      return {};
  if (!SaveResults(context, main, folder, written))
    return {};
  main.hide();
  return written;
}

} // namespace orvanta::gui
