#pragma once

#include <string>

#include "cli/arguments.h"
#include "platform/drive_provider.h"
#include "settings/language_file.h"
#include "volume/volume.h"

namespace orvanta::cli {

// Prints a usage error and the command's usage text on stderr; returns 2.
int UsageError(const std::string &error, const char *usage);

// The language file the program would use: Languages/ beside the
// executable, the file chosen by the user's "Language" setting.
LanguageFile LoadLanguage();

// The one drive a command works on: DEVICE under the drive text of --drive.
class DriveSession {
public:
  explicit DriveSession(const DriveOptions &options);
  orvanta::Volume &Volume() { return volume_; }

private:
  FixedDrives drives_;
  orvanta::Volume volume_;
};

} // namespace orvanta::cli
