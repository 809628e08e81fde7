#include "cli/cli_support.h"

#include <cstdio>

#include "cli/commands.h"
#include "platform/posix/posix_device.h"

namespace orvanta::cli {

int UsageError(const std::string &error, const char *usage) {
  std::fprintf(stderr, "orvanta-cli: %s\n%s", error.c_str(), usage);
  return kExitUsage;
}

LanguageFile LoadLanguage() { return LanguageFile{}; }

DriveSession::DriveSession(const DriveOptions &options) : volume_(drives_) {
  drives_.Add(options.Drive, std::make_shared<PosixDevice>(options.Device, options.SectorSize));
}

} // namespace orvanta::cli
