#include <gtest/gtest.h>

#include "platform/posix/drive_table.h"
#include "jobs/wipe_job.h"
#include "platform/posix/partitions.h"
#include "support/cli.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::FatImageFile;

constexpr std::uint64_t kPartitionStart = 1 << 20; // 1 MiB, where partitioning tools put it

// A card with live, deleted and formatted-away files, and the same card as
// the dump of a whole card would hold it: a partition table (MBR or GPT)
// and the card as its first partition at 1 MiB.
class PartitionedCard : public ::testing::Test {
protected:
  void SetUp() override {
    FatImageFile card(dir_.Path() / "bare.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
    card.Mkdir("/DCIM/100MEDIA");
    for (int i = 0; i < 4; ++i)
      card.Put("/DCIM/100MEDIA/IMG_00" + std::to_string(i) + ".JPG",
               test::PatternBytes(9000 + 700 * std::size_t(i), std::uint32_t(i)),
               test::LocalTime(2019, 5, 7, 9, 5));
    card.Delete("/DCIM/100MEDIA/IMG_001.JPG");
    card.Delete("/DCIM/100MEDIA/IMG_003.JPG");
    bare_ = card.Path();
  }

  // The bare card behind a table of `label` ("dos" or "gpt"); a second,
  // empty partition follows when asked.
  std::filesystem::path Disk(const std::string &label, bool second = false,
                             const std::filesystem::path &card = {}) {
    const auto path = dir_.Path() / (label + (second ? "2" : "") + ".img");
    auto bytes = test::ReadFileBytes(card.empty() ? bare_ : card);
    std::vector<std::uint8_t> disk(kPartitionStart + bytes.size() + (second ? 3 << 20 : 0) +
                                   (1 << 20));
    std::copy(bytes.begin(), bytes.end(), disk.begin() + kPartitionStart);
    test::WriteFileBytes(path, disk);
    std::string script = "label: " + label + "\nstart=2048, size=" +
                         std::to_string(bytes.size() / 512) + ", type=" +
                         (label == "gpt" ? "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7" : "6") + "\n";
    if (second)
      script += "size=2048, type=" + std::string(label == "gpt" ? "0FC63DAF-8483-4772-8E79-3D69D8477DE4" : "83") + "\n";
    const auto result = test::Run({"sfdisk", "--no-reread", "--no-tell-kernel", "-q", path.string()}, script);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    return path;
  }

  std::string Catalogue(const std::shared_ptr<Device> &device, bool deep) {
    test::EngineFixture engine(device);
    engine.Find("*.*", deep);
    return engine.State.Catalogue.ToIniText();
  }

  test::TempDir dir_;
  std::filesystem::path bare_;
};

TEST_F(PartitionedCard, AnMbrOrGptDumpFindsWhatTheBarePartitionFinds) {
  std::string error;
  const auto bare = OpenVolumeDevice(bare_, std::nullopt, std::nullopt, error);
  const std::string quick = Catalogue(bare, false), deep = Catalogue(bare, true);
  ASSERT_NE(quick.find("MG_001.JPG="), std::string::npos) << quick;
  for (const std::string label : {"dos", "gpt"}) {
    SCOPED_TRACE(label);
    const auto disk = Disk(label);
    const auto partitions = ListPartitions(disk);
    ASSERT_EQ(partitions.size(), 1u);
    EXPECT_EQ(partitions[0].Number, 1);
    EXPECT_EQ(partitions[0].Offset, kPartitionStart);
    EXPECT_EQ(partitions[0].FileSystem, "FAT");
    const auto device = OpenVolumeDevice(disk, std::nullopt, std::nullopt, error);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_EQ(Catalogue(device, false), quick);
    EXPECT_EQ(Catalogue(device, true), deep);
  }
  EXPECT_TRUE(ListPartitions(bare_).empty()); // a FAT boot sector is no partition table
}

TEST_F(PartitionedCard, ThePartitionIsChosenByNumberOrRefused) {
  const auto disk = Disk("gpt", /*second=*/true);
  std::string error;
  EXPECT_NE(OpenVolumeDevice(disk, std::nullopt, std::nullopt, error), nullptr) << error;
  EXPECT_NE(OpenVolumeDevice(disk, std::nullopt, 1, error), nullptr);
  // The second partition is no FAT volume, but may still be asked for.
  const auto other = OpenVolumeDevice(disk, std::nullopt, 2, error);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other->FileSystemName(), "FAT");
  EXPECT_EQ(OpenVolumeDevice(disk, std::nullopt, 3, error), nullptr);
  EXPECT_EQ(OpenVolumeDevice(bare_, std::nullopt, 1, error), nullptr);

