#pragma once

#include <optional>
#include <string>

#include "cli/arguments.h"
#include "engine/engine_state.h"
#include "scan/find_job.h"
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
  FixedDrives &Drives() { return drives_; }

private:
  FixedDrives drives_;
  orvanta::Volume volume_;
};

class TerminalHost;

// Runs the Find of a command (--mask, --deep) on the session's drive. Prints
// the outcome's message on stderr; gives an exit code when the command must
// end there.
std::optional<int> RunScan(EngineState &state, TerminalHost &host, const Arguments &args,
                           const DriveOptions &drive);

// The catalogue as the JSON document of `find --json`.
std::string CatalogueJson(const EngineState &state, bool deep);

} // namespace orvanta::cli
