#pragma once

#include <optional>
#include <set>
#include <string>
#include <variant>

#include "cli/arguments.h"
#include "jobs/engine_state.h"
#include "jobs/find_job.h"
#include "platform/drive_provider.h"
#include "settings/language_file.h"
#include "volume/volume.h"

namespace orvanta::cli {

// Prints a usage error and the command's usage text on stderr; returns 2.
int UsageError(const std::string &error, const char *usage);

// Says on stderr that Ctrl+C (or SIGTERM, SIGHUP) stopped the work;
// returns 130. Called after
// what was done has been printed.
int StoppedByUser();

// A volume command's words: its own options, the drive options and DEVICE.
struct VolumeCommandLine {
  Arguments Args;
  DriveOptions Drive;
};

// The start every volume command shares. `valued` and `switches` are the
// command's own options; --drive, --sector-size and --help are added. Prints
// the usage for --help or a usage error and gives the exit code as the
// command's end; otherwise the parsed words. Unless `moreOperands`, a word
// after DEVICE is a usage error.
std::variant<VolumeCommandLine, int> ParseVolumeCommand(int argc, char **argv, int first,
                                                        std::set<std::string> valued,
                                                        std::set<std::string> switches,
                                                        const char *usage, bool moreOperands);

// The language file the program would use: Languages/ beside the
// executable, the file chosen by the user's "Language" setting.
LanguageFile LoadLanguage();

// The one drive a command works on: DEVICE under the drive text of --drive;
// of a device with a partition table, the partition of --partition or its
// only FAT or exFAT partition.
class DriveSession {
public:
  explicit DriveSession(const DriveOptions &options);
  orvanta::Volume &Volume() { return volume_; }
  FixedDrives &Drives() { return drives_; }
  // Why no partition could be chosen; empty when the drive is there.
  const std::string &Error() const { return error_; }

private:
  FixedDrives drives_;
  orvanta::Volume volume_;
  std::string error_;
};

// Prints the session's error on stderr and gives the exit code when the
// device has no usable partition; nothing when it is there.
std::optional<int> SessionFailure(const DriveSession &session);

class TerminalHost;

// Runs the Find of a command (--mask, --deep) on the session's drive. Prints
// the outcome's message on stderr; gives an exit code when the command must
// end there.
std::optional<int> RunScan(EngineState &state, TerminalHost &host, const Arguments &args,
                           const DriveOptions &drive);

// The catalogue as the JSON document of `find --json`.
std::string CatalogueJson(const EngineState &state, bool deep);

} // namespace orvanta::cli
