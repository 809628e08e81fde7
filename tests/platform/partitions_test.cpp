#include <gtest/gtest.h>

#include "platform/posix/drive_table.h"
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
  std::filesystem::path Disk(const std::string &label, bool second = false) {
    const auto path = dir_.Path() / (label + (second ? "2" : "") + ".img");
    auto bytes = test::ReadFileBytes(bare_);
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

} // namespace
} // namespace orvanta
