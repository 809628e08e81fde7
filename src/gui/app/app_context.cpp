#include "gui/app/app_context.h"

#include "settings/language_file.h"

namespace orvanta::gui {

AppContext::AppContext(WellKnownFolders folders, Services services)
    : folders_(std::move(folders)), services_(std::move(services)), listed_(*services_.DriveList) {
  if (!services_.HotPlug)
    services_.HotPlug = std::make_unique<HotPlugMonitor>();
  if (!services_.DeviceAccess)
    services_.DeviceAccess = std::make_unique<DesktopDeviceOpener>(services_.DiskService.get());
  // Every device the engine opens goes through the desktop's opener: a card
  // the user may not read directly is opened through the disk service.
  listed_.SetDeviceFactory([access = services_.DeviceAccess.get()](const DriveEntry &drive) {
    return OpenDriveDevice(drive, [access](const std::filesystem::path &path, int flags) {
      return (*access)(path, flags);
    });
  });
  settings_ = Settings::Load(*services_.Store);
  state_ = std::make_unique<EngineState>(listed_, folders_.ProgramFolder / "find.ini",
                                         OpenLanguageFile(folders_.ProgramFolder, settings_.Language()));
}

std::unique_ptr<AppContext> AppContext::ForThisProcess(std::unique_ptr<DriveSource> drives) {
  WellKnownFolders folders = InitFolders();
  Services services{OpenUserSettingsStore(),
                    drives ? std::move(drives) : std::make_unique<MachineDrives>(),
                    std::make_unique<DesktopLauncher>(),
                    std::make_unique<UdevHotPlugMonitor>(), std::make_unique<UDisks2Opener>(), nullptr,
                    std::make_unique<UDisks2Mounter>()};
  return std::make_unique<AppContext>(std::move(folders), std::move(services));
}

QString AppContext::Text(std::string_view section, std::string_view key,
                         std::string_view defaultText) const {
  return QString::fromStdString(state_->Language.Text(section, key, defaultText));
}

QString AppContext::Text(MessageId id) const { return QString::fromStdString(orvanta::Text(state_->Language, id)); }

} // namespace orvanta::gui
