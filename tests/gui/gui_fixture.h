#pragma once

#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

#include "gui/app/app_context.h"
#include "engine/operation_host.h"
#include "gui/app/main_window.h"
#include "settings/posix/ini_settings_store.h"
#include "support/holding_host.h"
#include "support/temp_dir.h"

// GoogleTest prints texts of the windows as text.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace orvanta::gui::test {

// Records what would have been opened on the desktop.
class RecordingLauncher final : public Launcher {
public:
  void Open(const QUrl &target) override { Opened.push_back(target); }
  void OpenAsText(const QString &file) override { OpenedAsText.push_back(file); }
  bool KnowsFileType(const QString &extension) const override { return KnownTypes.contains(extension); }
  std::vector<QUrl> Opened;
  std::vector<QString> OpenedAsText;
  QStringList KnownTypes; // none: every preview opens as text
};

using orvanta::test::HoldingHost;

// The main window with a holding host.
class HoldingWindow final : public TForm1a {
public:
  using TForm1a::TForm1a;
  HoldingHost *Host = nullptr;

protected:
  std::unique_ptr<BatchingHost> MakeHost() override {
    auto host = std::make_unique<HoldingHost>();
    Host = host.get();
    return host;
  }
};

// Drives that a test sets, as the machine would list them.
class StandInDrives final : public DriveSource {
public:
  explicit StandInDrives(std::vector<DriveEntry> drives) : drives_(std::move(drives)) {}
  std::vector<DriveEntry> ListDrives() override { return drives_; }
  void Set(std::vector<DriveEntry> drives) { drives_ = std::move(drives); }

private:
  std::vector<DriveEntry> drives_;
};

// A private world for the windows: a temporary folder with the user's
// settings store and temporary folder, the built program's Languages, and a
// drive table of exactly the drives given.
class GuiWorld {
public:
  explicit GuiWorld(std::vector<DriveEntry> drives = {}, std::uint32_t language = 1,
                    std::unique_ptr<DesktopDeviceOpener> deviceAccess = nullptr);

  const std::filesystem::path &Dir() const { return dir_.Path(); }
  std::filesystem::path StoreFolder() const { return dir_ / "config"; }
  AppContext &Context() { return *context_; }
  RecordingLauncher &Opener() { return *launcher_; }
  StandInDrives &Drives() { return *drives_; }
  HotPlugMonitor &HotPlug() { return Context().HotPlug(); }
  // The settings as the next run of the program would read them.
  Settings ReadSettingsAgain() const;

private:
  orvanta::test::TempDir dir_;
  RecordingLauncher *launcher_ = nullptr;
  StandInDrives *drives_ = nullptr;
  std::unique_ptr<AppContext> context_;
};

// Runs `act` on the modal window once the caller's exec() has shown it.
void WhenModal(std::function<void(QWidget *)> act);

// The geometry of a named child of `window`, in the window's coordinates.
QRect ChildRect(QWidget *window, const char *name);

} // namespace orvanta::gui::test
