#include "cli/cli_support.h"

#include <cstdio>

#include "cli/commands.h"
#include "platform/posix/posix_device.h"
#include "settings/posix/posix_registry.h"
#include "settings/settings.h"
#include "settings/well_known_folders.h"

namespace orvanta::cli {

int UsageError(const std::string &error, const char *usage) {
  std::fprintf(stderr, "orvanta-cli: %s\n%s", error.c_str(), usage);
  return kExitUsage;
}

LanguageFile LoadLanguage() {
  // Only looks at the settings: running the command line never creates or
  // changes the user's settings store.
  auto registry = PosixRegistry::ForCurrentUser();
  const Settings settings = Settings::Peek(registry);
  return OpenLanguageFile(InitFolders().ProgramFolder, settings.Language());
}

DriveSession::DriveSession(const DriveOptions &options) : volume_(drives_) {
  drives_.Add(options.Drive, std::make_shared<PosixDevice>(options.Device, options.SectorSize));
}

} // namespace orvanta::cli
