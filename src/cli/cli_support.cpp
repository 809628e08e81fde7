#include "cli/cli_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#else
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "engine/text.h"
#include "platform/partitions.h"
#include "settings/settings.h"
#include "settings/well_known_folders.h"

namespace orvanta::cli {

int UsageError(const std::string &error, const char *usage) {
  std::fprintf(stderr, "orvanta-cli: %s\n%s", error.c_str(), usage);
  return kExitUsage;
}

int StoppedByUser() {
  std::fprintf(stderr, "orvanta-cli: stopped by %s; the work is incomplete\n",
               TerminalHost::InterruptName());
  return kExitInterrupted;
}

std::variant<VolumeCommandLine, int> ParseVolumeCommand(int argc, char **argv, int first,
                                                        std::set<std::string> valued,
                                                        std::set<std::string> switches,
                                                        const char *usage, bool moreOperands) {
  valued.insert({"--drive", "--sector-size", "--partition"});
  switches.insert("--help");
  std::string error;
  auto args = ParseArguments(argc, argv, first, valued, switches, error);
  if (args && args->Has("--help")) {
    std::fputs(usage, stdout);
    return kExitOk;
  }
  auto drive = args ? ReadDriveOptions(*args, error) : std::nullopt;
  if (!drive)
    return UsageError(error, usage);
  if (!moreOperands && args->Operands.size() != 1)
    return UsageError("too many operands", usage);
  return VolumeCommandLine{std::move(*args), std::move(*drive)};
}

LanguageFile LoadLanguage() {
  // Only looks at the settings: running the command line never creates or
  // changes the user's settings store.
  const Settings settings = Settings::Peek(*OpenUserSettingsStore());
  return OpenLanguageFile(InitFolders().ProgramFolder, settings.Language());
}

namespace {

#if defined(_WIN32)

// Whether the device can be opened for reading; errno says why not.
bool CanOpen(const std::string &device) {
  const int fd = ::_wopen(PathFromUtf8(device).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0)
    return false;
  ::_close(fd);
  return true;
}

// How a user who may not open a device gets access to it: a drive
// ("\\.\E:") opens only for an administrator.
std::string HowToGetAccess(const std::string &device) {
  if (device.starts_with(R"(\\.\)") || device.starts_with("//./"))
    return "To read a drive, run orvanta-cli from a command prompt opened as administrator.";
  return "Ask for read permission on the file, or copy it somewhere you can read it.";
}

#else

bool CanOpen(const std::string &device) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

// How a user who may not open a device gets access to it: the group that
// owns a block device (usually "disk"), or the desktop program, which asks
// UDisks2 for authorisation.
std::string HowToGetAccess(const std::string &device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    return "Ask for read permission on the file, or copy it somewhere you can read it.";
  const struct group *owner = ::getgrgid(st.st_gid);
  const std::string group = owner ? owner->gr_name : "disk";
  return "To read it, start the desktop program orvanta, which asks for UDisks2 authorisation, or join the "
         "group that owns the device: sudo usermod -aG " + group + " \"$USER\", then log in again.";
}

#endif

} // namespace

DriveSession::DriveSession(const DriveOptions &options) : volume_(drives_) {
  // A device that cannot be opened is named with the system's reason; one
  // the user may not open is not a missing drive, and the user is told how
  // to get access.
  if (!CanOpen(options.Device)) {
    const int reason = errno;
    const LanguageFile language = LoadLanguage();
    if (reason == EACCES || reason == EPERM)
      error_ = options.Device + ": " + language.Text("Errors", "Message8", "Access to the drive was not granted.") +
               " (" + std::strerror(reason) + ")\n" + HowToGetAccess(options.Device);
    else
      error_ = options.Device + ": " + language.Text("Errors", "Message1", "Drive not found!") + " (" +
               std::strerror(reason) + ")";
    return;
  }
  std::string warning;
  if (auto device = OpenVolumeDevice(PathFromUtf8(options.Device), options.SectorSize, options.Partition, error_,
                                     {}, &warning))
    drives_.Add(options.Drive, std::move(device));
  if (!warning.empty())
    std::fprintf(stderr, "orvanta-cli: warning: %s\n", warning.c_str());
}

std::optional<int> SessionFailure(const DriveSession &session) {
  if (session.Error().empty())
    return std::nullopt;
  std::fprintf(stderr, "orvanta-cli: %s\n", session.Error().c_str());
  return kExitFailure;
}

} // namespace orvanta::cli
