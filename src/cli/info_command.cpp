#include <cstdio>
#include <iostream>

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "volume/volume_checks.h"

namespace orvanta::cli {

namespace {
constexpr const char *kUsage =
    "usage: orvanta-cli info [--drive X:] [--sector-size N] DEVICE\n"
    "Prints the drive summary of a FAT16 or FAT32 volume (an image file or a\n"
    "block device).\n";
}

int InfoCommand(int argc, char **argv, int first) {
  std::string error;
  const auto args = ParseArguments(argc, argv, first, {"--drive", "--sector-size"}, {"--help"}, error);
  if (args && args->Has("--help")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  const auto options = args ? ReadDriveOptions(*args, error) : std::nullopt;
  if (!options || args->Operands.size() != 1)
    return UsageError(error.empty() ? "too many operands" : error, kUsage);

  const LanguageFile language = LoadLanguage();
  DriveSession session(*options);
  const VolumeCheck check = OpenVolume(session.Volume(), options->Drive, /*loadFat=*/false);
  if (check != VolumeCheck::Ok) {
    std::cerr << VolumeCheckMessage(check, language) << '\n';
    return kExitFailure;
  }
  for (const auto &line : DriveSummaryLines(session.Volume().Geometry()))
    std::cout << line << '\n';
  return kExitOk;
}

} // namespace orvanta::cli