  // The drive table takes "@N" for the partition.
  const auto drives = ParseDriveList("E=" + disk.string() + "@1;F=/x.img@0;G=/y@z.img:4096");
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].Partition, 1);
  EXPECT_EQ(drives[1].Path, "/y@z.img");
  EXPECT_EQ(drives[1].SectorSize, 4096u);
  PosixDriveTable table(drives);
  const auto device = table.DeviceFor("E:");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->FileSystemName(), "FAT");
}

TEST_F(PartitionedCard, TheCommandLineListsPartitionsAndUsesTheChosenOne) {
  const auto disk = Disk("dos", /*second=*/true);
  const auto info = test::RunCli({"info", disk.string()});
  EXPECT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_EQ(info.Out.rfind("Partition 1 - FAT, 16 Mb, at byte 1048576\nPartition 2 - ", 0), 0u)
      << info.Out;
  EXPECT_NE(info.Out.find("\n\nFAT16, "), std::string::npos) << info.Out;
  const auto find = test::RunCli({"find", "--partition", "1", disk.string()});
  EXPECT_EQ(find.ExitCode, 0) << find.Err;
  EXPECT_EQ(find.Out, test::RunCli({"find", bare_.string()}).Out);
  const auto missing = test::RunCli({"find", "--partition", "3", disk.string()});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Err.find("no partition 3"), std::string::npos) << missing.Err;
  EXPECT_EQ(test::RunCli({"find", "--partition", "x", disk.string()}).ExitCode, 2);
}

// A FAT32 card with a deleted photo near its start, for dumps that are
// damaged or unusual.
// With 4096-byte sectors it is a FAT16 card: FAT32 would need 270 MiB.
std::filesystem::path PhotoCard(const std::filesystem::path &path, std::uint32_t sectorSize = 512,
                                std::vector<std::string> extra = {}) {
  const bool big = sectorSize > 512;
  FatImageFile card(path, {.FatBits = big ? 16 : 32, .SizeKiB = (big ? 64u : 40u) * 1024u,
                           .SectorsPerCluster = big ? 1 : 0, .SectorSize = sectorSize,
                           .Extra = std::move(extra)});
  card.Mkdir("/DCIM");
  card.Put("/DCIM/IMG_0001.JPG", test::PatternBytes(30000, 1), test::LocalTime(2019, 5, 7, 9, 5));
  card.Put("/DCIM/IMG_0002.JPG", test::PatternBytes(20000, 2), test::LocalTime(2019, 5, 7, 9, 6));
  card.Delete("/DCIM/IMG_0001.JPG");
  return path;
}

// A FAT32 partition that runs past the end of a dump cut short is still
// recognised and opens with a warning; one whose boot sector is wiped is
// refused with the way to name it, and then read through its copy.
TEST_F(PartitionedCard, ADumpCutShortOrWithoutItsBootSectorStillOpens) {
  const auto card = PhotoCard(dir_.Path() / "fat32.img");
  test::EngineFixture intact(std::make_shared<PosixDevice>(card));
  intact.Find();
  const std::string expected = intact.State.Catalogue.ToIniText();
  ASSERT_NE(expected.find("MG_0001.JPG="), std::string::npos) << expected;

  const auto disk = Disk("dos", false, card);
  std::filesystem::resize_file(disk, kPartitionStart + (20 << 20));
  ASSERT_EQ(ListPartitions(disk).size(), 1u);
  EXPECT_EQ(ListPartitions(disk)[0].FileSystem, "FAT32");
  std::string error, warning;
  const auto cut = OpenVolumeDevice(disk, std::nullopt, std::nullopt, error, {}, &warning);
  ASSERT_NE(cut, nullptr) << error;
  EXPECT_NE(warning.find("partition 1 runs past the end"), std::string::npos) << warning;
  EXPECT_EQ(Catalogue(cut, false), expected);
  const auto cli = test::RunCli({"find", disk.string()});
  EXPECT_EQ(cli.ExitCode, 0) << cli.Err;
  EXPECT_NE(cli.Err.find("warning: partition 1 runs past the end"), std::string::npos) << cli.Err;

  auto bytes = test::ReadFileBytes(disk);
  std::fill_n(bytes.begin() + kPartitionStart, 512, std::uint8_t{0});
  test::WriteFileBytes(disk, bytes);
  EXPECT_EQ(OpenVolumeDevice(disk, std::nullopt, std::nullopt, error), nullptr);
  EXPECT_NE(error.find("choose it with --partition 1"), std::string::npos) << error;
  const auto wiped = OpenVolumeDevice(disk, std::nullopt, 1, error);
  ASSERT_NE(wiped, nullptr) << error;
  EXPECT_EQ(Catalogue(wiped, false), expected);
}

