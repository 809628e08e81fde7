#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "support/cli.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::RunCli;
using test::TempDir;

TEST(InfoCommand, PrintsTheSixSummaryLines) {
  TempDir dir;
  test::FatImageFile image(dir / "card.img",
                           {.FatBits = 32, .SizeKiB = 64 * 1024, .SectorsPerCluster = 1});
  const auto r = RunCli({"info", image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  // 131072 sectors of 512 bytes, one sector per cluster: 131072 clusters,
  // 64 Mb counting the metadata area, as the summary does.
  EXPECT_EQ(r.Out, "FAT32, 64 Mb\n"
                   "Bytes per sector - 512\n"
                   "Bytes per cluster - 512\n"
                   "Sectors per cluster - 1\n"
                   "Sectors - 131072\n"
                   "Clusters - 131072\n");
}

TEST(InfoCommand, ReadsFourKilobyteSectorsWhenTold) {
  TempDir dir;
  test::FatImageFile image(dir / "4k.img", {.FatBits = 32, .SizeKiB = 512 * 1024,
                                            .SectorsPerCluster = 1, .SectorSize = 4096});
  auto r = RunCli({"info", "--sector-size", "4096", "--drive", "f:", image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "FAT32, 512 Mb\n"
                   "Bytes per sector - 4096\n"
                   "Bytes per cluster - 4096\n"
                   "Sectors per cluster - 1\n"
                   "Sectors - 131072\n"
                   "Clusters - 131072\n");
  // Without --sector-size an image takes its boot sector's; a size that
  // contradicts the boot sector is refused.
  const auto told = r.Out;
  r = RunCli({"info", image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, told);
  r = RunCli({"info", "--sector-size", "512", image.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Access to boot sector denied!\n");
}

TEST(InfoCommand, SmallFat16VolumesShowTheirTrueSize) {
  TempDir dir;
  // 16 MiB: the 32-bit total is 0 and the 16-bit one holds the count.
  test::FatImageFile image(dir / "small.img",
                           {.FatBits = 16, .SizeKiB = 16 * 1024, .SectorsPerCluster = 4});
  const auto r = RunCli({"info", image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "FAT16, 16 Mb\n"
                   "Bytes per sector - 512\n"
                   "Bytes per cluster - 2048\n"
                   "Sectors per cluster - 4\n"
                   "Sectors - 32768\n"
                   "Clusters - 8192\n");
}

TEST(InfoCommand, TheSizeLineRoundsHalvesToEven) {
  TempDir dir;
  // 34.5 MiB of clusters: 70656 sectors of 512 bytes, one per cluster.
  test::FatImageFile image(dir / "half.img",
                           {.FatBits = 32, .SizeKiB = 35328, .SectorsPerCluster = 1});
  const auto r = RunCli({"info", image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "FAT32, 34 Mb");
}

TEST(InfoCommand, RefusesWhatItCannotUseWithTheSystemsMessages) {
  TempDir dir;
  const auto missing = (dir / "missing.img").string();
  auto r = RunCli({"info", missing});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "orvanta-cli: " + missing + ": Drive not found! (No such file or directory)\n");

  const auto ext4 = dir / "ext4.img";
  test::WriteFileBytes(ext4, std::vector<std::uint8_t>(8 << 20));
  test::RunOrFail({"mkfs.ext4", "-q", "-F", ext4.string()});
  r = RunCli({"info", ext4.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "The software supports only FAT file system!\n");

  const auto ntfs = dir / "ntfs.img";
  test::WriteFileBytes(ntfs, std::vector<std::uint8_t>(16 << 20));
  test::Run({"mkntfs", "-F", "-Q", "-q", ntfs.string()});
  r = RunCli({"info", ntfs.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "The software supports only FAT file system!\n");

  // FAT12 (a floppy, or a card under 16 MB) is told by its cluster count.
  test::FatImageFile fat12(dir / "fat12.img", {.FatBits = 12, .SizeKiB = 1440});
  r = RunCli({"info", fat12.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "The software supports only FAT file system!\n");

  const auto blob = dir / "blob.img";
  test::WriteFileBytes(blob, test::PatternBytes(1 << 20, 9));
  r = RunCli({"info", blob.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "The software supports only FAT file system!\n");

  // An empty file opens, but has no boot sector to read.
  const auto empty = dir / "empty.img";
  test::WriteFileBytes(empty, {});
  r = RunCli({"info", empty.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "The software supports only FAT file system!\n");
}

TEST(InfoCommand, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunCli({"info"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"info", "--drive", "EE", "x.img"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"info", "--sector-size", "1000", "x.img"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"info", "--bogus", "x.img"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"info", "a.img", "b.img"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"nonsense"}).ExitCode, 2);
  const auto help = RunCli({"info", "--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Out.find("usage: orvanta-cli info"), std::string::npos);
}

TEST(VolumeCommands, ShareTheDriveOptionsAndHelp) {
  for (const std::string command : {"info", "find", "restore", "wipe"}) {
    SCOPED_TRACE(command);
    const auto help = RunCli({command, "--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(help.Out.rfind("usage: orvanta-cli " + command, 0), 0u);
    // Restore also needs --to: without it the refusal would be for that.
    const auto with = [&](std::vector<std::string> words) {
      words.insert(words.begin(), command);
      if (command == "restore")
        words.insert(words.begin() + 1, "--to=out");
      return RunCli(words);
    };
    EXPECT_EQ(with({}).ExitCode, 2);
    const auto drive = with({"--drive", "E", "x.img"});
    EXPECT_EQ(drive.ExitCode, 2);
    EXPECT_NE(drive.Err.find("--drive takes"), std::string::npos);
    const auto sector = with({"--sector-size", "8192", "x.img"});
    EXPECT_EQ(sector.ExitCode, 2);
    EXPECT_NE(sector.Err.find("--sector-size takes"), std::string::npos);
  }
  // A Windows raw volume names its own drive; --drive still wins.
  auto what = [](std::vector<std::string> words) {
    words.insert(words.begin(), {"restore", "--to=out"});
    return RunCli(words).Err;
  };
  EXPECT_NE(what({"\\\\.\\f:", "E:\\DCIM"}).find("path on drive F:"), std::string::npos);
  EXPECT_NE(what({"--drive", "G:", "\\\\.\\f:", "E:\\DCIM"}).find("path on drive G:"),
            std::string::npos);
  EXPECT_NE(what({"\\\\.\\f", "F:\\DCIM"}).find("path on drive E:"), std::string::npos);
  // Only restore takes words after DEVICE (what to restore).
  for (const std::string command : {"info", "find", "wipe"}) {
    const auto r = RunCli({command, "a.img", "b.img"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("too many operands"), std::string::npos) << command;
  }
}

// A device the user may not open is not reported as missing: the system's
// reason, and how to get access to an image or to a card.
TEST(InfoCommand, SaysHowToGetAccessWhereItLacksRights) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to run as another user";
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
  std::filesystem::permissions(card.Path(), std::filesystem::perms::owner_read);
  const auto node = dir / "sdz1"; // a block device node that only root may open
  const bool haveNode = ::mknod(node.c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0 &&
                        ::chown(node.c_str(), 0, 6) == 0;
  const char *cli = std::getenv("ORVANTA_CLI");
  const auto asNobody = [&](const std::filesystem::path &device) {
    return test::Run({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                      cli ? cli : "orvanta-cli", "info", device.string()});
  };
  const std::string denied = ": Access to the drive was not granted. (Permission denied)\n";
  auto result = asNobody(card.Path());
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Err, "orvanta-cli: " + card.Path().string() + denied +
                            "Ask for read permission on the file, or copy it somewhere you can read it.\n");
  if (!haveNode)
    return;
  const struct group *six = ::getgrgid(6);
  result = asNobody(node);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Err, "orvanta-cli: " + node.string() + denied +
                            "To read it, start the desktop program orvanta, which asks for UDisks2 "
                            "authorisation, or join the group that owns the device: sudo usermod -aG " +
                            std::string(six ? six->gr_name : "disk") + " \"$USER\", then log in again.\n");
}

} // namespace
} // namespace orvanta
