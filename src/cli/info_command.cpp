#include <cstdio>
#include <iostream>

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "engine/rounding.h"
#include "jobs/drive_summary.h"
#include "jobs/volume_texts.h"
#include "platform/posix/partitions.h"

namespace orvanta::cli {

namespace {
constexpr const char *kUsage =
    "usage: orvanta-cli info [--drive X:] [--sector-size N] [--partition N] DEVICE\n"
    "Prints the drive summary of a FAT16, FAT32 or exFAT volume (an image file or\n"
    "a block device). Of a device with a partition table (the image of a whole\n"
    "card) it lists the partitions first and summarises the one chosen with\n"
    "--partition, or its only FAT or exFAT partition.\n";

// "Partition 1 - FAT32, 63 Mb, at byte 1048576"
void PrintPartitions(const std::filesystem::path &device, std::optional<std::uint32_t> sectorSize) {
  const auto partitions = ListPartitions(device, sectorSize);
  for (const auto &p : partitions)
    std::cout << "Partition " << p.Number << " - "
              << (p.FileSystem.empty() ? std::string("unknown") : p.FileSystem) << ", "
              << RoundHalfEven(static_cast<double>(p.Size) / 1048576.0) << " Mb, at byte "
              << p.Offset << '\n';
  if (!partitions.empty())
    std::cout << '\n';
}
}

int InfoCommand(int argc, char **argv, int first) {
  const auto parsed = ParseVolumeCommand(argc, argv, first, {}, {}, kUsage,
                                         /*moreOperands=*/false);
  if (const int *exit = std::get_if<int>(&parsed))
    return *exit;
  const auto &[args, drive] = std::get<VolumeCommandLine>(parsed);

  PrintPartitions(drive.Device, drive.SectorSize);
  DriveSession session(drive);
  if (const auto failed = SessionFailure(session))
    return *failed;
  EngineState state(session.Drives(), {}, LoadLanguage());
  const DriveSummary summary = ReadDriveSummary(state, drive.Drive);
  if (summary.Outcome != DriveSummary::Result::Ready) {
    std::cerr << summary.Message << '\n';
    return kExitFailure;
  }
  for (const auto &line : summary.Lines)
    std::cout << line << '\n';
  if (const std::string copy = BootSectorCopyLine(state.Vol.Geometry(), state.Language); !copy.empty())
    std::cout << copy << '\n';
  return kExitOk;
}

} // namespace orvanta::cli
