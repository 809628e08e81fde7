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
  const auto parsed = ParseVolumeCommand(argc, argv, first, {}, {}, kUsage,
                                         /*moreOperands=*/false);
  if (const int *exit = std::get_if<int>(&parsed))
    return *exit;
  const auto &[args, drive] = std::get<VolumeCommandLine>(parsed);

  const LanguageFile language = LoadLanguage();
  DriveSession session(drive);
  const VolumeCheck check = OpenVolume(session.Volume(), drive.Drive, /*loadFat=*/false);
  if (check != VolumeCheck::Ok) {
    std::cerr << VolumeCheckMessage(check, language) << '\n';
    return kExitFailure;
  }
  for (const auto &line : DriveSummaryLines(session.Volume().Geometry()))
    std::cout << line << '\n';
  return kExitOk;
}

} // namespace orvanta::cli
