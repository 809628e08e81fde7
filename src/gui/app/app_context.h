#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "jobs/engine_state.h"
#include "gui/desktop/launcher.h"
#include "gui/desktop/desktop_device_opener.h"
#include "gui/desktop/device_opener_service.h"
#include "gui/desktop/drive_list.h"
#include "gui/desktop/hot_plug.h"
#include "jobs/restore_jobs.h"
#include "presentation/messages.h"
#include "gui/desktop/volume_mounter.h"
#include "settings/settings.h"
#include "settings/well_known_folders.h"
#include "volume/volume_checks.h"

namespace orvanta::gui {

// What the windows share for the whole run: the well-known folders, the
// settings store and the settings read from it, the drive table, the engine's
// state (volume, catalogue, language file) and the desktop services. The
// program makes one at start; tests make theirs from stand-ins.
class AppContext {
public:
  struct Services {
    std::unique_ptr<SettingsStore> Store;
    std::unique_ptr<DriveSource> DriveList;
    std::unique_ptr<Launcher> Opener;
    std::unique_ptr<HotPlugMonitor> HotPlug; // none: drives are listed at each show only
    std::unique_ptr<DeviceOpenerService> DiskService; // none: devices open directly only
    std::unique_ptr<DesktopDeviceOpener> DeviceAccess; // none: direct, then DiskService
    std::unique_ptr<VolumeMounter> Mounter; // none: a mounted card is not wiped
  };

  // The start of the main window's creation, in its order: the settings
  // (defaults written where missing), the language file of the "Language"
  // setting under the program folder, and the catalogue on the program
  // folder's find.ini.
  AppContext(WellKnownFolders folders, Services services);

  // The context of this process: its folders, the user's settings, the
  // machine's drives (or `drives`) and their arrivals, the desktop's opener
  // and the disk service.
  static std::unique_ptr<AppContext> ForThisProcess(std::unique_ptr<DriveSource> drives = nullptr);

  const WellKnownFolders &Folders() const { return folders_; }
  Settings &Prefs() { return settings_; }
  ListedDrives &Drives() { return listed_; }
  HotPlugMonitor &HotPlug() { return *services_.HotPlug; }
  DesktopDeviceOpener &DeviceAccess() { return *services_.DeviceAccess; }
  EngineState &State() { return *state_; }
  const LanguageFile &Language() const { return state_->Language; }
  Launcher &Opener() { return *services_.Opener; }
  // The results window's restore state, kept for the whole run (the
  // destination chosen once stays chosen).
  RestoreState &Restore() { return restore_; }
  // The service that unmounts a card for a wipe; null where there is none.
  VolumeMounter *Mounter() { return services_.Mounter.get(); }
  void SetMounter(std::unique_ptr<VolumeMounter> mounter) { services_.Mounter = std::move(mounter); }

  // A text of the language file, with its English default.
  QString Text(std::string_view section, std::string_view key, std::string_view defaultText) const;
  QString Text(MessageId id) const;

  // Turns a show-window flag off in memory and in the settings key.
  void ClearFlag(SettingsFlag flag) { settings_.ClearFlag(*services_.Store, flag); }

private:
  WellKnownFolders folders_;
  Services services_;
  ListedDrives listed_;
  Settings settings_;
  std::unique_ptr<EngineState> state_;
  RestoreState restore_;
};

} // namespace orvanta::gui