// A FAT32 card whose boot sector is wiped (or whose first bytes are
// overwritten) is read through the copy that its field at 50 or custom
// places; it is never wiped that way.
TEST_F(PartitionedCard, AWipedBootSectorIsReadThroughItsCopy) {
  struct Case {
    const char *Name;
    std::vector<std::string> Mkfs;
    std::size_t Zeroed; // leading bytes of sector 0 overwritten with zeros
    std::uint64_t Copy;
  };
  for (const Case &c : {Case{"all_of_sector_0", {}, 512, 6},
                        Case{"first_50_bytes_copy_in_8", {"-b", "8"}, 50, 8}}) {
    SCOPED_TRACE(c.Name);
    const auto card = PhotoCard(dir_.Path() / (std::string(c.Name) + ".img"), 512, c.Mkfs);
    test::EngineFixture intact(std::make_shared<PosixDevice>(card));
    intact.Find();
    auto bytes = test::ReadFileBytes(card);
    std::fill_n(bytes.begin(), c.Zeroed, std::uint8_t{0});
    test::WriteFileBytes(card, bytes);

    test::EngineFixture damaged(std::make_shared<PosixDevice>(card, 512));
    ASSERT_EQ(damaged.Find().Outcome, FindOutcome::Result::Found);
    EXPECT_EQ(damaged.State.Catalogue.ToIniText(), intact.State.Catalogue.ToIniText());
    EXPECT_EQ(damaged.State.Vol.Geometry().BootSectorCopy, c.Copy);
    const auto &log = damaged.Host.LogLines;
    const std::string line = "The boot sector is damaged: the volume is read through its copy in sector " +
                             std::to_string(c.Copy) + ".";
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end());
    const auto info = test::RunCli({"info", "--sector-size", "512", card.string()});
    EXPECT_NE(info.Out.find("\n" + line + "\n"), std::string::npos) << info.Out << info.Err;
    const auto wipe = RunWipe(damaged.State, damaged.Host,
                              {.Confirm = [](const std::string &) { return true; }});
    EXPECT_EQ(wipe.Outcome, WipeOutcome::Result::Refused);
    EXPECT_TRUE(test::ReadFileBytes(card) == bytes);
  }
}

// The dump of a disk of 4096-byte sectors: its GPT lies in byte 4096 and
// its volume counts 4096-byte sectors. It opens as told and by itself.
TEST_F(PartitionedCard, AGptOf4096ByteSectorsOpens) {
  const auto card = PhotoCard(dir_.Path() / "4k.img", 4096);
  test::EngineFixture bare(std::make_shared<PosixDevice>(card, 4096));
  bare.Find();
  const std::string expected = bare.State.Catalogue.ToIniText();
  ASSERT_NE(expected.find("MG_0001.JPG="), std::string::npos) << expected;

  const auto disk = dir_.Path() / "gpt4k.img";
  auto bytes = test::ReadFileBytes(card);
  std::vector<std::uint8_t> whole(kPartitionStart + bytes.size() + (1 << 20));
  std::copy(bytes.begin(), bytes.end(), whole.begin() + kPartitionStart);
  test::WriteFileBytes(disk, whole);
  const std::string sectors = std::to_string(bytes.size() / 4096);
  // fdisk's dialogue: a GPT, partition 1 from sector 256 (1 MiB), type 11
  // (Microsoft basic data), written.
  const auto made = test::Run({"fdisk", "-b", "4096", disk.string()},
                              "g\nn\n1\n256\n+" + std::to_string(bytes.size() / 4096 - 1) +
                                  "\nt\n11\nw\n");
  ASSERT_EQ(made.ExitCode, 0) << made.Err;
  for (const auto sectorSize : {std::optional<std::uint32_t>(4096), std::optional<std::uint32_t>()}) {
    SCOPED_TRACE(sectorSize ? "told" : "by itself");
    const auto partitions = ListPartitions(disk, sectorSize);
    ASSERT_EQ(partitions.size(), 1u);
    EXPECT_EQ(partitions[0].Offset, kPartitionStart);
    std::string error;
    const auto device = OpenVolumeDevice(disk, sectorSize, sectorSize ? std::optional(1) : std::nullopt, error);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_EQ(Catalogue(device, false), expected);
  }
}

} // namespace
} // namespace orvanta
